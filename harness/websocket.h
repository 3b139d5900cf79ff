// SPDX-License-Identifier: MIT
// A WebSocket client (RFC 6455) just large enough for one connection of text
// messages to a browser's remote protocol on the loopback interface. Every
// read has a deadline.
#pragma once

#include <string>

namespace ws {

// Connects to ws://127.0.0.1:PORT/PATH; the socket, or -1 with `error`
// saying why. No Origin header is sent: Firefox refuses a connection that
// names one.
int open(int port, const std::string& path, double seconds, std::string& error);
// Sends `text` as one masked text frame, as a client must.
bool sendText(int fd, const std::string& text);
// The next whole text message, its fragments joined; false at the deadline
// or when the other end closes.
bool receiveText(int fd, std::string& message, double seconds);

}  // namespace ws
