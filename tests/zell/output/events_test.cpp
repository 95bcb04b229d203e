// The agent-event vocabulary: which operation emits what, with which keys in which order and
// which cuts; the callback's failure rules; and the state each operation leaves.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "zell/errors.h"
#include "zell/output/output_manager.h"

namespace {

using zell::Payload;
using zell::output::OutputManager;
using zell::output::Phase;
using zell_test::FakeClock;
using zell_test::RecordingWriter;
using zell_test::repeat;

struct Event {
  std::string type;
  Payload payload;
  friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  os << e.type << "{";
  for (const auto& [k, v] : e.payload)
    os << k << ": \"" << v.substr(0, 40) << "\" (" << v.size() << "B) ";
  return os << "}";
}

struct EventCase {
  std::string name;
  std::function<void(OutputManager&)> run;
  std::vector<Event> expected;
};

class EventVocabulary : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventVocabulary, EmitsExactlyTheseEvents) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  std::vector<Event> got;
  m.set_event_callback([&](const std::string& type, std::shared_ptr<Payload> p) {
    got.push_back({type, *p});
  });
  GetParam().run(m);
  EXPECT_EQ(got, GetParam().expected);
}

const std::string A2500 = repeat("a", 2500);
const std::string E150 = repeat("é", 150);  // two bytes each: the cuts count characters

INSTANTIATE_TEST_SUITE_P(Operations, EventVocabulary,
                         ::
                             testing::Values(EventCase{"start_thinking_reset",
                                                       [](OutputManager& m) { m.start_thinking(); },
                                                       {{"thinking_start", {{"reset", "true"}}}}},
                                             EventCase{
                                                 "start_thinking_continue",
                                                 [](OutputManager& m) { m.start_thinking(false); },
                                                 {{"thinking_start", {{"reset", "false"}}}}},
                                             EventCase{
                                                 "thinking_chunk_cut_at_2000",
                                                 [](OutputManager& m) { m.feed_thinking(A2500); },
                                                 {{"thinking_chunk",
                                                   {{"chunk", repeat("a", 2000)},
                                                    {"tokens", "625"}}}}},
                                             EventCase{
                                                 "peek_cut_at_120_characters",
                                                 [](OutputManager& m) {
                                                   m.set_thinking_peek(E150);
                                                 },
                                                 {{"thinking_peek", {{"text", repeat("é", 120)}}}}},
                                             EventCase{"thinking_done_cut_at_8000",
                                                       [](OutputManager& m) {
                                                         m.thinking_done(repeat("x", 9000));
                                                       },
                                                       {{"thinking_done",
                                                         {{"text", repeat("x", 8000)}}}}},
                                             EventCase{"stage_cut_at_120",
                                                       [](OutputManager& m) { m.set_stage(E150); },
                                                       {{"stage", {{"stage", repeat("é", 120)}}}}},
                                             EventCase{
                                                 "stream_start_is_empty",
                                                 [](OutputManager& m) { m.start_streaming(); },
                                                 {{"stream_start", {}}}},
                                             EventCase{"first_chunk_starts_streaming_itself",
                                                       [](OutputManager& m) { m.stream("héllo"); },
                                                       {{"stream_start", {}},
                                                        {"content",
                                                         {{"chunk", "héllo"},
                                                          {"chars", "5"},
                                                          {"tokens", "1"}}}}},
                                             EventCase{"long_chunk_goes_out_whole_in_pieces",
                                                       [](OutputManager& m) {
                                                         m.start_streaming();
                                                         m.stream(repeat("é", 4001));
                                                       },
                                                       {{"stream_start", {}},
                                                        {"content",
                                                         {{"chunk", repeat("é", 2000)},
                                                          {"chars", "2000"},
                                                          {"tokens", "1000"}}},
                                                        {"content",
                                                         {{"chunk", repeat("é", 2000)},
                                                          {"chars", "2000"},
                                                          {"tokens", "1000"}}},
                                                        {"content",
                                                         {{"chunk", "é"},
                                                          {"chars", "1"},
                                                          {"tokens", "1000"}}}}},
                                             EventCase{"invalid_utf8_counts_one_per_bad_byte",
                                                       [](OutputManager& m) {
                                                         m.start_streaming();
                                                         m.stream(
                                                             "a\xff\xfe"
                                                             "b");
                                                       },
                                                       {{"stream_start", {}},
                                                        {"content",
                                                         {{"chunk", "a\uFFFD\uFFFDb"},
                                                          {"chars", "4"},
                                                          {"tokens", "1"}}}}},
                                             EventCase{"tool_start_indexes_count_from_zero",
                                                       [](OutputManager& m) {
                                                         m.log_tool("grep", repeat("q", 250));
                                                         m.log_tool("bash");
                                                       },
                                                       {{"tool_start",
                                                         {{"name", "grep"},
                                                          {"args", repeat("q", 200)},
                                                          {"index", "0"}}},
                                                        {"tool_start",
                                                         {{"name", "bash"},
                                                          {"args", ""},
                                                          {"index", "1"}}}}},
                                             EventCase{
                                                 "tool_result_out_of_range_has_empty_name_and_args",
                                                 [](OutputManager& m) { m.tool_result("ok"); },
                                                 {{"tool_result",
                                                   {{"error", "false"},
                                                    {"index", "-1"},
                                                    {"result", "ok"},
                                                    {"name", ""},
                                                    {"args", ""}}}}},
                                             EventCase{"tool_result_names_its_tool",
                                                       [](OutputManager& m) {
                                                         const int i = m.log_tool("read_file",
                                                                                  repeat("p", 300));
                                                         m.tool_result(repeat("r", 4100), true, i);
                                                       },
                                                       {{"tool_start",
                                                         {{"name", "read_file"},
                                                          {"args", repeat("p", 200)},
                                                          {"index", "0"}}},
                                                        {"tool_result",
                                                         {{"error", "true"},
                                                          {"index", "0"},
                                                          {"result", repeat("r", 4000)},
                                                          {"name", "read_file"},
                                                          {"args", repeat("p", 200)}}}}},
                                             EventCase{"tool_result_index_past_the_end",
                                                       [](OutputManager& m) {
                                                         m.log_tool("bash", "ls");
                                                         m.tool_result("x", false, 1);
                                                       },
                                                       {{"tool_start",
                                                         {{"name", "bash"},
                                                          {"args", "ls"},
                                                          {"index", "0"}}},
                                                        {"tool_result",
                                                         {{"error", "false"},
                                                          {"index", "1"},
                                                          {"result", "x"},
                                                          {"name", ""},
                                                          {"args", ""}}}}},
                                             EventCase{"tool_result_reports_the_filtered_result",
                                                       [](OutputManager& m) {
                                                         m.tool_result(
                                                             "a\nMallocStackLogging: x\nb\r\n",
                                                             false, 7);
                                                       },
                                                       {{"tool_result",
                                                         {{"error", "false"},
                                                          {"index", "7"},
                                                          {"result", "a\nb"},
                                                          {"name", ""},
                                                          {"args", ""}}}}},
                                             EventCase{"done_is_empty",
                                                       [](OutputManager& m) { m.done(); },
                                                       {{"done", {}}}},
                                             EventCase{"error_message_cut_at_240",
                                                       [](OutputManager& m) {
                                                         m.set_error(repeat("m", 300));
                                                       },
                                                       {{"error",
                                                         {{"message", repeat("m", 240)}}}}},
                                             EventCase{"print_info_tells_filter_does_not",
                                                       [](OutputManager& m) {
                                                         m.print_info("note");
                                                         (void)OutputManager::_filter_noise("x");
                                                       },
                                                       {{"info", {{"text", "note"}}}}}),
                         [](const auto& info) { return info.param.name; });

// One whole turn, used to compare runs with and without a (failing) callback.
void whole_turn(OutputManager& m, FakeClock& clock) {
  m.start_thinking();
  m.feed_thinking("let me look");
  m.set_thinking_peek("look");
  m.set_stage("searching");
  m.thinking_done("let me look");
  const int i = m.log_tool("grep", "-n foo src/");
  m.tool_result("src/a.c:1: foo\nsrc/b.c:2: foo", false, i);
  m.start_thinking(false);
  m.stream("Found it.\nTwo places.");
  m.print_info("info");
  clock.advance(4.0);
  m.done();
  m.set_error("late failure");
}

struct Observed {
  std::string output;
  Phase phase;
  long long tokens;
  std::size_t tools;
  std::vector<std::string> chunks;
  std::string error;
  std::string stage;
};

Observed observe(const std::function<void(OutputManager&)>& setup) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  setup(m);
  whole_turn(m, clock);
  return {out->agent_output(),    m.state.phase, m.state.tokens,  m.state.tool_actions.size(),
          m.state.content_chunks, m.state.error, m.custom_stage()};
}

TEST(EventCallback, ThrowingCallbackChangesNoOutputAndNoState) {
  const Observed plain = observe([](OutputManager&) {});
  int calls = 0;
  const Observed failing = observe([&](OutputManager& m) {
    m.set_event_callback([&](const std::string&, std::shared_ptr<Payload>) {
      ++calls;
      throw std::runtime_error("receiver broke");
    });
  });
  EXPECT_EQ(calls, 13);
  EXPECT_EQ(failing.output, plain.output);
  EXPECT_EQ(failing.phase, plain.phase);
  EXPECT_EQ(failing.tokens, plain.tokens);
  EXPECT_EQ(failing.tools, plain.tools);
  EXPECT_EQ(failing.chunks, plain.chunks);
  EXPECT_EQ(failing.error, plain.error);
  EXPECT_FALSE(plain.output.empty());
}

TEST(EventCallback, InterruptAndExitRequestReachTheCaller) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  m.set_event_callback([](const std::string& type, std::shared_ptr<Payload>) {
    if (type == "error") throw zell::Interrupt();
    if (type == "done") throw zell::ExitRequest(3);
    throw 42;  // not even an exception class: still an ordinary error
  });
  EXPECT_NO_THROW(m.feed_thinking("x"));
  EXPECT_THROW(m.set_error("boom"), zell::Interrupt);
  EXPECT_EQ(m.state.phase, Phase::ERROR);  // the state changed before the event went out
  EXPECT_THROW(m.done(), zell::ExitRequest);
}

TEST(EventCallback, InterruptedChunkLeavesTheColumnAndTheNextChunkWrapsInPlace) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock, 10));  // wraps after 9 columns
  m.stream("abc");
  bool interrupt = true;
  m.set_event_callback([&](const std::string& type, std::shared_ptr<Payload>) {
    if (type == "content" && interrupt) throw zell::Interrupt();
  });
  EXPECT_THROW(m.stream("defg"), zell::Interrupt);
  EXPECT_EQ(m.col_pos(), 5);
  interrupt = false;
  m.stream("klmnop");  // four fit on the line the first chunk left, two wrap
  EXPECT_EQ(out->agent_output(), "\r\x1b[K\n\n  abcklmn\n  op");
  EXPECT_EQ(m.col_pos(), 4);
}

TEST(EventCallback, ReplacedAndRemovedCallbacks) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  int first = 0;
  int second = 0;
  m.set_event_callback([&](const std::string&, std::shared_ptr<Payload>) { ++first; });
  m.feed_thinking("a");
  m.set_event_callback([&](const std::string&, std::shared_ptr<Payload>) { ++second; });
  m.feed_thinking("b");
  m.set_event_callback(nullptr);
  m.feed_thinking("c");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

TEST(ApprovalCallback, IsStoredForTheAgentAndNeverCalledByTheManager) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  EXPECT_FALSE(m.approval_callback());
  int calls = 0;
  m.set_approval_callback([&](std::string_view tool, std::string_view command) {
    ++calls;
    return tool == "bash" && command == "rm -rf build";
  });
  whole_turn(m, clock);
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(m.approval_callback());
  EXPECT_TRUE(m.approval_callback()("bash", "rm -rf build"));
}

class TurnState : public ::testing::Test {
 protected:
  FakeClock clock;
  std::shared_ptr<RecordingWriter> out = std::make_shared<RecordingWriter>();
  OutputManager m{zell_test::recorded_ports(out, clock)};
};

TEST_F(TurnState, FreshManagerHasTheDefaults) {
  const OutputManager fresh;  // the real ports: constructing writes nothing, starts nothing
  EXPECT_EQ(fresh.state.phase, Phase::IDLE);
  EXPECT_EQ(fresh.state.start_time, 0.0);
  EXPECT_TRUE(fresh.state.tool_actions.empty());
  EXPECT_FALSE(fresh.indicator_running());
  EXPECT_EQ(fresh.col_pos(), 0);
  EXPECT_EQ(fresh.last_thinking_text(), "");
}

TEST_F(TurnState, TokenEstimateIsAQuarterOfTheCharactersAtLeastOne) {
  m.feed_thinking("");              // 1
  m.feed_thinking("1234567");       // 1
  m.feed_thinking("12345678");      // 2
  m.feed_thinking(repeat("é", 9));  // 2: characters, not bytes
  EXPECT_EQ(m.state.tokens, 6);
  m.stream(repeat("x", 12));  // 3
  EXPECT_EQ(m.state.tokens, 9);
}

TEST_F(TurnState, ContinuingStartKeepsTheTurnAndClearsPeekAndStage) {
  m.start_thinking();
  const double started = m.state.start_time;
  m.feed_thinking(repeat("x", 40));
  m.log_tool("bash", "ls");
  m.stream("chunk");
  m.set_thinking_peek("peek");
  m.set_stage("stage");
  clock.advance(5);
  m.start_thinking(false);
  EXPECT_EQ(m.state.phase, Phase::THINKING);
  EXPECT_EQ(m.state.start_time, started);
  EXPECT_EQ(m.state.tokens, 11);
  EXPECT_EQ(m.state.tool_actions.size(), 1U);
  EXPECT_EQ(m.state.content_chunks, std::vector<std::string>{"chunk"});
  EXPECT_EQ(m.state.thinking_peek, "");
  EXPECT_EQ(m.custom_stage(), "");

  m.start_thinking(true);
  EXPECT_EQ(m.state.start_time, clock.now());
  EXPECT_EQ(m.state.tokens, 0);
  EXPECT_TRUE(m.state.tool_actions.empty());
  EXPECT_TRUE(m.state.content_chunks.empty());
}

TEST_F(TurnState, ToolRecordsFollowTheirResults) {
  const int a = m.log_tool("bash", "make");
  const int b = m.log_tool("read_file", "x.c");
  EXPECT_EQ(m.state.tool_actions[0].status, "running");
  m.tool_result("MallocStackLogging: can't turn off\nbuilt\n", false, a);
  m.tool_result("no such file", true, b);
  EXPECT_EQ(m.state.tool_actions[0].status, "done");
  EXPECT_EQ(m.state.tool_actions[0].result, "built");
  EXPECT_EQ(m.state.tool_actions[1].status, "error");
  m.tool_result("second try", false, b);  // a second result overwrites
  EXPECT_EQ(m.state.tool_actions[1].status, "done");
  EXPECT_EQ(m.state.tool_actions[1].result, "second try");
  m.tool_result("orphan");  // index -1 touches no record
  m.tool_result("orphan", true, -5);
  EXPECT_EQ(m.state.tool_actions[0].result, "built");
  EXPECT_EQ(m.state.tool_actions[1].result, "second try");
  EXPECT_EQ(m.state.phase, Phase::IDLE);  // tool calls leave the phase alone
}

TEST_F(TurnState, ErrorKeepsTheWholeMessageAndPhasesFollowTheCalls) {
  m.set_error(repeat("m", 300));
  EXPECT_EQ(m.state.error, repeat("m", 300));
  EXPECT_EQ(m.state.phase, Phase::ERROR);
  m.stream("x");  // any phase other than STREAMING starts streaming
  EXPECT_EQ(m.state.phase, Phase::STREAMING);
  m.done();
  EXPECT_EQ(m.state.phase, Phase::DONE);
  m.thinking_done("the whole thought");
  EXPECT_EQ(m.last_thinking_text(), "the whole thought");
}

TEST_F(TurnState, StageIsClearedByTheOperationsThatEndIt) {
  const std::vector<std::pair<std::string, std::function<void()>>> clearers{
      {"tool_result", [&] { m.tool_result("r"); }},
      {"start_thinking", [&] { m.start_thinking(false); }},
      {"start_streaming", [&] { m.start_streaming(); }},
      {"done", [&] { m.done(); }},
      {"set_error", [&] { m.set_error("e"); }},
  };
  for (const auto& [name, clear] : clearers) {
    m.set_stage("custom");
    EXPECT_EQ(m.custom_stage(), "custom");
    clear();
    EXPECT_EQ(m.custom_stage(), "") << name;
  }
  m.set_stage("kept");
  m.log_tool("bash");
  m.print_info("i");
  m.feed_thinking("t");
  EXPECT_EQ(m.custom_stage(), "kept");
}

}  // namespace

namespace {

// A writer that throws everything away, counting what it was handed.
class CountingDiscard final : public zell::output::Writer {
 public:
  void write(std::string_view bytes) override { bytes_ += bytes.size(); }
  void flush() override {}
  [[nodiscard]] bool discards() const override { return true; }
  std::size_t bytes_ = 0;
};

TEST(FullScreenPorts, AnswerIsNeitherWrappedForADiscardingWriterNorKeptWhenTheHostKeepsIt) {
  FakeClock clock;
  auto out = std::make_shared<CountingDiscard>();
  zell::output::OutputPorts ports = zell_test::recorded_ports(nullptr, clock);
  ports.out = out;
  ports.keep_chunks = false;
  OutputManager m(ports);
  std::string received;
  m.set_event_callback([&](const std::string& type, std::shared_ptr<zell::Payload> p) {
    if (type == "content") received += p->get("chunk");
  });
  m.start_streaming();
  const std::size_t before = out->bytes_;
  m.stream(repeat("word ", 1000));
  EXPECT_EQ(out->bytes_, before);
  EXPECT_EQ(received, repeat("word ", 1000));
  EXPECT_TRUE(m.state.content_chunks.empty());
  EXPECT_EQ(m.state.tokens, 1250);
}

}  // namespace
