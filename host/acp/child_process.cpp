#include "host/acp/child_process.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

extern char** environ;

namespace host::acp {
namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
      throw SpawnError(std::string("pipe: ") + std::strerror(errno));
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    close_fd(read);
    close_fd(write);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
};

std::string lookup(const std::string& program, const std::string& path_variable) {
  if (program.find('/') != std::string::npos) return program;
  std::size_t start = 0;
  while (start <= path_variable.size()) {
    std::size_t end = path_variable.find(':', start);
    if (end == std::string::npos) end = path_variable.size();
    const std::string_view dir = std::string_view(path_variable).substr(start, end - start);
    const std::string candidate = fmt::format("{}/{}", dir.empty() ? "." : dir, program);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  throw SpawnError(program + ": command not found");
}

// Our environment with `extra` on top, as "NAME=value" strings.
std::vector<std::string> merged_environment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
  std::map<std::string, std::string> vars;
  std::vector<std::string> order;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::size_t eq = entry.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = entry.substr(0, eq);
    if (vars.emplace(name, entry.substr(eq + 1)).second) order.push_back(name);
  }
  for (const auto& [name, value] : extra) {
    if (name.empty() || name.find('=') != std::string::npos) continue;
    if (vars.insert_or_assign(name, value).second) order.push_back(name);
  }
  std::vector<std::string> out;
  out.reserve(order.size());
  for (const std::string& name : order) out.push_back(name + "=" + vars[name]);
  return out;
}

// Only async-signal-safe calls from here on: the child of a threaded process.
[[noreturn]] void child_fail(int report_fd) {
  const int error = errno;
  const ssize_t ignored = ::write(report_fd, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

}  // namespace

std::string signal_name(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGKILL:
      return "SIGKILL";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    case SIGSEGV:
      return "SIGSEGV";
    case SIGABRT:
      return "SIGABRT";
    case SIGPIPE:
      return "SIGPIPE";
    default:
      return "signal " + std::to_string(signal);
  }
}

std::string describe(const ExitStatus& status) {
  if (status.signal) return "killed by " + signal_name(*status.signal);
  if (status.code) return "exit status " + std::to_string(*status.code);
  return "still running";
}

ChildProcess::ChildProcess(const SpawnOptions& options) {
  if (options.argv.empty() || options.argv[0].empty()) throw SpawnError("no command to run");
  std::vector<std::string> env = merged_environment(options.env);
  std::string path_variable = "/usr/local/bin:/usr/bin:/bin";
  for (const std::string& e : env) {
    if (e.starts_with("PATH=")) path_variable = e.substr(5);
  }
  const std::string program = lookup(options.argv[0], path_variable);

  std::vector<char*> argv;
  for (const std::string& a : options.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::optional<Pipe> in;
  if (options.pipe_stdin) in.emplace();
  Pipe out;
  std::optional<Pipe> err;
  if (!options.merge_stderr) err.emplace();
  Pipe report;
  const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = ::getpid();
  const char* cwd = options.cwd.empty() ? nullptr : options.cwd.c_str();

  const pid_t pid = ::fork();
  if (pid < 0) {
    if (null_fd >= 0) ::close(null_fd);
    throw SpawnError(std::string("fork: ") + std::strerror(errno));
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);  // we died before the line above took effect
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
    const int stdin_source = in ? in->read : null_fd;
    if (stdin_source < 0 || ::dup2(stdin_source, 0) < 0) child_fail(report.write);
    if (::dup2(out.write, 1) < 0) child_fail(report.write);
    if (::dup2(err ? err->write : out.write, 2) < 0) child_fail(report.write);
    if (cwd != nullptr && ::chdir(cwd) != 0) child_fail(report.write);
    // Nothing else of ours reaches the program (the report pipe closes on exec too).
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(program.c_str(), argv.data(), envp.data());
    child_fail(report.write);
  }

  ::setpgid(pid, pid);  // also here, so that signalling the group works at once
  if (null_fd >= 0) ::close(null_fd);
  pid_ = pid;
  close_fd(report.write);
  int child_errno = 0;
  ssize_t n = 0;
  do {
    n = ::read(report.read, &child_errno, sizeof child_errno);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid_ = -1;
    const std::string what =
        cwd != nullptr && child_errno == ENOENT && ::access(options.cwd.c_str(), F_OK) != 0
            ? options.cwd
            : options.argv[0];
    throw SpawnError(what + ": " + std::strerror(child_errno));
  }
  if (in) stdin_ = std::exchange(in->write, -1);
  stdout_ = std::exchange(out.read, -1);
  if (err) stderr_ = std::exchange(err->read, -1);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) terminate();
  close_fd(stdin_);
  close_fd(stdout_);
  close_fd(stderr_);
}

void ChildProcess::close_stdin() {
  close_fd(stdin_);
}

void ChildProcess::signal_group(int signal) const noexcept {
  if (pid_ > 0) ::kill(-pid_, signal);
}

std::optional<ExitStatus> ChildProcess::poll() {
  if (status_ || pid_ <= 0) return status_;
  int status = 0;
  pid_t r = 0;
  do {
    r = ::waitpid(pid_, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    ExitStatus s;
    if (WIFEXITED(status)) s.code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) s.signal = WTERMSIG(status);
    status_ = s;
  } else if (r < 0) {
    status_ = ExitStatus{};  // reaped elsewhere: gone, how is unknown
  }
  return status_;
}

std::optional<ExitStatus> ChildProcess::wait_for(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto s = poll()) return s;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

ExitStatus ChildProcess::terminate(std::chrono::milliseconds grace) {
  if (auto s = poll()) {
    signal_group(SIGKILL);  // what the child left running in its group goes too
    return *s;
  }
  signal_group(SIGTERM);
  if (auto s = wait_for(grace)) {
    signal_group(SIGKILL);
    return *s;
  }
  signal_group(SIGKILL);
  ::kill(pid_, SIGKILL);  // in case it left its group
  return wait_for(std::chrono::milliseconds(10'000)).value_or(ExitStatus{});
}

}  // namespace host::acp
