// The scripted agent: what it calls on the manager for each op, the denial path, and chunking.

#include "host/agent/scripted_agent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zell/output/capture.h"
#include "zell/payload.h"

namespace {

using zell_test::FakeClock;
using zell_test::RecordingWriter;

struct Played {
  std::vector<std::string> events;  // "type key=value ..." per event
  std::string output;               // the agent thread's bytes (manager and user lines)
};

Played play(const std::string& script, const zell::output::ApprovalCallback& approval = nullptr) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  Played p;
  {
    zell::output::OutputManager m(zell_test::recorded_ports(out, clock));
    m.set_event_callback([&](const std::string& type, std::shared_ptr<zell::Payload> payload) {
      std::string e = type;
      for (const auto& [k, v] : *payload) e += " " + k + "=" + v;
      p.events.push_back(e);
    });
    if (approval) m.set_approval_callback(approval);
    host::ScriptedAgent agent(m, host::parse_script(script, "t"), host::AgentOptions{0.0}, out);
    agent.run();
  }
  p.output = out->agent_output();
  return p;
}

TEST(ScriptedAgent, ToolResultDefaultsToTheLastLoggedIndex) {
  const Played p = play(
      "{\"op\": \"log_tool\", \"name\": \"grep\", \"args\": \"x\"}\n"
      "{\"op\": \"log_tool\", \"name\": \"bash\"}\n"
      "{\"op\": \"tool_result\", \"result\": \"ok\"}\n"
      "{\"op\": \"tool_result\", \"result\": \"late\", \"idx\": 0, \"error\": true}\n");
  ASSERT_EQ(p.events.size(), 4U);
  EXPECT_EQ(p.events[2], "tool_result error=false index=1 result=ok name=bash args=");
  EXPECT_EQ(p.events[3], "tool_result error=true index=0 result=late name=grep args=x");
}

TEST(ScriptedAgent, DenialReportsTheToolAndSkipsTheNextResult) {
  std::vector<std::string> asked;
  const Played p = play(
      "{\"op\": \"log_tool\", \"name\": \"bash\", \"args\": \"rm -rf /\"}\n"
      "{\"op\": \"approve\", \"tool\": \"bash\", \"command\": \"rm -rf /\"}\n"
      "{\"op\": \"tool_result\", \"result\": \"removed everything\"}\n"
      "{\"op\": \"log_tool\", \"name\": \"bash\", \"args\": \"ls\"}\n"
      "{\"op\": \"approve\", \"tool\": \"bash\", \"command\": \"ls\"}\n"
      "{\"op\": \"tool_result\", \"result\": \"a.txt\"}\n",
      [&](std::string_view tool, std::string_view command) {
        asked.push_back(std::string(tool) + ":" + std::string(command));
        return command == "ls";
      });
  EXPECT_EQ(asked, (std::vector<std::string>{"bash:rm -rf /", "bash:ls"}));
  ASSERT_EQ(p.events.size(), 4U);
  EXPECT_EQ(p.events[1],
            "tool_result error=true index=0 result=Denied by user name=bash args=rm -rf /");
  EXPECT_EQ(p.events[3], "tool_result error=false index=1 result=a.txt name=bash args=ls");
  EXPECT_EQ(p.output.find("removed everything"), std::string::npos);
}

TEST(ScriptedAgent, ApprovalWithoutAHookIsADenial) {
  const Played p = play(
      "{\"op\": \"log_tool\", \"name\": \"bash\", \"args\": \"x\"}\n"
      "{\"op\": \"approve\", \"tool\": \"bash\", \"command\": \"x\"}\n");
  ASSERT_EQ(p.events.size(), 2U);
  EXPECT_EQ(p.events[1].rfind("tool_result error=true index=0 result=Denied by user", 0), 0U);
}

TEST(ScriptedAgent, ThinkFeedsChunksThenPeekAndDone) {
  const Played p = play(
      "{\"op\": \"think\", \"text\": \"héllo wörld\\nlast line  \\n\\n\", \"chunk_chars\": 5}\n");
  EXPECT_EQ(p.events,
            (std::vector<std::string>{
                "thinking_chunk chunk=héllo tokens=1", "thinking_chunk chunk= wörl tokens=2",
                "thinking_chunk chunk=d\nlas tokens=3", "thinking_chunk chunk=t lin tokens=4",
                "thinking_chunk chunk=e  \n\n tokens=5", "thinking_peek text=last line",
                "thinking_done text=héllo wörld\nlast line  \n\n"}));
}

TEST(ScriptedAgent, SayStreamsChunksAndUserLinesShowControls) {
  const Played p = play(
      "{\"op\": \"user\", \"text\": \"fix \\u001b[2J it\"}\n"
      "{\"op\": \"say\", \"text\": \"abcdefg\", \"chunk_chars\": 3, \"delay\": 5}\n");
  EXPECT_EQ(p.events,
            (std::vector<std::string>{"stream_start", "content chunk=abc chars=3 tokens=1",
                                      "content chunk=def chars=3 tokens=2",
                                      "content chunk=g chars=1 tokens=3"}));
  EXPECT_EQ(p.output, "\n\x1b[1m❯\x1b[0m fix ␛[2J it\n\r\x1b[K\n\n  abcdefg");
}

TEST(ScriptedAgent, ARaisedStopEndsTheTurnAtTheNextStepAsInterrupted) {
  host::StopSignal stop;
  stop.request();
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  std::vector<std::string> events;
  zell::output::OutputManager m(zell_test::recorded_ports(out, clock));
  m.set_event_callback([&](const std::string& type, std::shared_ptr<zell::Payload> payload) {
    events.push_back(type + " " + payload->get("message"));
  });
  host::ScriptedAgent agent(m, {}, host::AgentOptions{1.0, &stop}, out);
  // The hour-long pause would hang the test if the raised stop did not end it.
  EXPECT_FALSE(agent.play(
      host::parse_script("{\"op\": \"sleep\", \"seconds\": 3600}\n{\"op\": \"done\"}\n", "t")));
  EXPECT_EQ(events, (std::vector<std::string>{"error Interrupted"}));
}

TEST(SplitTurns, EachUserPromptStartsATurnAndEarlierStepsFormOneWithoutAPrompt) {
  const auto turns = host::split_turns(host::parse_script(
      "{\"op\": \"start_thinking\"}\n"
      "{\"op\": \"user\", \"text\": \"one\"}\n{\"op\": \"done\"}\n"
      "{\"op\": \"user\", \"text\": \"two\"}\n"
      "{\"op\": \"user\", \"text\": \"three\"}\n{\"op\": \"say\", \"text\": \"x\"}\n",
      "t"));
  ASSERT_EQ(turns.size(), 4U);
  EXPECT_FALSE(turns[0].has_prompt);
  EXPECT_EQ(turns[0].steps.size(), 1U);
  EXPECT_EQ(turns[1].prompt, "one");
  EXPECT_EQ(turns[1].steps.size(), 1U);
  EXPECT_TRUE(turns[2].steps.empty());
  EXPECT_EQ(turns[3].prompt, "three");
  EXPECT_EQ(turns[3].steps.front().op, "say");
}

TEST(ChunkText, SplitsOnCodePoints) {
  EXPECT_EQ(host::chunk_text("日本語テキスト", 3),
            (std::vector<std::string_view>{"日本語", "テキス", "ト"}));
  EXPECT_EQ(host::chunk_text("abc", 3), (std::vector<std::string_view>{"abc"}));
  EXPECT_TRUE(host::chunk_text("", 4).empty());
}

}  // namespace
