// Agent events posted on a worker thread reach the transcript on the UI thread.

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "scrollback_fixture.h"
#include "zell/tui/bridge/messages.h"
#include "zell/tui/bridge/tui_bridge.h"

namespace zell::tui {
namespace {

// The host side of the road, as small as it gets: posts go to the framework's queue.
class Host : public ports::HostApp {
 public:
  explicit Host(termui::App& app) : app_(app) {}
  bool post_message(std::unique_ptr<termui::Message> m) override {
    return app_.post_message(std::move(m));
  }
  ports::Size size() const override { return app_.size(); }
  ports::ZellConfig& zell_config() override { return config_; }
  void switch_screen(std::string_view) override {}
  void exit(int) override {}
  ports::ConfigStore& config_store() override { throw std::logic_error("no store"); }
  const ports::RuntimeGatewayFactory& runtime_gateway_factory() const override { return factory; }
  ports::RuntimeGatewayFactory factory;

 private:
  termui::App& app_;
  ports::ZellConfig config_;
};

TEST(EventRoad, a_streamed_answer_from_a_worker_reaches_the_transcript) {
  widgets::testing::Transcript t({80, 20});
  std::string answer;
  t.app.on<AgentEvent>([&](AgentEvent& e) {
    if (e.event_type == "content") {
      answer += e.payload->get("text");
      t.log().stream_token(e.payload->get("text"));
    } else if (e.event_type == "done") {
      t.log().finish_stream(answer);
    }
  });
  Host host(t.app);
  TUIBridge bridge(host);
  std::thread worker([&] {
    for (const char* chunk : {"first ", "line\nsecond", " line\n"}) {
      bridge.on_event("content", {{"text", chunk}});
    }
    bridge.on_event("done");
  });
  worker.join();
  t.pilot.pause();
  EXPECT_EQ(t.texts(), (std::vector<std::string>{"", "  first line", "  second line"}));
  ASSERT_EQ(t.log().history().size(), 1u);
  EXPECT_EQ(t.log().history()[0].as<widgets::entries::Assistant>()->text,
            "first line\nsecond line\n");
}

}  // namespace
}  // namespace zell::tui
