// The event bridge: both call forms, the payload carried as the very mapping, posting failures,
// the approval handshake across threads, and release when the application ends.

#include "zell/tui/bridge/tui_bridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "zell/errors.h"
#include "zell/tui/bridge/messages.h"

namespace zell::tui {
namespace {

// An application that keeps what is posted, and can be told to fail.
class RecordingApp : public ports::HostApp {
 public:
  bool post_message(std::unique_ptr<termui::Message> message) override {
    if (fail_with_interrupt) throw Interrupt();
    if (fail) throw std::runtime_error("application gone");
    std::lock_guard lock(mutex);
    posted.push_back(std::move(message));
    posted_cv.notify_all();
    return true;
  }
  ports::Size size() const override { return {80, 24}; }
  ports::ZellConfig& zell_config() override { return config; }
  void switch_screen(std::string_view) override {}
  void exit(int) override {}
  ports::ConfigStore& config_store() override { throw std::logic_error("no store"); }
  const ports::RuntimeGatewayFactory& runtime_gateway_factory() const override { return factory; }
  ports::RuntimeGatewayFactory factory;

  // Waits until `n` messages have been posted.
  void wait_for(std::size_t n) {
    std::unique_lock lock(mutex);
    posted_cv.wait(lock, [&] { return posted.size() >= n; });
  }
  template <typename M>
  M& at(std::size_t i) {
    std::lock_guard lock(mutex);
    return dynamic_cast<M&>(*posted.at(i));
  }

  bool fail = false;
  bool fail_with_interrupt = false;
  ports::ZellConfig config;
  std::mutex mutex;
  std::condition_variable posted_cv;
  std::vector<std::unique_ptr<termui::Message>> posted;
};

TEST(TUIBridge, posts_events_in_both_call_forms) {
  RecordingApp app;
  TUIBridge bridge(app);
  bridge.on_event("stage");
  bridge.on_event("thinking_peek", {{"text", "hmm"}});
  auto payload = std::make_shared<Payload>(Payload{{"a", "1"}, {"c", "x"}});
  bridge.on_event("content", payload, {{"a", "2"}, {"b", "3"}});
  bridge.on_event("done", payload);

  ASSERT_EQ(app.posted.size(), 4u);
  EXPECT_TRUE(app.at<AgentEvent>(0).payload->empty());
  EXPECT_EQ(app.at<AgentEvent>(1).event_type, "thinking_peek");
  EXPECT_EQ(*app.at<AgentEvent>(1).payload, (Payload{{"text", "hmm"}}));
  // The caller's mapping itself, merged in place.
  EXPECT_EQ(app.at<AgentEvent>(2).payload.get(), payload.get());
  EXPECT_EQ(*payload, (Payload{{"a", "2"}, {"c", "x"}, {"b", "3"}}));
  EXPECT_EQ(app.at<AgentEvent>(3).payload.get(), payload.get());
}

TEST(TUIBridge, posting_failures_drop_events_but_reach_approval_callers) {
  RecordingApp app;
  TUIBridge bridge(app);
  app.fail = true;
  EXPECT_NO_THROW(bridge.on_event("content", {{"text", "x"}}));
  EXPECT_THROW(bridge.request_approval("bash", "rm -rf /tmp/x"), std::runtime_error);
  app.fail = false;
  app.fail_with_interrupt = true;
  EXPECT_THROW(bridge.on_event("content"), Interrupt);
  EXPECT_TRUE(app.posted.empty());
  EXPECT_THROW(AgentEvent("x", nullptr), std::invalid_argument);
}

TEST(TUIBridge, each_approval_waits_for_its_own_answer) {
  RecordingApp app;
  TUIBridge bridge(app);
  bridge.set_approval(true);  // a stale answer, given while nothing was pending
  auto first = std::async(std::launch::async, [&] { return bridge.request_approval("bash", "a"); });
  app.wait_for(1);
  EXPECT_EQ(first.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  EXPECT_EQ(app.at<ApprovalRequest>(0).command, "a");
  bridge.set_approval(false);
  EXPECT_FALSE(first.get());

  auto second =
      std::async(std::launch::async, [&] { return bridge.request_approval("bash", "b"); });
  app.wait_for(2);
  EXPECT_EQ(app.at<ApprovalRequest>(1).tool_name, "bash");
  bridge.set_approval(true);
  EXPECT_TRUE(second.get());

  // An approval leaves nothing behind that could answer the next question.
  auto third = std::async(std::launch::async, [&] { return bridge.request_approval("bash", "c"); });
  app.wait_for(3);
  EXPECT_EQ(third.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  bridge.set_approval(false);
  EXPECT_FALSE(third.get());
}

TEST(TUIBridge, closing_denies_the_waiting_worker_and_everything_after) {
  RecordingApp app;
  TUIBridge bridge(app);
  auto waiting =
      std::async(std::launch::async, [&] { return bridge.request_approval("bash", "x"); });
  app.wait_for(1);
  bridge.close();
  EXPECT_FALSE(waiting.get());
  EXPECT_FALSE(bridge.request_approval("bash", "y"));
  bridge.on_event("content");
  EXPECT_EQ(app.posted.size(), 1u);
}

TEST(TUIBridge, a_question_with_options_answers_the_chosen_index_or_cancelled) {
  RecordingApp app;
  TUIBridge bridge(app);
  const std::vector<std::string> options{"Allow once", "Reject", "Always allow"};
  struct Case {
    std::optional<std::size_t> answer;
  };
  std::size_t posted = 0;
  for (const Case& c : {Case{2}, Case{0}, Case{std::nullopt}}) {
    auto asked = std::async(std::launch::async,
                            [&] { return bridge.request_choice("Run rm", "rm -rf x", options); });
    app.wait_for(++posted);
    EXPECT_EQ(app.at<ApprovalRequest>(posted - 1).options, options);
    bridge.set_choice(c.answer);
    EXPECT_EQ(asked.get(), c.answer);
  }
  // Closing cancels the waiting question, and every later one at once.
  auto waiting =
      std::async(std::launch::async, [&] { return bridge.request_choice("t", "c", options); });
  app.wait_for(++posted);
  bridge.close();
  EXPECT_EQ(waiting.get(), std::nullopt);
  EXPECT_EQ(bridge.request_choice("t", "c", options), std::nullopt);
}

TEST(TUIBridge, events_from_a_worker_arrive_in_order) {
  RecordingApp app;
  TUIBridge bridge(app);
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) bridge.on_event("content", {{"i", std::to_string(i)}});
  });
  app.wait_for(200);
  worker.join();
  for (std::size_t i = 0; i < 200; ++i) {
    EXPECT_EQ(app.at<AgentEvent>(i).payload->get("i"), std::to_string(i));
  }
}

Payload content(std::string chunk, int tokens) {
  const std::string chars = std::to_string(chunk.size());
  return {{"chunk", std::move(chunk)}, {"chars", chars}, {"tokens", std::to_string(tokens)}};
}

// Takes the i-th posted event as the UI thread does, and says what it carries.
std::string taken(RecordingApp& app, TUIBridge& bridge, std::size_t i) {
  AgentEvent& e = app.at<AgentEvent>(i);
  bridge.take(e);
  std::string shown = e.event_type;
  for (const auto& [key, value] : *e.payload) shown += " " + key + "=" + value;
  return shown;
}

TEST(TUIBridge, content_coming_while_one_waits_joins_it_in_order) {
  RecordingApp app;
  TUIBridge bridge(app);
  bridge.join_content(true);
  EXPECT_TRUE(bridge.on_event("content", content("Hel", 1)));
  EXPECT_FALSE(bridge.on_event("content", content("lo ", 2)));
  EXPECT_FALSE(bridge.on_event("content", content("wor", 3)));
  EXPECT_TRUE(bridge.on_event("tool_start", {{"name", "bash"}}));
  EXPECT_TRUE(bridge.on_event("content", content("ld", 4)));
  EXPECT_EQ(taken(app, bridge, 0), "content chunk=Hello wor chars=9 tokens=3");
  EXPECT_EQ(taken(app, bridge, 1), "tool_start name=bash");
  // Once taken, an event no longer grows: what comes next is posted on its own.
  EXPECT_FALSE(bridge.on_event("content", content("!", 5)));
  EXPECT_EQ(taken(app, bridge, 2), "content chunk=ld! chars=3 tokens=5");
  EXPECT_TRUE(bridge.on_event("content", content("?", 6)));
  EXPECT_EQ(taken(app, bridge, 3), "content chunk=? chars=1 tokens=6");
  EXPECT_EQ(app.posted.size(), 4u);
}

TEST(TUIBridge, a_joined_chunk_stays_bounded) {
  RecordingApp app;
  TUIBridge bridge(app);
  bridge.join_content(true);
  const std::string part(40'000, 'x');
  EXPECT_TRUE(bridge.on_event("content", content(part, 1)));
  EXPECT_TRUE(bridge.on_event("content", content(part, 2)));
  EXPECT_FALSE(bridge.on_event("content", content("y", 3)));
  EXPECT_EQ(taken(app, bridge, 0).size(), taken(app, bridge, 1).size() - 1);
}

}  // namespace
}  // namespace zell::tui
