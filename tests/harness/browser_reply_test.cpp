// SPDX-License-Identifier: MIT
// The browser client against canned replies, with no browser: what it sends
// is a JSON object, and what comes back is read by its structure. A socket
// pair stands in for the WebSocket; the replies are queued before the call.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "harness/browser.h"

namespace {

// A server's frame: unmasked text, as a browser sends it.
std::string serverFrame(const std::string& text) {
  std::string frame(1, '\x81');
  if (text.size() < 126) {
    frame += static_cast<char>(text.size());
  } else {
    frame += static_cast<char>(126);
    frame += static_cast<char>(text.size() >> 8);
    frame += static_cast<char>(text.size() & 0xff);
  }
  return frame + text;
}

// The text of the first client frame in `bytes`, its mask undone (short or
// 16-bit lengths: a command here is never longer).
std::string clientText(const std::string& bytes) {
  size_t size = static_cast<uint8_t>(bytes[1]) & 0x7f;
  size_t at = 2;
  if (size == 126) {
    size =
        (static_cast<size_t>(static_cast<uint8_t>(bytes[2])) << 8) | static_cast<uint8_t>(bytes[3]);
    at = 4;
  }
  const std::string mask = bytes.substr(at, 4);
  std::string text = bytes.substr(at + 4, size);
  for (size_t k = 0; k < text.size(); ++k) {
    text[k] = static_cast<char>(text[k] ^ mask[k % 4]);
  }
  return text;
}

// A string that trips a reader searching the text: the marks of an error
// and of an id, escaped quotes, and characters beyond ASCII (é, ☃ and 😀,
// which JSON writers may escape as \u00e9, \u2603 and a surrogate pair).
const std::string AWKWARD = "say \"error\": \"id\":1 é☃😀";
const std::string AWKWARD_ESCAPED = R"(say \"error\": \"id\":1 \u00e9\u2603\ud83d\ude00)";

struct Canned {
  // cppcheck-suppress unusedStructMember ; read through googletest's GetParam()
  const char* name;
  web::Kind kind;
  std::vector<std::string> replies;  // what the browser sends, in order
  bool succeeds;
  std::string valueOrError;  // the value read, or a part of b.error
};

// Test names and failures name the case, not its bytes.
void PrintTo(const Canned& c, std::ostream* out) { *out << c.name; }

class BrowserReply : public testing::TestWithParam<Canned> {};

TEST_P(BrowserReply, IsReadByItsStructure) {
  const Canned& c = GetParam();
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
  for (const std::string& reply : c.replies) {
    const std::string frame = serverFrame(reply);
    ASSERT_EQ(write(ends[1], frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  }
  shutdown(ends[1], SHUT_WR);  // then the connection ends: no wait for what never comes
  web::Browser b;
  b.kind = c.kind;
  b.socket = ends[0];
  b.target = "the-page";
  std::string value;
  const bool ok = web::evaluate(b, "document.title + \"" + AWKWARD + "\"", value, 5);

  char sent[4096];
  const ssize_t n = read(ends[1], sent, sizeof sent);
  close(ends[0]);
  close(ends[1]);
  ASSERT_GT(n, 0);
  const nlohmann::json request = nlohmann::json::parse(clientText(std::string(sent, n)));
  EXPECT_EQ(request["id"], 1);
  EXPECT_EQ(request["params"]["expression"], "document.title + \"" + AWKWARD + "\"");

  ASSERT_EQ(ok, c.succeeds) << b.error;
  if (c.succeeds) {
    EXPECT_EQ(value, c.valueOrError);
  } else {
    EXPECT_NE(b.error.find(c.valueOrError), std::string::npos) << b.error;
  }
}

const std::string CDP_VALUE =
    R"({"id":1,"result":{"result":{"type":"string","value":")" + AWKWARD_ESCAPED + R"("}}})";
const std::string BIDI_VALUE =
    R"({"type":"success","id":1,"result":{"type":"success","realm":"r","result":{"type":"string","value":")" +
    AWKWARD_ESCAPED + R"("}}})";

INSTANTIATE_TEST_SUITE_P(
    Replies, BrowserReply,
    testing::Values(
        Canned{"DevToolsValueWithErrorMarkAndUnicode",
               web::Kind::Chromium,
               {CDP_VALUE},
               true,
               AWKWARD},
        Canned{"BidiValueWithErrorMarkAndUnicode", web::Kind::Firefox, {BIDI_VALUE}, true, AWKWARD},
        // An event, then an answer to a command given up on, then ours.
        Canned{
            "DevToolsEventsAndStaleAnswersPassedOver",
            web::Kind::Chromium,
            {R"({"method":"Runtime.consoleAPICalled","params":{"args":[{"value":"\"id\":1, \"error\":"}]}})",
             R"({"id":0,"error":{"code":-1,"message":"old"}})", CDP_VALUE},
            true,
            AWKWARD},
        Canned{"BidiEventsPassedOver",
               web::Kind::Firefox,
               {R"({"type":"event","method":"log.entryAdded","params":{"text":"\"error\": 1"}})",
                BIDI_VALUE},
               true,
               AWKWARD},
        Canned{"DevToolsErrorMember",
               web::Kind::Chromium,
               {R"({"id":1,"error":{"code":-32000,"message":"Cannot find context \u00e9"}})"},
               false,
               "Runtime.evaluate: Cannot find context é"},
        Canned{"BidiErrorMember",
               web::Kind::Firefox,
               {R"({"type":"error","id":1,"error":"no such frame","message":"gone ☃"})"},
               false,
               "script.evaluate: no such frame: gone ☃"},
        Canned{
            "DevToolsException",
            web::Kind::Chromium,
            {R"({"id":1,"result":{"result":{"type":"object"},"exceptionDetails":{"text":"Uncaught"}}})"},
            false,
            "the page threw"},
        Canned{
            "BidiException",
            web::Kind::Firefox,
            {R"({"type":"success","id":1,"result":{"type":"exception","exceptionDetails":{"text":"x"}}})"},
            false,
            "the page threw"},
        Canned{"NoAnswerBeforeTheConnectionEnds", web::Kind::Chromium, {}, false, "no answer"}),
    [](const testing::TestParamInfo<Canned>& info) { return std::string(info.param.name); });

}  // namespace
