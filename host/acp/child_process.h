#pragma once
// A child process run from an argv (never through a shell) in a process group of its own, with
// pipes to its standard streams. It never outlives us: the destructor ends the whole group
// (SIGTERM, then SIGKILL after a grace period), and the kernel kills the child when the thread
// that started it ends (PR_SET_PDEATHSIG), which covers a crash or a SIGKILL of the app; start
// children from a thread that lives as long as they should (see Launcher).

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace host::acp {

class SpawnError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SpawnOptions {
  std::vector<std::string> argv;  // argv[0] is looked up in PATH when it has no slash
  std::string cwd;                // empty: ours
  // Set on top of our environment (a later entry with the same name wins).
  std::vector<std::pair<std::string, std::string>> env;
  bool pipe_stdin = true;     // else /dev/null
  bool merge_stderr = false;  // stderr into the stdout pipe; else a pipe of its own
};

// How a child ended: its exit code, or the signal that ended it.
struct ExitStatus {
  std::optional<int> code;
  std::optional<int> signal;
};
[[nodiscard]] std::string describe(const ExitStatus& status);
// The signal's name as the protocol writes it ("SIGTERM"), or its number.
[[nodiscard]] std::string signal_name(int signal);

class ChildProcess {
 public:
  static constexpr std::chrono::milliseconds kDefaultGrace{2000};

  // Starts the child; SpawnError when it cannot (the program is missing, the folder is wrong).
  explicit ChildProcess(const SpawnOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] pid_t pid() const noexcept { return pid_; }
  // Our ends of the pipes; -1 for those not made. Closing stdin is close_stdin's job.
  [[nodiscard]] int stdin_fd() const noexcept { return stdin_; }
  [[nodiscard]] int stdout_fd() const noexcept { return stdout_; }
  [[nodiscard]] int stderr_fd() const noexcept { return stderr_; }
  void close_stdin();

  // Signals the whole process group.
  void signal_group(int signal) const noexcept;
  // Waits up to `timeout` for the child to end; its status once it has.
  std::optional<ExitStatus> wait_for(std::chrono::milliseconds timeout);
  // Its status when it has ended, without waiting.
  std::optional<ExitStatus> poll();
  // Ends the group: SIGTERM, then SIGKILL when the child is still there after `grace`.
  ExitStatus terminate(std::chrono::milliseconds grace = kDefaultGrace);

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  std::optional<ExitStatus> status_;
};

}  // namespace host::acp
