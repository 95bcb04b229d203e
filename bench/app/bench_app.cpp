#include "bench/app/bench_app.h"

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "termui/frame_writer.h"

namespace bench_app {
namespace {

host::tui::TuiOptions chat_options(std::string_view script, double speed,
                                   BenchApp::AgentFactory agent) {
  host::tui::TuiOptions o;
  o.agent = std::move(agent);
  o.preflight = false;
  o.speed = speed;
  if (!script.empty()) o.script = host::parse_script(script, "bench");
  o.config_path = "/tmp/vellumine-bench/config.toml";
  return o;
}

class ReadyGateway final : public zell::ports::RuntimeGateway {
 public:
  zell::ports::Health healthcheck() override { return {true, "ready"}; }
};

class Call final : public termui::Message {
 public:
  explicit Call(std::function<void()> fn) : fn(std::move(fn)) {}
  std::function<void()> fn;
  std::promise<void> done;
};

double seconds_of(clockid_t clock) {
  timespec ts{};
  if (::clock_gettime(clock, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

BenchApp::BenchApp(std::string_view script, double speed, AgentFactory agent)
    : VellumineTUI(
          config, store, [](const auto&) { return std::make_unique<ReadyGateway>(); },
          chat_options(script, speed, std::move(agent))) {
  on<Call>([](Call& c) {
    try {
      c.fn();
      c.done.set_value();
    } catch (...) {
      c.done.set_exception(std::current_exception());
    }
  });
}

void BenchApp::call(std::function<void()> fn) {
  auto message = std::make_unique<Call>(std::move(fn));
  std::future<void> done = message->done.get_future();
  post_message(std::move(message));
  done.get();
}

// ---- frames ----

void FrameSink::attach(termui::HeadlessDriver& driver) {
  driver.keep_output = false;
  driver.on_write = [this](std::string_view bytes) {
    const auto now = Clock::now();
    std::lock_guard lock(m_);
    if (bytes.find(termui::FrameWriter::SYNC_END) == std::string_view::npos) return;
    ++s_.frames;
    s_.bytes += bytes.size();
    s_.last_time = now;
    s_.last_bytes = bytes.size();
    if (on_frame) on_frame(bytes, now);
    cv_.notify_all();
  };
}

void FrameSink::wait_frames(std::uint64_t count) {
  std::unique_lock lock(m_);
  cv_.wait(lock, [&] { return s_.frames >= count; });
}

FrameSink::State FrameSink::state() {
  std::lock_guard lock(m_);
  return s_;
}

UiThread::UiThread(termui::App& app, FrameSink& sink, termui::Size size)
    : app_(app), driver_(size, true) {
  sink.attach(driver_);
  thread_ = std::thread([this] { app_.run(driver_); });
}

UiThread::~UiThread() {
  app_.exit();
  thread_.join();
}

void UiThread::send(std::string_view bytes) {
  if (::write(driver_.input_write_fd(), bytes.data(), bytes.size()) !=
      static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("cannot write to the input pipe");
  }
}

double UiThread::cpu_seconds() const {
  clockid_t clock{};
  if (pthread_getcpuclockid(const_cast<std::thread&>(thread_).native_handle(), &clock) != 0) {
    return 0;
  }
  return seconds_of(clock);
}

// ---- transcript entries ----

std::vector<Entry> read_entries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  const std::string data = s.str();
  std::vector<Entry> out;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t nl = data.find('\n', pos);
    if (nl == std::string::npos) break;
    std::istringstream head(data.substr(pos, nl - pos));
    Entry e;
    std::size_t length = 0;
    head >> e.kind >> length;
    e.text = data.substr(nl + 1, length);
    out.push_back(std::move(e));
    pos = nl + 1 + length + 1;
  }
  return out;
}

std::vector<Entry> conversation(std::size_t n) {
  static constexpr std::array<std::string_view, 5> PROMPTS = {
      "How do I list the files here?",
      "Please run the test suite again.",
      "What does this error mean?",
      "Can you make the parser handle tabs too?",
      "Summarise what we changed today in three lines.",
  };
  static constexpr std::array<std::string_view, 5> ANSWERS = {
      "The directory holds the sources under src, the tests under tests and a small build "
      "script at the top. Nothing else is tracked; the build folder is ignored.",
      "I ran the whole suite: all but two cases pass. Both failures are in the date parser and "
      "come from the same assumption about time zones, so one fix should cover them.",
      "The message says the file was opened twice for writing. The second open happens in the "
      "retry path, which does not close the first handle.",
      "Tabs are now expanded to the next multiple of eight columns before the tokens are "
      "measured, so the column numbers in the error messages match what an editor shows.",
      "We fixed the date parser for time zones, expanded tabs before measuring columns and "
      "closed a leaked file handle in the retry path.",
  };
  std::vector<Entry> out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t k = i / 2 % PROMPTS.size();
    if (i % 2 == 0) {
      out.push_back({"user", std::string(PROMPTS[k])});
    } else {
      out.push_back({"assistant", std::string(ANSWERS[k])});
    }
  }
  return out;
}

void append_entries(host::tui::ChatLog& log, const std::vector<Entry>& entries, std::size_t n) {
  n = std::min(n, entries.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Entry& e = entries[i];
    if (e.kind == "user") {
      log.append_user(e.text);
    } else if (e.kind == "assistant") {
      log.append_assistant(e.text);
    } else if (e.kind == "info") {
      log.append_info(e.text);
    } else if (e.kind == "error") {
      log.append_error(e.text);
    } else {
      throw std::runtime_error("unknown entry kind: " + e.kind);
    }
  }
}

// ---- clocks and statistics ----

double process_cpu_seconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  const auto secs = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return secs(u.ru_utime) + secs(u.ru_stime);
}

double thread_cpu_seconds() {
  return seconds_of(CLOCK_THREAD_CPUTIME_ID);
}

double percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = p / 100.0 * static_cast<double>(values.size() - 1);
  const auto lo = static_cast<std::size_t>(std::floor(rank));
  const auto hi = static_cast<std::size_t>(std::ceil(rank));
  return values[lo] + (values[hi] - values[lo]) * (rank - static_cast<double>(lo));
}

}  // namespace bench_app
