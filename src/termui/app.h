#pragma once
// The App owns the terminal driver, the screen stack, the message queue and the event loop on
// the UI thread. The loop blocks in poll() on the terminal, the resize pipe and the wake-up pipe
// (never ticking while idle), handles input at once, drains every queued message per wake-up
// and paints at most one frame per burst: a frame caused by a key or mouse event is written
// immediately; frames caused by messages and timers are capped at FRAME_RATE a second.

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "styled/light_palette.h"
#include "termui/binding.h"
#include "termui/cell_buffer.h"
#include "termui/css.h"
#include "termui/driver.h"
#include "termui/frame_writer.h"
#include "termui/input_parser.h"
#include "termui/message.h"
#include "termui/message_queue.h"
#include "termui/notification.h"
#include "termui/screen.h"
#include "termui/timers.h"

namespace styled {
class Console;
}

namespace termui {

class App {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int FRAME_RATE = 60;

  App();
  virtual ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs on the real terminal until exit(); returns the exit code. An exception escaping a
  // handler ends the App: the terminal is restored, the error printed to stderr, 1 returned.
  int run();
  // Runs on the given driver (tests and benchmarks feed it through pipes).
  int run(Driver& driver);

  // Screens. An installed screen is built by its factory the first time it is shown and kept.
  void install_screen(std::string name, std::function<std::unique_ptr<Screen>()> factory);
  void push_screen(std::string_view name);
  void push_screen(std::unique_ptr<Screen> screen);
  // Replaces the top screen. Virtual, like exit, size and post_message, so that an App which
  // also implements an interface declaring the same members has one overrider for both.
  virtual void switch_screen(std::string_view name);
  void pop_screen();
  [[nodiscard]] Screen& screen();
  [[nodiscard]] bool has_screen() const { return !stack_.empty(); }

  // Ends the loop after the current event. Safe from any thread.
  virtual void exit(int code = 0);
  [[nodiscard]] bool exiting() const { return exit_requested_.load(); }

  // Terminal size in cells.
  [[nodiscard]] virtual Size size() const { return size_; }

  // Safe from any thread: queues the message and wakes the loop; the message is handled on
  // the UI thread by the handler registered for its type, else by on_message.
  virtual bool post_message(std::unique_ptr<Message> message);
  template <typename M>
  void on(std::function<void(M&)> handler) {
    handlers_[std::type_index(typeid(M))] = [h = std::move(handler)](Message& m) {
      h(static_cast<M&>(m));
    };
  }

  // Timers on the UI thread.
  Timer set_interval(double seconds, std::function<void()> callback);
  Timer call_later(double seconds, std::function<void()> callback);
  // The clock timers are set from and run at (and key timeouts measured with): steady time
  // unless a test that drives the App with a Pilot hands in its own before scheduling.
  void set_clock(std::function<Clock::time_point()> now) { now_ = std::move(now); }
  [[nodiscard]] Clock::time_point now() const { return now_(); }

  // Runs `outside` with the terminal handed back as the shell had it (an editor runs there),
  // then takes it over again and draws everything anew. Input typed meanwhile belongs to the
  // other program: bytes held by the parser are dropped. UI thread only.
  void run_outside(const std::function<void()>& outside);

  // App-wide console for rendering text into lines.
  [[nodiscard]] styled::Console& console();

  // The App's own BINDINGS, consulted after the screen's; "quit" is built in.
  [[nodiscard]] virtual const std::vector<Binding>& bindings() const;
  // Runs an action: the screen's, then the App's (`register_action`); false when unknown.
  bool run_action(std::string_view name);

  // ---- what the terminal tells about itself (UI thread) ----
  // Whether the terminal has the focus: true until it reports otherwise (a terminal without
  // focus reporting never does).
  [[nodiscard]] bool terminal_focused() const { return focused_; }
  // How colours are shown (see styled/light_palette.h); a change redraws the whole screen.
  void set_color_scheme(styled::ColorScheme scheme);
  [[nodiscard]] styled::ColorScheme color_scheme() const { return writer_.color_scheme(); }
  // Whether links in cells are written as OSC 8 hyperlinks (on by default); a change redraws.
  void set_hyperlinks(bool on);
  // Raises a desktop notification through the terminal (nothing without one, or with `off`).
  void notify(NotifyMethod method, std::string_view title, std::string_view body);

  // ---- used by widgets and the headless Pilot (UI thread) ----
  void request_repaint() { repaint_ = true; }
  void request_layout() { layout_ = repaint_ = true; }
  void capture_mouse(Widget* w) { captured_ = w; }
  void release_mouse(Widget* w) {
    if (captured_ == w) captured_ = nullptr;
  }
  [[nodiscard]] Widget* mouse_captor() const { return captured_; }
  // Mounting: attaches styles from the CSS of the widget's classes and its screen.
  void mount_widget(Widget& w, Screen* screen);
  void forget_widget(Widget& w);

  // Steps of the loop, exposed so that a Pilot can drive the App without poll().
  void start(Driver& driver);
  void stop();
  void dispatch(InputEvent event);
  // Bytes read from the terminal at `now`: keys and mouse dispatched, answers to the App's
  // queries (modes, focus, background colour) handled.
  void receive(std::string_view bytes, Clock::time_point now);
  void process_messages();
  [[nodiscard]] bool has_pending_messages() { return !queue_.empty(); }
  // Destroys screens that were removed while one of their handlers ran.
  void collect_garbage();
  // Runs the timers due at the App's clock.
  void run_timers();
  void handle_resize(Size new_size);
  // Writes a frame when something changed; returns whether one was written.
  bool render_frame();
  [[nodiscard]] const CellBuffer& screen_cells() const { return front_; }
  // Safe from any thread.
  [[nodiscard]] std::uint64_t frames_written() const { return frames_.load(); }

 protected:
  // Called once the driver has started and the size is known; push the first screen here.
  virtual void on_mount() {}
  virtual void on_resize() {}
  // The terminal gained or lost the focus (mode 1004).
  virtual void on_focus_change(bool /*focused*/) {}
  // The terminal answered the background colour query.
  virtual void on_background_color(styled::Color /*background*/) {}
  // Messages that have no handler registered with `on`.
  virtual void on_message(Message&) {}
  void register_action(std::string name, std::function<void()> action);

 private:
  void loop();
  // Handles the answers the parser has collected (mode, focus and colour reports).
  void handle_reports();
  void show(Screen& screen);
  void layout();
  // Rows the screen moved up by since the last frame, when scrolling the terminal is cheaper
  // than rewriting them; 0 otherwise.
  int detect_scroll() const;
  void dispatch_key(const KeyEvent& key);
  void dispatch_mouse(MouseEvent mouse);
  Widget* widget_at(Widget& root, int x, int y);
  // Runs the first of `bindings` (priority ones, or the others) for `key` whose action the
  // screen allows now.
  bool run_binding(const std::vector<Binding>& bindings, const std::string& key, bool priority);

  Driver* driver_ = nullptr;
  Size size_{80, 24};
  std::map<std::string, std::function<std::unique_ptr<Screen>()>, std::less<>> factories_;
  std::map<std::string, std::unique_ptr<Screen>, std::less<>> installed_;
  std::vector<Screen*> stack_;
  std::vector<std::unique_ptr<Screen>> owned_;      // pushed screens that are not installed
  std::vector<std::unique_ptr<Screen>> graveyard_;  // screens removed during a handler
  std::map<std::string, std::function<void()>, std::less<>> actions_;
  std::unordered_map<std::type_index, std::function<void(Message&)>> handlers_;
  std::map<std::string, std::vector<CssRule>, std::less<>> css_cache_;

  MessageQueue queue_;
  InputParser parser_;
  Timers timers_;
  std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
  std::unique_ptr<styled::Console> console_;

  CellBuffer front_;   // what the terminal shows
  CellBuffer canvas_;  // the intended screen, kept between frames
  std::vector<char> dirty_rows_;
  FrameWriter writer_;
  bool first_frame_ = true;
  bool repaint_ = true;
  bool layout_ = true;
  bool urgent_ = false;
  Clock::time_point last_frame_{};
  std::atomic<std::uint64_t> frames_{0};

  Widget* captured_ = nullptr;
  bool focused_ = true;
  std::atomic<bool> exit_requested_{false};
  std::atomic<int> exit_code_{0};
};

}  // namespace termui
