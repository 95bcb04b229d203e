// What a line from the agent is, and how the agent's output is cut into bounded lines.

#include "host/acp/json_rpc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using host::acp::LineSplitter;
using host::acp::Message;
using host::acp::parse_message;
using Kind = Message::Kind;

struct LineCase {
  std::string line;
  Kind kind;
  std::string problem_start;  // for malformed lines
};

class ParseMessage : public testing::TestWithParam<LineCase> {};

TEST_P(ParseMessage, ClassifiesTheLine) {
  const Message m = parse_message(GetParam().line);
  EXPECT_EQ(m.kind, GetParam().kind) << GetParam().line;
  EXPECT_TRUE(m.problem.starts_with(GetParam().problem_start)) << m.problem;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseMessage,
    testing::Values(
        LineCase{R"({"jsonrpc":"2.0","id":7,"method":"fs/read_text_file","params":{}})",
                 Kind::request, ""},
        LineCase{R"({"jsonrpc":"2.0","id":"a-1","method":"x","params":{}})", Kind::request, ""},
        LineCase{R"({"jsonrpc":"2.0","method":"session/update","params":{}})", Kind::notification,
                 ""},
        LineCase{R"({"jsonrpc":"2.0","id":null,"method":"n"})", Kind::notification, ""},
        LineCase{R"({"jsonrpc":"2.0","id":3,"result":null})", Kind::response, ""},
        LineCase{R"({"jsonrpc":"2.0","id":3,"error":{"code":-1,"message":"no"}})", Kind::response,
                 ""},
        LineCase{"not json", Kind::malformed, "a line that is not JSON"},
        LineCase{"[1,2]", Kind::malformed, "a JSON value that is not a message"},
        LineCase{R"({"jsonrpc":"2.0"})", Kind::malformed, "a JSON object that is neither"},
        LineCase{R"({"id":1,"method":5})", Kind::malformed, "a message whose method"},
        LineCase{R"({"id":{"x":1},"method":"m"})", Kind::malformed, "a request whose id"},
        LineCase{std::string(100000, '[') + std::string(100000, ']'), Kind::malformed,
                 "a message nested too deeply"},
        // Brackets inside strings do not count as nesting.
        LineCase{R"({"id":1,"method":"m","params":{"t":")" + std::string(1000, '[') + R"("}})",
                 Kind::request, ""}));

TEST(ParseMessage, KeepsIdsAndErrors) {
  const Message request = parse_message(R"({"id":"req-α","method":"m","params":{"a":1}})");
  EXPECT_EQ(request.id, "req-α");
  EXPECT_EQ(request.params["a"], 1);
  const Message error = parse_message(R"({"id":4,"error":{"code":-32601,"message":"nope"}})");
  EXPECT_EQ(error.error_code, -32601);
  EXPECT_EQ(error.error_message, "nope");
}

TEST(LineSplitter, DropsALineOverTheBoundOnceAndKeepsTheNext) {
  LineSplitter splitter(10);
  std::vector<std::string> lines;
  std::vector<std::size_t> too_long;
  const auto feed = [&](std::string_view bytes) {
    splitter.feed(
        bytes, [&](std::string_view l) { lines.emplace_back(l); },
        [&](std::size_t n) { too_long.push_back(n); });
  };
  feed("short\r\nabcdefgh");
  feed("ijklmnop");  // the open line passes the bound here
  feed("qrst\nafter\n");
  feed("exactly10!\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"short", "after", "exactly10!"}));
  EXPECT_EQ(too_long, std::vector<std::size_t>{20});
}

}  // namespace
