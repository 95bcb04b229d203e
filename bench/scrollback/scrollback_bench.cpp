// Timing driver for bench/scrollback/run, which sets it beside the reference Python renderer.
//
//   scrollback_bench rerender <entries> <terminal_width> <min_seconds>
//       prints two lines: seconds to draw the entries into a fresh transcript (each rendered
//       for the first time), and per re-render of the same history at the same width again
//   scrollback_bench assistant <markdown_file> <terminal_width> <min_seconds>
//       seconds per drawing of one answer by the assistant renderer
//   scrollback_bench stream <entries> <terminal_width> <tokens>
//       nanoseconds per streamed token with an empty transcript, then with the entries above
//   scrollback_bench resize <entries> <terminal_width> <runs>
//       prints two lines: seconds per resize of the drawn entries to 80 % of the width, until
//       the frame is drawn, and seconds for the Home key after it (the top laid out at the new
//       width), until its frame is drawn; medians of the runs, each at a width the transcript
//       has not drawn at before
//   scrollback_bench search <entries> <terminal_width> <runs>
//       prints four lines: seconds to open the search (each entry read for the first time),
//       for its first keystroke, then the median and the worst keystroke of the query typed letter
//       by letter and stepped through with Enter, each until its frame is drawn; the runs after the
//       first are made after a resize, with the entries not laid out at the new width

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "zell/tui/scrollback_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using zell::tui::widgets::EntryRecord;
namespace entries = zell::tui::widgets::entries;
using zell::tui::widgets::Scrollback;

// A transcript filling a headless terminal `width` columns wide and 40 rows high.
struct Transcript : zell::tui::widgets::testing::Transcript {
  explicit Transcript(int width) : zell::tui::widgets::testing::Transcript({width, 40}) {
    log().recording = false;
  }
};

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<EntryRecord> read_entries(const char* path) {
  const std::string data = read_file(path);
  std::vector<EntryRecord> out;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t nl = data.find('\n', pos);
    std::istringstream head(data.substr(pos, nl - pos));
    std::string kind;
    std::size_t length = 0;
    head >> kind >> length;
    std::string text = data.substr(nl + 1, length);
    if (kind == "user") {
      out.emplace_back(entries::User{std::move(text)});
    } else if (kind == "assistant") {
      out.emplace_back(entries::Assistant{std::move(text)});
    } else if (kind == "info") {
      out.emplace_back(entries::Info{std::move(text)});
    } else {
      out.emplace_back(entries::Error{std::move(text)});
    }
    pos = nl + 1 + length + 1;
  }
  return out;
}

void fill(Scrollback& log, const std::vector<EntryRecord>& entries) {
  for (const EntryRecord& e : entries) log.append(e);
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `setup` then times `run`, until `min_seconds` of runs have passed; seconds per run.
double time_per_run(const std::function<void()>& setup, const std::function<void()>& run,
                    double min_seconds) {
  setup();
  run();  // warm-up
  double total = 0;
  int runs = 0;
  while (runs < 1 || total < min_seconds) {
    setup();
    const auto start = Clock::now();
    run();
    total += seconds_since(start);
    ++runs;
  }
  return total / runs;
}

int rerender(const char* file, int width, double min_seconds) {
  const auto entries = read_entries(file);
  std::unique_ptr<Transcript> t;
  const auto fresh = [&] { t = std::make_unique<Transcript>(width); };
  std::printf("%.9f\n", time_per_run(
                            fresh, [&] { fill(t->app.log(), entries); }, min_seconds));
  fresh();
  fill(t->app.log(), entries);
  std::printf("%.9f\n", time_per_run([] {}, [&] { t->app.log()._rerender(); }, min_seconds));
  return 0;
}

int assistant(const char* file, int width, double min_seconds) {
  const std::string text = read_file(file);
  Transcript t(width);
  Scrollback& log = t.app.log();
  std::printf("%.9f\n",
              time_per_run([&] { log.clear(); }, [&] { log.append_assistant(text); }, min_seconds));
  return 0;
}

// Tokens of about four characters, a line break every dozen or so.
std::vector<std::string> make_tokens(int count) {
  static const char* words[] = {"the ", "parser", " reads", " each",  " line", " once",
                                ",",    " and",   " keeps", " state", ".\n",   " while"};
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out.emplace_back(words[(i * 7 + i / 3) % 12]);
  return out;
}

double ns_per_token(Scrollback& log, const std::vector<std::string>& tokens) {
  const auto start = Clock::now();
  for (const auto& token : tokens) log.stream_token(token);
  log.finish_stream();
  return seconds_since(start) * 1e9 / static_cast<double>(tokens.size());
}

// The median of five streams into `log`, each cut back off afterwards, so that both sides
// write into memory they already have and only the cost of a token is compared.
double median_ns_per_token(Scrollback& log, const std::vector<std::string>& tokens) {
  const std::size_t rows = log.lines().size();
  std::vector<double> runs;
  for (int i = 0; i < 6; ++i) {
    const double ns = ns_per_token(log, tokens);
    if (i > 0) runs.push_back(ns);  // the first one is a warm-up
    log.truncate(rows);
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

int stream(const char* file, int width, int count) {
  const auto entries = read_entries(file);
  const auto tokens = make_tokens(count);
  Transcript empty(width);
  const double bare = median_ns_per_token(empty.app.log(), tokens);
  Transcript full(width);
  fill(full.app.log(), entries);
  const std::size_t rows_before = full.app.log().lines().size();
  const termui::Strip first_row = full.app.log().lines().front();
  const double loaded = median_ns_per_token(full.app.log(), tokens);
  ns_per_token(full.app.log(), tokens);
  // Nothing above the stream was drawn again: the rows before it are the very same strips.
  const bool redrawn =
      full.app.log().lines().size() < rows_before || !(full.app.log().lines().front() == first_row);
  std::printf("%.1f\n%.1f\n%d\n", bare, loaded, redrawn ? 1 : 0);
  return 0;
}

int resize(const char* file, int width, int runs) {
  const auto entries = read_entries(file);
  std::vector<double> seconds;
  std::vector<double> home;
  for (int i = 0; i < runs; ++i) {
    Transcript t(width);
    fill(t.app.log(), entries);
    t.pilot.pause();
    auto start = Clock::now();
    t.pilot.resize({width * 4 / 5, 40});
    t.pilot.pause();
    seconds.push_back(seconds_since(start));
    start = Clock::now();
    t.app.log().on_key(termui::KeyEvent{"home", {}});
    t.pilot.pause();
    home.push_back(seconds_since(start));
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(home.begin(), home.end());
  std::printf("%.9f\n%.9f\n", seconds[seconds.size() / 2], home[home.size() / 2]);
  return 0;
}

int search(const char* file, int width, int runs) {
  const auto entries = read_entries(file);
  Transcript t(width);
  fill(t.app.log(), entries);
  t.pilot.pause();
  Scrollback& log = t.app.log();
  // A query that narrows letter by letter, ending in words of the entries.
  const std::string query = "keeps the state";
  double open = 0;
  double first = 0;
  std::vector<double> keys;
  const auto timed = [&](const std::function<void()>& key) {
    const auto start = Clock::now();
    key();
    t.pilot.pause();
    return seconds_since(start);
  };
  for (int run = 0; run < runs; ++run) {
    if (run > 0) {
      t.pilot.resize({run % 2 == 1 ? width * 4 / 5 : width, 40});
      log.scroll_end();
      t.pilot.pause();
    }
    // Ctrl+F: the search opens with the empty query.
    const double opened = timed([&] { log.search(""); });
    if (run == 0) open = opened;
    for (std::size_t n = 1; n <= query.size(); ++n) {
      const double s = timed([&] { log.search(query.substr(0, n)); });
      if (run == 0 && n == 1) {
        first = s;
      } else {
        keys.push_back(s);
      }
    }
    for (int step = 0; step < 20; ++step) keys.push_back(timed([&] { log.search_step(1); }));
    log.end_search();
  }
  std::sort(keys.begin(), keys.end());
  std::printf("%.9f\n%.9f\n%.9f\n%.9f\n", open, first, keys[keys.size() / 2], keys.back());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: scrollback_bench rerender|assistant|stream|resize|search <file> <width> "
                 "<n>\n");
    return 2;
  }
  const std::string mode = argv[1];
  const int width = std::atoi(argv[3]);
  if (mode == "rerender") return rerender(argv[2], width, std::atof(argv[4]));
  if (mode == "assistant") return assistant(argv[2], width, std::atof(argv[4]));
  if (mode == "stream") return stream(argv[2], width, std::atoi(argv[4]));
  if (mode == "resize") return resize(argv[2], width, std::atoi(argv[4]));
  if (mode == "search") return search(argv[2], width, std::atoi(argv[4]));
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
