// SPDX-License-Identifier: MIT
// The WebSocket transport: framing and the opening handshake, over a TCP
// socket to the loopback interface.
#include "harness/websocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <numeric>

namespace ws {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsUntil(Clock::time_point deadline) {
  return std::chrono::duration<double>(deadline - Clock::now()).count();
}

// Waits until `fd` can be read, or `seconds` have passed.
bool readable(int fd, double seconds) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(seconds * 1000)) > 0;
}

bool sendAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly `n` bytes, or fails at the deadline or the connection's end.
bool readExactly(int fd, size_t n, std::string& into, double seconds) {
  const Clock::time_point deadline = after(seconds);
  char buffer[65536];
  while (n > 0) {
    const double left = secondsUntil(deadline);
    if (left <= 0 || !readable(fd, left)) {
      return false;
    }
    const ssize_t got = recv(fd, buffer, n < sizeof buffer ? n : sizeof buffer, 0);
    if (got <= 0) {
      return false;
    }
    into.append(buffer, static_cast<size_t>(got));
    n -= static_cast<size_t>(got);
  }
  return true;
}

int connectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // The sockets interface takes each address family's address as a sockaddr.
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int open(int port, const std::string& path, double seconds, std::string& error) {
  const int fd = connectTo(port);
  if (fd < 0) {
    error = "cannot connect to port " + std::to_string(port);
    return -1;
  }
  const std::string request = "GET " + path +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n";
  std::string reply;
  const Clock::time_point deadline = after(seconds);
  bool answered = sendAll(fd, request);
  while (answered && reply.find("\r\n\r\n") == std::string::npos) {
    answered = readExactly(fd, 1, reply, secondsUntil(deadline));
  }
  if (!answered || reply.rfind("HTTP/1.1 101", 0) != 0) {
    error = answered ? "the WebSocket was refused: " + reply.substr(0, reply.find('\r'))
                     : "no WebSocket answer on port " + std::to_string(port) + ": " + reply;
    close(fd);
    return -1;
  }
  return fd;
}

// One client-to-server frame: the whole text, masked as RFC 6455 requires of
// a client (with a fixed mask: nothing here is secret).
bool sendText(int fd, const std::string& text) {
  std::string frame(1, '\x81');  // FIN and the text opcode
  const uint64_t size = text.size();
  if (size < 126) {
    frame += static_cast<char>(0x80 | size);
  } else if (size < 65536) {
    frame += static_cast<char>(0x80 | 126);
    frame += static_cast<char>(size >> 8);
    frame += static_cast<char>(size & 0xff);
  } else {
    frame += static_cast<char>(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) {
      frame += static_cast<char>((size >> shift) & 0xff);
    }
  }
  const char mask[4] = {0x12, 0x34, 0x56, 0x78};
  frame.append(mask, 4);
  for (size_t k = 0; k < text.size(); ++k) {
    frame += static_cast<char>(text[k] ^ mask[k % 4]);
  }
  return sendAll(fd, frame);
}

// The next whole text message, its fragments joined.
bool receiveText(int fd, std::string& message, double seconds) {
  const Clock::time_point deadline = after(seconds);
  message.clear();
  for (;;) {
    std::string head;
    if (!readExactly(fd, 2, head, secondsUntil(deadline))) {
      return false;
    }
    const bool final = (head[0] & 0x80) != 0;
    const int opcode = head[0] & 0x0f;
    uint64_t size = static_cast<uint8_t>(head[1]) & 0x7f;
    if (size >= 126) {
      std::string extended;
      if (!readExactly(fd, size == 126 ? 2 : 8, extended, secondsUntil(deadline))) {
        return false;
      }
      size = std::accumulate(
          extended.begin(), extended.end(), uint64_t{0},
          [](uint64_t sum, char c) { return (sum << 8) | static_cast<uint8_t>(c); });
    }
    std::string payload;
    if (!readExactly(fd, size, payload, secondsUntil(deadline))) {
      return false;
    }
    if (opcode == 8) {
      return false;  // the browser closed the connection
    }
    if (opcode == 0 || opcode == 1) {
      message += payload;
      if (final) {
        return true;
      }
    }
    // Pings and pongs carry nothing a test reads.
  }
}

}  // namespace ws
