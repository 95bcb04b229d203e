// Decoding an agent event's payload into its typed record.

#include "host/agent/agent_events.h"

#include <gtest/gtest.h>

namespace {

using namespace host::events;

TEST(AgentEvents, PayloadsDecodeIntoTheirRecords) {
  const auto content = decode("content", {{"chunk", "héllo"}, {"chars", "5"}, {"tokens", "12"}});
  ASSERT_TRUE(content && std::holds_alternative<Content>(*content));
  EXPECT_EQ(std::get<Content>(*content).chunk, "héllo");
  EXPECT_EQ(std::get<Content>(*content).tokens, 12);

  const auto result = decode(
      "tool_result",
      {{"error", "true"}, {"index", "3"}, {"result", "boom"}, {"name", "bash"}, {"args", "make"}});
  ASSERT_TRUE(result && std::holds_alternative<ToolResult>(*result));
  const auto& r = std::get<ToolResult>(*result);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.index, 3);
  EXPECT_EQ(r.result, "boom");

  const auto start = decode("thinking_start", {{"reset", "false"}});
  ASSERT_TRUE(start);
  EXPECT_FALSE(std::get<ThinkingStart>(*start).reset);
  EXPECT_EQ(std::get<Info>(*decode("info", {{"text", "cut at the limit"}})).text,
            "cut at the limit");
}

TEST(AgentEvents, MissingOrBadNumbersFallBackAndUnknownTypesAreNone) {
  // Without a usable count a chunk says nothing of the tokens.
  for (const char* tokens : {"", "x", "3.5"}) {
    zell::Payload p{{"chunk", "héllo"}};
    if (*tokens) p.set("tokens", tokens);
    EXPECT_EQ(std::get<Content>(*decode("content", p)).tokens, -1) << tokens;
    EXPECT_EQ(std::get<ThinkingChunk>(*decode("thinking_chunk", p)).tokens, -1) << tokens;
  }
  EXPECT_EQ(std::get<ToolStart>(*decode("tool_start", {{"name", "x"}, {"index", "7z"}})).index, -1);
  EXPECT_FALSE(decode("no_such_event", {}));
}

}  // namespace
