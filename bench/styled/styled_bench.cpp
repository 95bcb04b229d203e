// Times one styled-text operation on a file, the way bench/styled/run times the reference:
//   styled_bench markdown  <file> <width> <min_seconds>   Markdown → truecolor ANSI at width
//   styled_bench from_ansi <file> <min_seconds>           ANSI text → Text
// Prints the mean seconds per run over as many runs as fit in min_seconds (at least 3).
// STYLED_BENCH_RUNS=n makes exactly n timed runs instead (for instruction counts under
// callgrind: the difference between two counts gives the cost of one render). Every run is
// cold: the document is parsed and rendered afresh; only the loaded definitions are shared.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "styled/console.h"
#include "styled/markdown/markdown.h"
#include "styled/text.h"

namespace {

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

template <typename F>
double time_per_run(F&& f, double min_seconds) {
  using clock = std::chrono::steady_clock;
  std::size_t sink = f();  // warm-up: definitions loaded, caches filled
  int runs = 0;
  const char* fixed = std::getenv("STYLED_BENCH_RUNS");
  const int exact = fixed != nullptr ? std::atoi(fixed) : -1;
  const auto start = clock::now();
  double elapsed = 0;
  while (exact >= 0 ? runs < exact : (runs < 3 || elapsed < min_seconds)) {
    sink += f();
    ++runs;
    elapsed = std::chrono::duration<double>(clock::now() - start).count();
  }
  if (sink == 42) std::puts("");  // keeps the work observable
  return runs > 0 ? elapsed / runs : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: styled_bench markdown|from_ansi <file> [width] <min_seconds>\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string input = read_file(argv[2]);
  double seconds = 0;
  if (mode == "markdown" && argc >= 5) {
    const int width = std::atoi(argv[3]);
    seconds = time_per_run(
        [&] {
          std::string out;
          styled::Console console({.width = width,
                                   .force_terminal = true,
                                   .color_system = styled::ColorSystem::truecolor,
                                   .file = &out});
          console.print(styled::Markdown(input, "monokai"));
          return out.size();
        },
        std::atof(argv[4]));
  } else if (mode == "from_ansi") {
    seconds = time_per_run([&] { return styled::Text::from_ansi(input).spans().size(); },
                           std::atof(argv[3]));
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  std::printf("%.9f\n", seconds);
  return 0;
}
