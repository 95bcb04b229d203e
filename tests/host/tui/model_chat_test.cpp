// The full-screen chat with a model server behind it: a typed prompt goes to the server, its
// reasoning becomes a thinking block, its answer is drawn as Markdown once whole, and the
// summary carries the server's own token count; Ctrl+C closes a slow answer's connection.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "host/chat_fakes.h"
#include "host/fake_chat_server.h"
#include "host/pilot_settle.h"
#include "host/tui/chat_log.h"
#include "host/tui/chat_screen.h"
#include "host/tui/vellumine_tui.h"
#include "termui/pilot.h"
#include "zell/tui/scrollback_fixture.h"

namespace {

using host_test::ChatReply;
using host_test::FakeChatServer;

using chat_test::NoStore;

struct ModelChat {
  explicit ModelChat(const std::string& url)
      : app(config, store, nullptr, options(url)), pilot(app, {100, 30}) {
    config.runtime.laptop_26b_runtime_mode = "turbo-think";
  }
  static host::tui::TuiOptions options(const std::string& url) {
    host::tui::TuiOptions o;
    o.preflight = false;
    o.http = host::runtime::HttpAgentOptions{};
    o.http->base_url = url;
    return o;
  }
  // Lets the worker and the UI thread run until `done` holds (a hang guard, not a timing).
  bool settle(const std::function<bool()>& done) { return host_test::settle(pilot, done); }
  host::tui::ChatLog& log() { return app.chat()->log(); }
  void send(const std::string& prompt) {
    pilot.type(prompt);
    pilot.press("enter");
  }

  zell::ports::ZellConfig config;
  NoStore store;
  host::tui::VellumineTUI app;
  termui::Pilot pilot;
};

TEST(ModelChat, a_typed_prompt_streams_the_server_answer_into_the_transcript) {
  using host_test::delta_event;
  FakeChatServer server([](const nlohmann::json&) {
    ChatReply r;
    r.pieces = host_test::random_pieces(
        host_test::sse({delta_event({{"reasoning_content", "Check the\nloop bound."}}),
                        delta_event({{"content", "The bound is **off by one**:\n\n"}}),
                        delta_event({{"content", "- use `<` not `<=`\n"}}),
                        host_test::usage_event(57)}),
        3);
    return r;
  });
  ModelChat chat(server.url());
  chat.send("why does it crash?");
  ASSERT_TRUE(chat.settle([&] { return !chat.app.chat()->busy(); }));
  std::vector<std::string> kinds;
  for (const auto& e : chat.log().history()) kinds.emplace_back(e.kind());
  EXPECT_EQ(kinds, (std::vector<std::string>{"user", "thinking", "assistant", "turn_summary"}));
  EXPECT_EQ(zell::tui::widgets::testing::entry_text(chat.log().history()[1]),
            "Check the\nloop bound.");
  EXPECT_NE(zell::tui::widgets::testing::entry_text(chat.log().history()[3]).find("57 tokens"),
            std::string::npos);
  const std::string screen = chat.pilot.text();
  EXPECT_NE(screen.find("The bound is off by one:"), std::string::npos) << screen;
  EXPECT_EQ(server.requests().at(0)["chat_template_kwargs"]["enable_thinking"], true);
}

TEST(ModelChat, ctrl_c_closes_a_slow_answer_and_ends_the_turn_interrupted) {
  FakeChatServer server([](const nlohmann::json&) {
    ChatReply r;
    // Reasoning sent apart: the content that follows is answer, shown at once.
    r.pieces = {host_test::sse({host_test::delta_event({{"reasoning_content", "Hm."}}),
                                host_test::delta_event({{"content", "partial "}})},
                               false)};
    r.then = ChatReply::Then::hold;
    return r;
  });
  ModelChat chat(server.url());
  chat.send("go");
  ASSERT_TRUE(chat.settle([&] { return chat.log().stream_open(); }));
  chat.pilot.press("ctrl+c");
  ASSERT_TRUE(chat.settle([&] { return !chat.app.chat()->busy(); }));
  EXPECT_TRUE(server.wait_client_closed().has_value());
  EXPECT_EQ(chat.log().history().back().kind(), "error");
  EXPECT_EQ(zell::tui::widgets::testing::entry_text(chat.log().history().back()), "Interrupted");
}

}  // namespace
