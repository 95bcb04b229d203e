// Cost of one tool call as the agent loop sees it (log_tool + tool_result) while the working
// indicator runs with its real half-second period, drawing to a pty on standard output. The
// tool itself "runs" between the two calls (a short untimed pause), so the indicator is
// asleep or drawing when tool_result stops it, as in real use.
//
// The ratio is the goal budget (1% of the frame period, 5 ms) divided by our mean cost: at
// least 1 meets the goal. A stop that waited out a plain sleep would cost up to the whole
// period per stop, twice per tool call.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "pty_sink.h"
#include "zell/output/output_manager.h"

int main() {
  using Clock = std::chrono::steady_clock;
  constexpr int CALLS = 300;
  constexpr double BUDGET_US = 0.01 * 500'000;
  std::vector<double> costs_us;
  bench::PtySink pty(100);
  pty.take_stdout();
  {
    zell::output::OutputManager m;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> tool_time_us(0, 3000);
    m.start_thinking();
    for (int i = 0; i < CALLS; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(tool_time_us(rng)));
      const auto t0 = Clock::now();
      const int idx = m.log_tool("bash", "make -j2 test");
      const auto t1 = Clock::now();
      std::this_thread::sleep_for(std::chrono::microseconds(tool_time_us(rng)));
      const auto t2 = Clock::now();
      m.tool_result("cc -c a.c\ncc -c b.c\nld -o app a.o b.o\n3 tests passed", false, idx);
      const auto t3 = Clock::now();
      costs_us.push_back(std::chrono::duration<double, std::micro>((t1 - t0) + (t3 - t2)).count());
    }
    m.done();
  }
  pty.restore_stdout();
  double sum = 0;
  for (const double c : costs_us) sum += c;
  const double mean = sum / static_cast<double>(costs_us.size());
  std::sort(costs_us.begin(), costs_us.end());
  const double worst = costs_us.back();
  std::printf(
      "ratio tool_call = %.1f (budget of 1%% of the 0.5 s frame period, %.0f us ÷ mean log_tool + "
      "tool_result with the indicator running, %.0f us; max %.0f us over %d calls)\n",
      BUDGET_US / mean, BUDGET_US, mean, worst, CALLS);
  return 0;
}
