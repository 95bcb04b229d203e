#include "zell/tui/screens/preflight/preflight_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "termui/pilot.h"
#include "termui/widgets/static.h"
#include "zell/ports/tui_host_app.h"
#include "zell/tui/screens/preflight/picker_text.h"

namespace zell::tui::screens {
namespace {

const styled::Color BLUE = styled::Color::rgb(0x5f, 0x87, 0xff);

class FakeStore : public ports::ConfigStore {
 public:
  std::vector<std::string> saved_modes;
  std::optional<std::string> failure;
  void save_config(const ports::ZellConfig& config) override {
    saved_modes.push_back(config.runtime.laptop_26b_runtime_mode);
    if (failure) throw std::runtime_error(*failure);
  }
};

// What the next gateway does: fail to be built, be missing, fail its check, or answer.
struct GatewayScript {
  std::optional<std::string> build_error;
  bool missing = false;
  std::optional<std::string> check_error;
  ports::Health health{true, "ok"};
};

GatewayScript not_ready(std::string details) {
  GatewayScript g;
  g.health = {false, std::move(details)};
  return g;
}
GatewayScript build_fails(std::string error) {
  GatewayScript g;
  g.build_error = std::move(error);
  return g;
}
GatewayScript check_fails(std::string error) {
  GatewayScript g;
  g.check_error = std::move(error);
  return g;
}
GatewayScript missing_gateway() {
  GatewayScript g;
  g.missing = true;
  return g;
}

class FakeGateway : public ports::RuntimeGateway {
 public:
  explicit FakeGateway(const GatewayScript& script) : script_(script) {}
  ports::Health healthcheck() override {
    if (script_.check_error) throw std::runtime_error(*script_.check_error);
    return script_.health;
  }

 private:
  const GatewayScript& script_;
};

// An agent check the test answers when it likes.
struct AgentScript {
  int started = 0;
  std::optional<ports::AgentHealth> answer;  // what every check says once set
};

class FakeCheck : public ports::AgentCheck {
 public:
  explicit FakeCheck(const AgentScript& script) : script_(script) {}
  [[nodiscard]] std::string name() const override { return "coder"; }
  std::optional<ports::AgentHealth> result() override { return script_.answer; }

 private:
  const AgentScript& script_;
};

class PickerApp : public ports::TuiHostApp {
 public:
  std::optional<AgentScript> agent;  // set: the chat talks to an agent of the host's own
  std::unique_ptr<ports::AgentCheck> check_agent() override {
    if (!agent) return nullptr;
    ++agent->started;
    return std::make_unique<FakeCheck>(*agent);
  }
  // Moves the clock on past the screen's next look at the agent's check.
  void tick(termui::Pilot& pilot) {
    clock_ += std::chrono::milliseconds(100);
    pilot.pause();
  }
  PickerApp() {
    set_clock([this] { return clock_; });
  }

  ports::ZellConfig config;
  FakeStore store;
  GatewayScript gateway;
  std::vector<std::string> gateway_modes;  // the mode each gateway was built for
  std::optional<int> reported_width;       // what size().width tells the host's readers
  bool size_fails = false;

  ports::ZellConfig& zell_config() override { return config; }
  ports::ConfigStore& config_store() override { return store; }
  const ports::RuntimeGatewayFactory& runtime_gateway_factory() const override { return factory_; }
  ports::Size size() const override {
    if (size_fails) throw std::runtime_error("no terminal");
    ports::Size s = TuiHostApp::size();
    if (reported_width) s.width = *reported_width;
    return s;
  }

  std::string box() { return screen().query_one<termui::Static>("#picker-box").content().plain(); }
  std::string header() {
    return screen().query_one<termui::Static>("#picker-header").content().plain();
  }
  bool on_chat() { return screen().id() == "chat"; }

 protected:
  void on_mount() override {
    install_screen("chat", [] { return std::make_unique<termui::Screen>("chat"); });
    push_screen(std::make_unique<PreflightScreen>());
  }

 private:
  Clock::time_point clock_ = Clock::now();
  ports::RuntimeGatewayFactory factory_ =
      [this](const ports::RuntimeConfig& runtime) -> std::unique_ptr<ports::RuntimeGateway> {
    gateway_modes.push_back(runtime.laptop_26b_runtime_mode);
    if (gateway.build_error) throw std::runtime_error(*gateway.build_error);
    if (gateway.missing) return nullptr;
    return std::make_unique<FakeGateway>(gateway);
  };
};

std::string rules(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "─";
  return s;
}

std::string row(termui::Pilot& pilot, int y, int from, int count) {
  std::string s;
  for (int x = from; x < from + count; ++x) s += pilot.cell(x, y).text;
  return s;
}

// ---- header ----

TEST(PreflightHeader, name_and_rule_across_the_terminal_width) {
  PickerApp app;
  termui::Pilot pilot(app, {100, 24});
  EXPECT_EQ(app.header(), "🏠 Vellumine " + rules(84));
  // One column of padding, the wide house glyph, then the name and the rule, in blue on the
  // theme's surface colour, padding included.
  EXPECT_EQ(row(pilot, 0, 0, 15), " 🏠 Vellumine ─");
  EXPECT_EQ(pilot.cell(98, 0).text, " ");
  EXPECT_EQ(pilot.cell(97, 0).text, "─");
  EXPECT_EQ(pilot.cell(5, 0).style.fg(), BLUE);
  EXPECT_EQ(pilot.cell(0, 0).style.bg(), styled::Color::rgb(0x1e, 0x1e, 0x1e));

  pilot.resize({120, 24});
  EXPECT_EQ(app.header(), "🏠 Vellumine " + rules(104));
}

TEST(PreflightHeader, unreadable_or_zero_width_draws_for_eighty_columns) {
  for (const bool fails : {false, true}) {
    PickerApp app;
    app.reported_width = 0;
    app.size_fails = fails;
    termui::Pilot pilot(app, {100, 24});
    EXPECT_EQ(app.header(), "🏠 Vellumine " + rules(64)) << fails;
  }
}

TEST(PreflightHeader, narrow_terminal_shows_the_start_of_the_name_on_one_row) {
  PickerApp app;
  termui::Pilot pilot(app, {10, 24});
  EXPECT_EQ(app.header(), "🏠 Vellumine ");
  EXPECT_EQ(row(pilot, 0, 0, 10), " 🏠 Vellu ");
}

// ---- box ----

TEST(PreflightBox, rounded_box_of_52_columns_centred_both_ways) {
  const struct { termui::Size size; } cases[] = {{{80, 24}}, {{101, 40}}};
  for (const auto& c : cases) {
    PickerApp app;
    termui::Pilot pilot(app, c.size);
    // Six rows of menu, a row of padding above and below, the border.
    const int height = 6 + 2 + 2;
    const int left = (c.size.width - 52) / 2;
    const int top = 1 + (c.size.height - 1 - height) / 2;  // below the header row
    const int right = left + 51, bottom = top + height - 1;
    EXPECT_EQ(pilot.cell(left, top).text, "╭");
    EXPECT_EQ(pilot.cell(right, top).text, "╮");
    EXPECT_EQ(pilot.cell(left, bottom).text, "╰");
    EXPECT_EQ(pilot.cell(right, bottom).text, "╯");
    EXPECT_EQ(pilot.cell(left, top + 1).text, "│");
    EXPECT_EQ(pilot.cell(left, top).style.fg(), BLUE);
    EXPECT_EQ(pilot.cell(left - 1, top).text, " ");
    EXPECT_EQ(pilot.cell(left, top - 1).text, " ");
    // Text starts inside one row and two columns of padding.
    EXPECT_EQ(row(pilot, top + 2, left + 3, 14), "Select a mode:");
    EXPECT_EQ(row(pilot, top + 4, left + 3, 8), "  1. Fas");
    EXPECT_TRUE(pilot.cell(left + 5, top + 4).style.has(styled::Attr::bold));
    EXPECT_EQ(row(pilot, top + 7, left + 3, 12), "Press 1 or 2");
  }
}

// ---- choosing a mode ----

struct Choice {
  const char* key;
  const char* mode;
  bool ready;
};

class PreflightChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(PreflightChoice, saves_the_mode_then_switches_or_reports_the_reason) {
  const Choice c = GetParam();
  PickerApp app;
  std::string reason;
  for (int i = 0; i < 25; ++i) reason += "line " + std::to_string(i) + "\n";  // 200 characters
  app.gateway.health = {c.ready, reason};
  termui::Pilot pilot(app, {80, 24});
  pilot.press(c.key);

  EXPECT_EQ(app.config.runtime.laptop_26b_runtime_mode, c.mode);
  EXPECT_EQ(app.store.saved_modes, std::vector<std::string>{c.mode});
  EXPECT_EQ(app.gateway_modes, std::vector<std::string>{c.mode});
  EXPECT_EQ(app.on_chat(), c.ready);
  if (c.ready) return;

  std::string shown = reason.substr(0, 80);
  std::replace(shown.begin(), shown.end(), '\n', ' ');
  EXPECT_EQ(app.box(), "Server not ready\n\n" + shown +
                           "\n\nThe server may still be starting up.\nPress 1 or 2 to retry.");
  // The keys stay active: a later try that finds the server ready goes on to the chat.
  app.gateway.health.ready = true;
  pilot.press(c.key);
  EXPECT_EQ(app.store.saved_modes.size(), 2u);
  EXPECT_TRUE(app.on_chat());
}

INSTANTIATE_TEST_SUITE_P(Keys, PreflightChoice,
                         ::testing::Values(Choice{"1", "turbo", true},
                                           Choice{"2", "turbo-think", true},
                                           Choice{"1", "turbo", false},
                                           Choice{"2", "turbo-think", false}));

// ---- errors stay on the screen ----

struct Failure {
  const char* name;
  std::optional<std::string> save_error;
  GatewayScript gateway;
  bool reaches_chat;
  std::string box;
};

class PreflightFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(PreflightFailure, is_reported_in_the_box_and_the_keys_stay_active) {
  const Failure& f = GetParam();
  PickerApp app;
  app.store.failure = f.save_error;
  app.gateway = f.gateway;
  termui::Pilot pilot(app, {80, 24});
  ASSERT_NO_THROW(pilot.press("2"));
  EXPECT_FALSE(app.exiting());
  EXPECT_EQ(app.store.saved_modes, std::vector<std::string>{"turbo-think"});
  EXPECT_EQ(app.config.runtime.laptop_26b_runtime_mode, "turbo-think");
  EXPECT_EQ(app.gateway_modes, std::vector<std::string>{"turbo-think"});  // checked after all
  EXPECT_EQ(app.on_chat(), f.reaches_chat);
  if (f.reaches_chat) return;
  EXPECT_EQ(app.box(), f.box);
  pilot.press("1");
  EXPECT_EQ(app.gateway_modes, (std::vector<std::string>{"turbo-think", "turbo"}));
  pilot.press("q");
  EXPECT_TRUE(app.exiting());
}

const std::string HINT = "\n\nPress 1 or 2 to retry.";
const std::string NOT_READY =
    "Server not ready\n\nwarming up\n\nThe server may still be starting up.\nPress 1 or 2 to "
    "retry.";

INSTANTIATE_TEST_SUITE_P(
    Errors, PreflightFailure,
    ::testing::Values(
        Failure{"save_fails_server_ready", "read-only file system", {}, true, ""},
        Failure{"save_fails_server_not_ready", "read-only file system", not_ready("warming up"),
                false, "Could not save settings\n\nread-only file system\n\n" + NOT_READY},
        Failure{"gateway_construction_fails",
                {},
                build_fails("unknown mode [bold]turbo-think[/]\nsee config"),
                false,
                "Health check failed\n\nunknown mode [bold]turbo-think[/] see config" + HINT},
        Failure{"no_gateway",
                {},
                missing_gateway(),
                false,
                "Health check failed\n\nno runtime gateway for mode turbo-think" + HINT},
        Failure{"health_check_fails",
                {},
                check_fails(std::string(10'000, 'e')),
                false,
                "Health check failed\n\n" + std::string(80, 'e') + HINT},
        Failure{"everything_fails", "disk full", check_fails("refused"), false,
                "Could not save settings\n\ndisk full\n\nHealth check failed\n\nrefused" + HINT}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- an agent of the host's own ----

TEST(PreflightAgent, is_checked_at_once_and_a_mode_key_opens_the_chat_when_it_is_ready) {
  for (const bool key_first : {true, false}) {
    SCOPED_TRACE(key_first ? "key while starting" : "key once ready");
    PickerApp app;
    app.agent.emplace();
    termui::Pilot pilot(app, {80, 30});
    EXPECT_EQ(app.agent->started, 1);
    EXPECT_NE(app.box().find("coder is starting…"), std::string::npos) << app.box();
    EXPECT_NE(app.box().find("Press 1 or 2 to open the chat."), std::string::npos);
    EXPECT_NE(app.box().find("the agent keeps its own"), std::string::npos);
    if (key_first) {
      pilot.press("2");
      EXPECT_NE(app.box().find("The chat opens once the agent is ready."), std::string::npos);
      app.tick(pilot);
      EXPECT_FALSE(app.on_chat());
    }
    app.agent->answer = ports::AgentHealth{true, "coder-cli 1.4", ""};
    app.tick(pilot);
    EXPECT_EQ(app.on_chat(), key_first);
    if (!key_first) {
      EXPECT_NE(app.box().find("coder-cli 1.4 is ready."), std::string::npos) << app.box();
      pilot.press("2");
      EXPECT_TRUE(app.on_chat());
    }
    EXPECT_EQ(app.config.runtime.laptop_26b_runtime_mode, "turbo-think");
    EXPECT_TRUE(app.gateway_modes.empty());  // the model server is not asked
    EXPECT_EQ(app.agent->started, 1);
  }
}

TEST(PreflightAgent, a_failure_shows_why_and_its_last_lines_and_a_key_tries_again) {
  PickerApp app;
  app.agent.emplace();
  std::string error = "the agent exited (exit status 3); the last lines of its standard error:";
  for (int i = 0; i < 10; ++i) error += "\n  line " + std::to_string(i);
  error += "\n  \x1b]0;title\x07[bold]x[/]";
  app.agent->answer = ports::AgentHealth{false, "", error};
  termui::Pilot pilot(app, {100, 40});
  app.tick(pilot);
  const std::string box = app.box();
  EXPECT_EQ(box.rfind("The agent did not start\n\n…\n", 0), 0u) << box;
  // The last lines, the newest whole, what they hold shown rather than obeyed.
  EXPECT_EQ(box.find("line 2"), std::string::npos) << box;
  EXPECT_NE(box.find("line 3\n"), std::string::npos) << box;
  EXPECT_NE(box.find("␛]0;title␇[bold]x[/]\n\nPress 1 or 2 to try again."), std::string::npos)
      << box;
  pilot.press("1");
  EXPECT_EQ(app.agent->started, 2);
  app.tick(pilot);
  EXPECT_FALSE(app.on_chat());  // failed again
  app.agent->answer = ports::AgentHealth{true, "coder", ""};
  pilot.press("1");
  app.tick(pilot);
  EXPECT_TRUE(app.on_chat());
}

TEST(PreflightAgent, q_quits_while_the_agent_starts) {
  PickerApp app;
  app.agent.emplace();
  termui::Pilot pilot(app, {80, 30});
  pilot.press("q");
  EXPECT_TRUE(app.exiting());
}

TEST(PreflightQuit, q_ends_the_application_while_choosing) {
  PickerApp app;
  termui::Pilot pilot(app, {80, 24});
  pilot.press("q");
  EXPECT_TRUE(app.exiting());
  EXPECT_TRUE(app.store.saved_modes.empty());
}

}  // namespace
}  // namespace zell::tui::screens
