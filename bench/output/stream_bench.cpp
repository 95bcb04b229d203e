// Cost of `stream` per chunk against a bare loop making the same system calls the manager makes
// per chunk: one terminal-size ioctl and one write of the same bytes (the chunk as wrapped,
// recorded beforehand), on the same descriptor (a pty on standard output). Both sides run in
// alternating rounds in one process; the ratio is the bare loop's median time per chunk divided
// by ours (1 = as cheap as the bare system calls).

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "pty_sink.h"
#include "zell/output/output_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

// Prose-like text, so that the answer wraps and the chunks hold spaces and punctuation.
std::string chunk_of(std::size_t n) {
  static const std::string text =
      "The parser reads one token ahead, so a missing semicolon is reported on the next line. ";
  std::string s;
  while (s.size() < n) s += text;
  return s.substr(0, n);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Keeps what the manager writes, to replay it in the bare loop.
class Recorder final : public zell::output::Writer {
 public:
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }
  void flush() override {}
  std::vector<std::string> writes;
};

// The bytes `stream` writes for `chunks` consecutive chunks at 80 columns.
std::vector<std::string> wrapped_writes(const std::string& chunk, int chunks) {
  auto rec = std::make_shared<Recorder>();
  zell::output::OutputPorts ports;
  ports.out = rec;
  ports.cols = [] { return 80; };
  zell::output::OutputManager m(ports);
  m.start_streaming();
  rec->writes.clear();
  for (int i = 0; i < chunks; ++i) m.stream(chunk);
  return rec->writes;
}

double bare_round(const std::vector<std::string>& writes) {
  const auto t0 = Clock::now();
  for (const std::string& w : writes) {
    winsize ws{};
    (void)::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws);
    const ssize_t n = ::write(STDOUT_FILENO, w.data(), w.size());
    (void)n;
  }
  const auto chunks = static_cast<double>(writes.size());
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / chunks;
}

double ours_round(zell::output::OutputManager& m, const std::string& chunk, int chunks) {
  const auto t0 = Clock::now();
  for (int i = 0; i < chunks; ++i) {
    m.stream(chunk);
    // A turn keeps its chunks until the next turn starts; start one every few thousand.
    if ((i & 4095) == 4095) m.state.content_chunks.clear();
  }
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / chunks;
}

struct Result {
  std::size_t n;
  double bare_ns;
  double ours_ns;
};

// Both sides for each chunk size, with standard output already pointing at the sink.
std::vector<Result> measure() {
  std::vector<Result> results;
  zell::output::OutputManager m;  // the real writer on fd 1 and the real width query
  for (const std::size_t n : {1UL, 16UL, 256UL}) {
    const std::string chunk = chunk_of(n);
    const int chunks = n == 256 ? 4000 : 20000;
    const std::vector<std::string> writes = wrapped_writes(chunk, chunks);
    std::vector<double> bare;
    std::vector<double> ours;
    (void)bare_round(writes);  // warm-up
    (void)ours_round(m, chunk, chunks / 4);
    for (int round = 0; round < 21; ++round) {
      bare.push_back(bare_round(writes));
      ours.push_back(ours_round(m, chunk, chunks));
    }
    results.push_back({n, median(bare), median(ours)});
  }
  return results;
}

}  // namespace

int main() {
  bench::PtySink pty(80);
  pty.take_stdout();
  const std::vector<Result> on_pty = measure();
  pty.restore_stdout();

  // The same on /dev/null, where the system calls cost least and our own work shows most (the
  // size query fails there, as on a pipe, and counts as 80 columns).
  const int saved = ::dup(STDOUT_FILENO);
  const int null_fd = ::open("/dev/null", O_WRONLY);
  ::dup2(null_fd, STDOUT_FILENO);
  const std::vector<Result> on_null = measure();
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(null_fd);

  for (const Result& r : on_pty) {
    std::printf(
        "ratio stream_%zu = %.2f (bare ioctl+write loop of the same bytes %.0f ns/chunk ÷ "
        "OutputManager::stream %.0f ns/chunk, %zu-character chunks to an 80-column pty)\n",
        r.n, r.bare_ns / r.ours_ns, r.bare_ns, r.ours_ns, r.n);
  }
  for (const Result& r : on_null) {
    std::printf(
        "ratio stream_%zu_devnull = %.2f (the same to /dev/null: bare %.0f ns/chunk ÷ ours %.0f "
        "ns/chunk)\n",
        r.n, r.bare_ns / r.ours_ns, r.bare_ns, r.ours_ns);
  }
  return 0;
}
