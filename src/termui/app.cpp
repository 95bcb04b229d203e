#include "termui/app.h"

#include <fmt/format.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "styled/console.h"
#include "termui/compositor.h"
#include "termui/layout.h"
#include "termui/terminal.h"

namespace termui {
namespace {

constexpr auto FRAME_INTERVAL = std::chrono::microseconds(1'000'000 / App::FRAME_RATE);

// Binding keys may list several keys separated by commas ("q,ctrl+c").
bool key_matches(std::string_view keys, std::string_view key) {
  while (true) {
    const std::size_t comma = keys.find(',');
    if (keys.substr(0, comma) == key) return true;
    if (comma == std::string_view::npos) return false;
    keys.remove_prefix(comma + 1);
  }
}

// Widgets measure text again as if resized: the terminal said how wide it draws clusters.
void remeasure(Widget& w) {
  w.on_resize();
  for (const auto& child : w.children()) remeasure(*child);
}

Widget* first_focusable(Widget& w) {
  if (w.can_focus()) return &w;
  for (const auto& child : w.children()) {
    if (Widget* f = first_focusable(*child)) return f;
  }
  return nullptr;
}

}  // namespace

App::App() {
  register_action("quit", [this] { exit(); });
}

App::~App() {
  stop();
  // Widgets tell the App when they go; let them do it while the App is whole.
  stack_.clear();
  graveyard_.clear();
  owned_.clear();
  installed_.clear();
}

int App::run() {
  Terminal terminal;
  return run(terminal);
}

int App::run(Driver& driver) {
  try {
    start(driver);
    loop();
  } catch (const std::exception& e) {
    stop();
    std::fprintf(stderr, "Error: %s\n", e.what());
    return 1;
  }
  stop();
  return exit_code_.load();
}

void App::start(Driver& driver) {
  driver_ = &driver;
  driver.start();
  size_ = driver.size();
  front_.resize(size_);
  canvas_.resize(size_);
  first_frame_ = true;
  on_mount();
  if (stack_.empty()) push_screen(std::make_unique<Screen>());
  render_frame();
}

void App::stop() {
  if (driver_) driver_->stop();
  driver_ = nullptr;
}

void App::run_outside(const std::function<void()>& outside) {
  if (!driver_) {
    outside();
    return;
  }
  driver_->release();
  try {
    outside();
  } catch (...) {
    driver_->reclaim();
    handle_resize(driver_->size());
    throw;
  }
  driver_->reclaim();
  parser_ = InputParser();
  handle_resize(driver_->size());
}

void App::exit(int code) {
  exit_code_.store(code);
  exit_requested_.store(true);
  queue_.wake();
}

// ---- screens ----

void App::install_screen(std::string name, std::function<std::unique_ptr<Screen>()> factory) {
  factories_[std::move(name)] = std::move(factory);
}

void App::push_screen(std::string_view name) {
  auto it = installed_.find(name);
  if (it == installed_.end()) {
    const auto f = factories_.find(name);
    if (f == factories_.end())
      throw std::invalid_argument("no screen named '" + std::string(name) + "'");
    it = installed_.emplace(std::string(name), f->second()).first;
  }
  stack_.push_back(it->second.get());
  show(*it->second);
}

void App::push_screen(std::unique_ptr<Screen> screen) {
  Screen& ref = *screen;
  owned_.push_back(std::move(screen));
  stack_.push_back(&ref);
  show(ref);
}

void App::switch_screen(std::string_view name) {
  if (!stack_.empty()) {
    const auto it = installed_.find(name);
    if (it != installed_.end() && it->second.get() == stack_.back()) return;
    pop_screen();
  }
  push_screen(name);
}

void App::pop_screen() {
  if (stack_.empty()) return;
  Screen* top = stack_.back();
  stack_.pop_back();
  captured_ = nullptr;
  // The screen may be running the very handler that popped it: destroy it after the event.
  const auto it =
      std::find_if(owned_.begin(), owned_.end(), [top](const auto& s) { return s.get() == top; });
  if (it != owned_.end()) {
    graveyard_.push_back(std::move(*it));
    owned_.erase(it);
  }
  first_frame_ = true;  // a different screen: repaint everything
  request_layout();
}

Screen& App::screen() {
  if (stack_.empty()) throw std::logic_error("the App has no screen");
  return *stack_.back();
}

void App::show(Screen& screen) {
  if (!screen.composed_) {
    screen.composed_ = true;
    screen.attach(this);
    screen.set_styles(Styles{});
    mount_widget(screen, &screen);
    // Children added before the screen was shown, then those it composes.
    for (std::size_t i = 0; i < screen.children().size(); ++i) {
      mount_widget(*screen.children()[i], &screen);
    }
    for (auto& child : screen.compose()) screen.mount(std::move(child));
    screen.on_mount();
  }
  if (!screen.focused()) screen.set_focus(first_focusable(screen));
  first_frame_ = true;
  request_layout();
}

void App::collect_garbage() {
  graveyard_.clear();
}

// ---- widgets ----

void App::mount_widget(Widget& w, Screen* screen) {
  w.attach(this);
  Styles cascaded;
  std::vector<std::string_view> sources;
  const auto own = w.css_sources();
  sources.insert(sources.end(), own.rbegin(), own.rend());
  if (screen && screen != &w) {
    const auto theirs = screen->css_sources();
    sources.insert(sources.end(), theirs.rbegin(), theirs.rend());
  }
  const auto& names = w.css_type_names();
  for (int pass = 0; pass < 2; ++pass) {  // type selectors, then the more specific ids
    for (std::string_view src : sources) {
      auto it = css_cache_.find(src);
      if (it == css_cache_.end()) it = css_cache_.emplace(std::string(src), parse_css(src)).first;
      for (const CssRule& rule : it->second) {
        const bool match =
            pass == 0 ? !rule.type_name.empty() &&
                            std::find(names.begin(), names.end(), rule.type_name) != names.end()
                      : !rule.id.empty() && rule.id == w.id();
        if (match) cascaded.merge(rule.styles);
      }
    }
  }
  w.set_styles(cascaded);
  if (&w == screen) return;  // the screen composes and mounts its own children
  for (std::size_t i = 0; i < w.children().size(); ++i) mount_widget(*w.children()[i], screen);
  w.on_mount();
}

void App::forget_widget(Widget& w) {
  if (captured_ == &w) captured_ = nullptr;
  for (Screen* s : stack_) {
    if (s->focused() == &w) s->set_focus(nullptr);
  }
}

// ---- messages, timers, actions ----

bool App::post_message(std::unique_ptr<Message> message) {
  if (!message) return false;
  queue_.post(std::move(message));
  return true;
}

void App::process_messages() {
  auto messages = queue_.take();
  for (auto& m : messages) {
    Message& message = *m;
    const auto it = handlers_.find(std::type_index(typeid(message)));
    if (it != handlers_.end()) {
      it->second(message);
    } else {
      on_message(message);
    }
  }
}

Timer App::set_interval(double seconds, std::function<void()> callback) {
  const auto d = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::max(seconds, 0.001)));
  return timers_.add(now_() + d, d, std::move(callback));
}

Timer App::call_later(double seconds, std::function<void()> callback) {
  const auto d = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::max(seconds, 0.0)));
  return timers_.add(now_() + d, Clock::duration::zero(), std::move(callback));
}

styled::Console& App::console() {
  if (!console_) console_ = std::make_unique<styled::Console>();
  console_->set_width(size_.width > 0 ? size_.width : 80);
  return *console_;
}

void App::run_timers() {
  timers_.run_due(now_());
}

const std::vector<Binding>& App::bindings() const {
  static const std::vector<Binding> BINDINGS = {{"ctrl+c,ctrl+q", "quit", "Quit", false}};
  return BINDINGS;
}

void App::register_action(std::string name, std::function<void()> action) {
  actions_[std::move(name)] = std::move(action);
}

bool App::run_action(std::string_view name) {
  if (!stack_.empty() && screen().run_action(name)) return true;
  const auto it = actions_.find(name);
  if (it == actions_.end()) return false;
  it->second();
  return true;
}

bool App::run_binding(const std::vector<Binding>& bindings, const std::string& key, bool priority) {
  for (const Binding& b : bindings) {
    if (b.priority != priority || !key_matches(b.key, key)) continue;
    if (screen().check_action(b.action) && run_action(b.action)) return true;
  }
  return false;
}

// ---- input ----

void App::dispatch(InputEvent event) {
  urgent_ = true;
  if (stack_.empty() || exit_requested_.load()) return;  // nothing runs after exit()
  if (auto* k = std::get_if<KeyEvent>(&event)) {
    dispatch_key(*k);
  } else if (auto* m = std::get_if<MouseEvent>(&event)) {
    dispatch_mouse(*m);
  } else {
    Screen& s = screen();
    if (!s.focused()) s.set_focus(first_focusable(s));
    if (Widget* f = s.focused()) f->on_paste(std::get<PasteEvent>(event));
  }
}

void App::dispatch_key(const KeyEvent& key) {
  if (key.key == "ctrl+z" && driver_) {
    driver_->suspend_by_key();
    return;
  }
  Screen& s = screen();
  if (!s.focused()) s.set_focus(first_focusable(s));
  if (run_binding(s.bindings(), key.key, true) || run_binding(bindings(), key.key, true)) return;
  for (Widget* w = s.focused(); w && w != &s; w = w->parent()) {
    if (w->on_key(key)) return;
  }
  if (s.on_key(key)) return;
  if (run_binding(s.bindings(), key.key, false)) return;
  run_binding(bindings(), key.key, false);
}

Widget* App::widget_at(Widget& root, int x, int y) {
  if (!root.region().contains(x, y)) return nullptr;
  const auto& kids = root.children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    if (Widget* hit = widget_at(**it, x, y)) return hit;
  }
  return &root;
}

void App::dispatch_mouse(MouseEvent m) {
  const bool wheel = m.action == MouseAction::scroll_up || m.action == MouseAction::scroll_down ||
                     m.action == MouseAction::scroll_left || m.action == MouseAction::scroll_right;
  Widget* target = captured_ && !wheel ? captured_ : widget_at(screen(), m.screen_x, m.screen_y);
  if (!target) return;
  m.x = m.screen_x - target->content_region().x;
  m.y = m.screen_y - target->content_region().y;
  switch (m.action) {
    case MouseAction::down:
      if (target->can_focus()) screen().set_focus(target);
      target->on_mouse_down(m);
      target->refresh();  // a press or release may change what it shows; rows are compared
      break;
    case MouseAction::up:
      target->on_mouse_up(m);
      target->refresh();
      break;
    case MouseAction::move:
      target->on_mouse_move(m);
      break;
    default:
      for (Widget* w = target; w; w = w->parent()) {
        m.x = m.screen_x - w->content_region().x;
        m.y = m.screen_y - w->content_region().y;
        if (w->on_mouse_scroll(m)) break;
      }
  }
}

void App::handle_resize(Size new_size) {
  size_ = {std::max(0, new_size.width), std::max(0, new_size.height)};
  front_.resize(size_);
  canvas_.resize(size_);
  first_frame_ = true;
  request_layout();
  on_resize();
}

// ---- frames ----

void App::layout() {
  layout_ = false;
  if (stack_.empty()) return;
  layout_widget(screen(), {0, 0, size_.width, size_.height});
}

bool App::render_frame() {
  if (!repaint_ && !first_frame_) return false;
  if (layout_) layout();
  last_frame_ = Clock::now();
  repaint_ = false;
  urgent_ = false;
  const bool full = first_frame_;
  first_frame_ = false;
  if (full) canvas_.resize(size_);
  dirty_rows_.assign(static_cast<std::size_t>(size_.height), full ? 1 : 0);
  if (!stack_.empty()) {
    compose_widget(screen(), canvas_, {0, 0, size_.width, size_.height}, full, dirty_rows_);
  }
  const int scroll = full ? 0 : detect_scroll();
  if (scroll > 0) {
    front_.scroll_up(scroll);
    std::fill(dirty_rows_.begin(), dirty_rows_.end(), 1);
  }
  const std::string_view bytes = writer_.frame(front_, canvas_, full, &dirty_rows_, scroll);
  for (int y = 0; y < size_.height; ++y) {
    if (dirty_rows_[static_cast<std::size_t>(y)]) front_.copy_row(canvas_, y);
  }
  if (bytes.empty() || !driver_) return false;
  driver_->write(bytes);
  ++frames_;
  return true;
}

int App::detect_scroll() const {
  const int h = size_.height;
  const auto dirty = std::count(dirty_rows_.begin(), dirty_rows_.end(), 1);
  if (h < 4 || dirty < h / 2) return 0;
  int unmoved = 0;
  for (int y = 0; y < h; ++y) unmoved += canvas_.row_equals(y, front_, y) ? 1 : 0;
  int best = 0, best_rows = 0;
  for (int k = 1; k <= std::min(8, h / 2); ++k) {
    int same = 0;
    for (int y = 0; y + k < h; ++y) same += canvas_.row_equals(y, front_, y + k) ? 1 : 0;
    if (same > best_rows) {
      best_rows = same;
      best = k;
    }
  }
  return best > 0 && best_rows > unmoved + 2 && best_rows >= (h - best) / 2 ? best : 0;
}

void App::receive(std::string_view bytes, Clock::time_point now) {
  for (auto& e : parser_.feed(bytes, now)) dispatch(std::move(e));
  handle_reports();
}

void App::handle_reports() {
  if (const auto flags = parser_.take_keyboard_protocol(); flags && driver_) {
    driver_->on_keyboard_protocol(*flags);
  }
  for (const auto& r : parser_.take_mode_reports()) {
    if (driver_ && driver_->on_mode_report(r.mode, r.value)) {  // widths changed
      handle_resize(size_);
      for (Screen* s : stack_) remeasure(*s);
    }
  }
  using Kind = InputParser::TerminalReport::Kind;
  for (const auto& r : parser_.take_terminal_reports()) {
    if (r.kind == Kind::background) {
      on_background_color(r.color);
      continue;
    }
    const bool focused = r.kind == Kind::focus_in;
    if (focused == focused_) continue;
    focused_ = focused;
    on_focus_change(focused);
  }
}

void App::set_color_scheme(styled::ColorScheme scheme) {
  if (scheme == writer_.color_scheme()) return;
  writer_.set_color_scheme(scheme);
  first_frame_ = true;  // everything on screen was written in the other colours
  repaint_ = true;
}

void App::set_hyperlinks(bool on) {
  if (on == writer_.hyperlinks()) return;
  writer_.set_hyperlinks(on);
  first_frame_ = true;
  repaint_ = true;
}

void App::notify(NotifyMethod method, std::string_view title, std::string_view body) {
  const std::string bytes = notification_sequence(method, title, body);
  if (driver_ && !bytes.empty()) driver_->write(bytes);
}

void App::loop() {
  std::string buf(65536, '\0');
  while (!exit_requested_.load()) {
    auto now = now_();
    std::optional<Clock::time_point> deadline = parser_.deadline();
    const auto take = [&deadline](std::optional<Clock::time_point> t) {
      if (t && (!deadline || *t < *deadline)) deadline = t;
    };
    take(timers_.next_due());
    if (repaint_ || first_frame_) take(last_frame_ + FRAME_INTERVAL);
    int timeout = -1;
    if (deadline) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
      timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
    }
    pollfd fds[3] = {{driver_->input_fd(), POLLIN, 0},
                     {driver_->resize_fd(), POLLIN, 0},
                     {queue_.wake_fd(), POLLIN, 0}};
    const int n = ::poll(fds, 3, timeout);
    if (n < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "poll");
    now = now_();
    if (n > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t got = ::read(fds[0].fd, buf.data(), buf.size());
      if (got > 0) {
        receive(std::string_view(buf.data(), static_cast<std::size_t>(got)), now);
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        exit(exit_code_.load());  // the terminal went away
      }
    }
    for (auto& e : parser_.flush(now)) dispatch(std::move(e));
    handle_reports();
    if (n > 0 && (fds[1].revents & POLLIN)) {
      driver_->drain_resize();
      const Size s = driver_->size();
      if (driver_->take_redraw() || s != size_) handle_resize(s);
    }
    if (n > 0 && (fds[2].revents & POLLIN)) process_messages();
    run_timers();
    collect_garbage();
    if ((repaint_ || first_frame_) &&
        (urgent_ || first_frame_ || Clock::now() - last_frame_ >= FRAME_INTERVAL)) {
      render_frame();
    }
  }
}

}  // namespace termui
