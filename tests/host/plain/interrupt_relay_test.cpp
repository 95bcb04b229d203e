// Ctrl+C through the relay: it cancels a running turn; with nothing to cancel it reaches the
// handler that was there before.

#include "host/plain/interrupt_relay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "host/fake_chat_server.h"
#include "host/http_agent_harness.h"

namespace {

std::atomic<int> earlier_handler_calls{0};
extern "C" void count_interrupt(int) {
  earlier_handler_calls.fetch_add(1);
}

TEST(InterruptRelay, CtrlCCancelsTheTurnElseReachesTheEarlierHandler) {
  const host_test::FakeChatServer server([](const nlohmann::json&) {
    host_test::ChatReply r;
    r.pieces = {host_test::sse({host_test::delta_event({{"content", "Hi"}})}, false)};
    r.then = host_test::ChatReply::Then::hold;
    return r;
  });
  host::runtime::HttpAgentOptions options;
  options.base_url = server.url();
  options.mode = "turbo";  // thinking off: untagged content is answer at once
  host_test::AgentHarness h(options);
  earlier_handler_calls = 0;
  const auto earlier = std::signal(SIGINT, count_interrupt);
  {
    const host::InterruptRelay relay([&] { return h.agent.cancel(); });
    host_test::Shown shown;
    std::thread worker([&] { shown = h.turn("hello"); });
    ASSERT_TRUE(h.wait_for_content());
    std::raise(SIGINT);
    worker.join();
    EXPECT_EQ(shown.result.end, host::runtime::TurnEnd::interrupted);
    EXPECT_EQ(earlier_handler_calls.load(), 0);

    std::raise(SIGINT);  // no turn runs now
    for (int i = 0; i < 10'000 && earlier_handler_calls.load() == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(earlier_handler_calls.load(), 1);
  }
  std::raise(SIGINT);  // the relay has put the earlier handler back
  EXPECT_EQ(earlier_handler_calls.load(), 2);
  std::signal(SIGINT, earlier);
}

}  // namespace
