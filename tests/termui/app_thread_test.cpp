// Messages posted from other threads while the real event loop runs: every one is handled on
// the UI thread, in order per posting thread. Runs under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <array>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "termui/app.h"
#include "termui/headless_driver.h"
#include "termui/widgets/static.h"

namespace termui {
namespace {

constexpr int THREADS = 4;
constexpr int PER_THREAD = 10000;

struct Tick : Message {
  Tick(int t, int n) : thread(t), seq(n) {}
  int thread;
  int seq;
};

class CountingApp : public App {
 public:
  std::array<int, THREADS> next{};
  int out_of_order = 0;
  int handled = 0;
  std::thread::id ui_thread;
  bool wrong_thread = false;

  CountingApp() {
    on<Tick>([this](Tick& t) {
      wrong_thread = wrong_thread || std::this_thread::get_id() != ui_thread;
      if (t.seq != next[static_cast<std::size_t>(t.thread)]) ++out_of_order;
      next[static_cast<std::size_t>(t.thread)] = t.seq + 1;
      screen().query_one<Static>("#count").update(std::to_string(++handled));
      if (handled == THREADS * PER_THREAD) exit();
    });
  }
  void on_mount() override {
    ui_thread = std::this_thread::get_id();
    auto s = std::make_unique<Screen>();
    s->mount(std::make_unique<Static>("0", "count"));
    push_screen(std::move(s));
  }
};

TEST(AppThreads, four_threads_posting_ten_thousand_messages_each) {
  CountingApp app;
  HeadlessDriver driver({40, 5}, true);
  std::vector<std::thread> posters;
  for (int t = 0; t < THREADS; ++t) {
    posters.emplace_back([&app, t] {
      for (int i = 0; i < PER_THREAD; ++i) app.post_message(std::make_unique<Tick>(t, i));
    });
  }
  const int code = app.run(driver);
  for (auto& p : posters) p.join();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(app.handled, THREADS * PER_THREAD);
  EXPECT_EQ(app.out_of_order, 0);
  EXPECT_FALSE(app.wrong_thread);
  for (int n : app.next) EXPECT_EQ(n, PER_THREAD);
  // Repaints are coalesced: far fewer frames than messages.
  EXPECT_LT(app.frames_written(), static_cast<std::uint64_t>(THREADS * PER_THREAD / 10));
}

TEST(AppThreads, exit_from_another_thread_wakes_an_idle_loop) {
  class IdleApp : public App {
   public:
    std::promise<void> mounted;
    void on_mount() override {
      push_screen(std::make_unique<Screen>());
      mounted.set_value();
    }
  };
  IdleApp app;
  HeadlessDriver driver({40, 5}, true);
  std::thread stopper([&app] {
    app.mounted.get_future().wait();  // the loop has nothing to do from here on
    app.exit(3);
  });
  EXPECT_EQ(app.run(driver), 3);
  stopper.join();
}

// A screen whose bindings record the keys that reach them.
class KeyScreen : public Screen {
 public:
  static inline const std::vector<Binding> BINDINGS = {
      {"a", "a", "A", false}, {"b", "b", "B", false}, {"up", "up", "Up", false}};
  explicit KeyScreen(std::vector<std::string>& seen) {
    for (const char* name : {"a", "b", "up"}) {
      register_action(name, [&seen, name] { seen.emplace_back(name); });
    }
  }
  const std::vector<Binding>& bindings() const override { return BINDINGS; }
};

class KeyApp : public App {
 public:
  std::vector<std::string> seen;
  void on_mount() override { push_screen(std::make_unique<KeyScreen>(seen)); }
};

TEST(AppThreads, keys_through_the_input_pipe_reach_bindings) {
  KeyApp app;
  HeadlessDriver driver({20, 5}, true);
  std::thread typist([&driver] {
    const char bytes[] = "ab\x1b[A\x03";  // ...then ctrl+c, the App's quit binding
    [[maybe_unused]] auto n = ::write(driver.input_write_fd(), bytes, sizeof bytes - 1);
  });
  EXPECT_EQ(app.run(driver), 0);
  typist.join();
  EXPECT_EQ(app.seen, (std::vector<std::string>{"a", "b", "up"}));
}

TEST(AppThreads, handler_exception_ends_the_app_with_an_error_code) {
  class Boom : public App {
   public:
    Boom() {
      on<Tick>([](Tick&) { throw std::runtime_error("boom"); });
    }
    void on_mount() override { post_message(std::make_unique<Tick>(0, 0)); }
  };
  Boom app;
  HeadlessDriver driver({20, 5}, true);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(app.run(driver), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("boom"), std::string::npos);
  EXPECT_FALSE(driver.started());  // stopped: the terminal would be restored
}

}  // namespace
}  // namespace termui
