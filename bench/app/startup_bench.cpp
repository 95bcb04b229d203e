// Start-up to the first frame: `vellumine --no-preflight` is started on a pseudo-terminal of
// 120×40 with a configuration file of its own, and the time runs from the fork to the moment
// the end marker of its first synchronized-output frame arrives on the terminal. Beside it,
// the same clock times the reference renderer's import alone: `/usr/bin/python3 -c "import
// rich.markdown"` from the fork to its exit; `vellumine --version` and an empty C++ program
// (the floor any program of ours starts from) from the fork to their exit. At the first frame
// the libraries the program has mapped are counted, and the heavy ones it should not need
// yet (ICU, boost, OpenSSL) are named.
//
//   app_startup_bench <vellumine> <empty_program> <runs>
//
// Prints `startup first_frame_ms median=<x> min=<y>`, the reference's import, `--version` and
// the empty program, the libraries, and `ratio startup = <reference median / ours>` (goal
// >= 20).

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/app/bench_app.h"
#include "termui/frame_writer.h"

extern char** environ;

namespace {

using bench_app::Clock;
namespace fs = std::filesystem;

constexpr int WARMUP = 2;
constexpr auto GIVE_UP = std::chrono::seconds(10);

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The shared libraries process `pid` has mapped.
std::set<std::string> mapped_libraries(pid_t pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::set<std::string> out;
  std::string line;
  while (std::getline(maps, line)) {
    const auto slash = line.rfind('/');
    if (slash == std::string::npos || line.find(".so", slash) == std::string::npos) continue;
    out.insert(line.substr(slash + 1));
  }
  return out;
}

// Libraries the first frame has no use for.
std::string heavy_of(const std::set<std::string>& libraries) {
  std::string out;
  for (const std::string& lib : libraries) {
    for (const char* heavy : {"libicu", "libboost", "libssl", "libcrypto", "libsource-highlight"}) {
      if (lib.rfind(heavy, 0) == 0) out += (out.empty() ? "" : ",") + lib;
    }
  }
  return out.empty() ? "none" : out;
}

// Milliseconds from the fork to the end of the first frame (nullopt when none came in time),
// and the libraries mapped then.
std::optional<double> first_frame_ms(const std::string& program, const fs::path& config,
                                     std::set<std::string>* libraries = nullptr) {
  winsize size{};
  size.ws_row = static_cast<unsigned short>(bench_app::SCREEN.height);
  size.ws_col = static_cast<unsigned short>(bench_app::SCREEN.width);
  int master = -1;
  const auto t0 = Clock::now();
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    ::setenv("TERM", "xterm-256color", 1);
    const std::string config_arg = config.string();
    ::execl(program.c_str(), program.c_str(), "--no-preflight", "--config", config_arg.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::optional<double> result;
  std::string seen;
  char buf[65536];
  while (!result) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(GIVE_UP - (Clock::now() - t0))
            .count();
    if (left <= 0) break;
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t got = ::read(master, buf, sizeof buf);
    if (got <= 0) break;
    seen.append(buf, static_cast<std::size_t>(got));
    if (seen.find(termui::FrameWriter::SYNC_END) != std::string::npos) result = ms_since(t0);
  }
  if (result && libraries != nullptr) *libraries = mapped_libraries(pid);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  return result;
}

// Milliseconds from the fork to the exit of a program whose output is discarded.
double run_ms(const std::vector<const char*>& command) {
  std::vector<const char*> argv = command;
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto t0 = Clock::now();
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()),
                    environ) != 0) {
    throw std::runtime_error(std::string("cannot start ") + argv[0]);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double ms = ms_since(t0);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(std::string(argv[0]) + " failed");
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <vellumine> <empty_program> <runs>\n", argv[0]);
    return 2;
  }
  const std::string program = argv[1];
  const std::string empty = argv[2];
  const int runs = std::atoi(argv[3]);
  char dir_template[] = "/tmp/vellumine-startup-XXXXXX";
  if (!::mkdtemp(dir_template)) throw std::runtime_error("mkdtemp failed");
  const fs::path dir = dir_template;

  std::vector<double> ours, reference, version, floor;
  std::set<std::string> libraries;
  for (int i = 0; i < WARMUP + runs; ++i) {
    const std::optional<double> ms = first_frame_ms(program, dir / "config.toml", &libraries);
    if (!ms) {
      std::fprintf(stderr, "startup: no frame from %s within 10 s\n", program.c_str());
      fs::remove_all(dir);
      return 1;
    }
    const double ref = run_ms({"/usr/bin/python3", "-c", "import rich.markdown"});
    const double version_ms = run_ms({program.c_str(), "--version"});
    const double floor_ms = run_ms({empty.c_str()});
    if (i >= WARMUP) {
      ours.push_back(*ms);
      reference.push_back(ref);
      version.push_back(version_ms);
      floor.push_back(floor_ms);
    }
  }
  fs::remove_all(dir);
  const double ours_min = *std::min_element(ours.begin(), ours.end());
  const double ref_min = *std::min_element(reference.begin(), reference.end());
  const double ours_median = bench_app::percentile(ours, 50);
  const double ref_median = bench_app::percentile(reference, 50);
  fmt::print("startup first_frame_ms median={:.2f} min={:.2f} runs={}\n", ours_median, ours_min,
             runs);
  fmt::print("startup reference_import_ms median={:.2f} min={:.2f} runs={}\n", ref_median, ref_min,
             runs);
  fmt::print("startup version_ms median={:.2f} empty_program_ms median={:.2f} runs={}\n",
             bench_app::percentile(version, 50), bench_app::percentile(floor, 50), runs);
  fmt::print("startup libraries_at_first_frame={} not_needed_yet={}\n", libraries.size(),
             heavy_of(libraries));
  fmt::print(
      "ratio startup = {:.1f} (import of the reference renderer {:.1f} ms / vellumine's first "
      "frame {:.2f} ms on a 120x40 pty, medians of {}; goal >= 20)\n",
      ref_median / ours_median, ref_median, ours_median, runs);
  return 0;
}
