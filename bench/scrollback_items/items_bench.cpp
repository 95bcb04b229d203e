// Times the transcript's working items on a headless screen of 100×40:
//   scrollback_items_bench tool_result <megabytes> <min_seconds>   a many-line tool result
//   scrollback_items_bench diff <megabytes> <min_seconds>          a diff result
//   scrollback_items_bench toggle <entries> <min_seconds>          a thinking header clicked in
//                                                                   a history of that many items
// Prints the mean seconds per operation over as many runs as fit in min_seconds (at least 3).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "zell/tui/scrollback_fixture.h"

namespace {

using zell::tui::widgets::Scrollback;

template <typename F>
double time_per_run(F&& f, double min_seconds) {
  using clock = std::chrono::steady_clock;
  f();  // warm-up
  int runs = 0;
  const auto start = clock::now();
  double elapsed = 0;
  while (runs < 3 || elapsed < min_seconds) {
    f();
    ++runs;
    elapsed = std::chrono::duration<double>(clock::now() - start).count();
  }
  return elapsed / runs;
}

std::string tool_result(std::size_t bytes) {
  std::string s;
  s.reserve(bytes + 64);
  for (int i = 0; s.size() < bytes; ++i) {
    s += "src/module_";
    s += std::to_string(i);
    s += ".cpp:42: warning: unused variable 'value' [-Wunused-variable]\n";
  }
  return s;
}

std::string diff(std::size_t bytes) {
  std::string s = "--- a/src/app.cpp\n+++ b/src/app.cpp\n@@ -10,7 +10,7 @@\n";
  s.reserve(bytes + 64);
  while (s.size() < bytes) {
    s += " int unchanged = compute(a, b);\n-  return old_value;\n+  return new_value;\n";
  }
  return s;
}

// The same history as reference.py builds: five kinds in turn.
void fill_history(Scrollback& log, int entries) {
  for (int i = 0; i < entries; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 5) {
      case 0:
        log.append_user("please look at file_" + n + ".txt and fix the failing test number " + n);
        break;
      case 1:
        log.append_thinking("I should read file_" + n +
                            ".txt first.\nThen run the tests.\nThen fix.");
        break;
      case 2:
        log.append_tool("read_file", "file_" + n + ".txt");
        break;
      case 3:
        log.append_tool_result("line one of " + n + "\nline two\nline three");
        break;
      default:
        log.append_info("Checked file " + n + ": 3 problems found, 2 fixed automatically");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: scrollback_items_bench tool_result|diff|toggle <size> <min_seconds>\n");
    return 2;
  }
  const std::string mode = argv[1];
  const double size = std::atof(argv[2]);
  const double min_seconds = std::atof(argv[3]);
  zell::tui::widgets::testing::Transcript transcript({100, 40});
  Scrollback& log = transcript.log();
  double seconds = 0;
  if (mode == "tool_result" || mode == "diff") {
    const auto bytes = static_cast<std::size_t>(size * (1 << 20));
    const std::string text = mode == "diff" ? diff(bytes) : tool_result(bytes);
    seconds = time_per_run(
        [&] {
          log.clear();
          log.append_tool_result(text, false);
        },
        min_seconds);
  } else if (mode == "toggle") {
    const int entries = static_cast<int>(size);
    fill_history(log, entries);
    // A thinking entry in the middle: index ≡ 1 (mod 5).
    const int target = (entries / 2) / 5 * 5 + 1;
    seconds = time_per_run(
        [&] {
          for (const auto& [row, idx] : log.thinking_headers()) {
            if (idx == target) {
              log._handle_thinking_click(row);
              break;
            }
          }
        },
        min_seconds);
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  std::printf("%.9f\n", seconds);
  return 0;
}
