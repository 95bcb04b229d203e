#include "host/acp/terminal_service.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>

namespace host::acp {

struct TerminalService::Terminal {
  std::string command_line;
  std::unique_ptr<ChildProcess> child;
  std::size_t limit = kMaxOutputBytes;
  mutable std::mutex mutex;
  std::condition_variable exited_cv;
  std::string output;
  bool truncated = false;
  std::optional<ExitStatus> exit;
  bool released = false;
  std::thread reader;

  void append(std::string_view bytes) {
    const std::lock_guard lock(mutex);
    output.append(bytes);
    if (keep_tail(output, limit)) truncated = true;
  }

  // Reads the output until the command has ended and its pipe is drained (a child it left
  // behind holding the pipe does not keep the terminal open).
  void read_loop() {
    char buffer[16384];
    const int fd = child->stdout_fd();
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      const int ready = ::poll(&p, 1, 50);
      if (ready < 0 && errno != EINTR) break;
      if (ready > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
          append(std::string_view(buffer, static_cast<std::size_t>(n)));
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // end of output
      }
      if (child->poll()) {
        // Ended: take what is already in the pipe, then stop.
        for (;;) {
          pollfd q{fd, POLLIN, 0};
          if (::poll(&q, 1, 0) <= 0) break;
          const ssize_t n = ::read(fd, buffer, sizeof buffer);
          if (n <= 0) break;
          append(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
        break;
      }
    }
    const ExitStatus status = child->wait_for(std::chrono::hours(24 * 365)).value_or(ExitStatus{});
    {
      const std::lock_guard lock(mutex);
      exit = status;
    }
    exited_cv.notify_all();
  }
};

bool keep_tail(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return false;
  std::size_t cut = text.size() - limit;
  while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
  text.erase(0, cut);
  return true;
}

TerminalService::TerminalService(Launcher& launcher, const FileService& files)
    : launcher_(launcher), files_(files) {}

TerminalService::~TerminalService() {
  std::map<std::string, std::shared_ptr<Terminal>> all;
  {
    const std::lock_guard lock(mutex_);
    all.swap(terminals_);
  }
  for (auto& [id, t] : all) {
    t->child->signal_group(SIGKILL);
    if (t->reader.joinable()) t->reader.join();
  }
}

std::string TerminalService::create(const TerminalRequest& request) {
  if (request.command.empty()) throw RefusedRequest("an empty command");
  const std::filesystem::path cwd = files_.confine(request.cwd.value_or(files_.root().string()));
  std::error_code ec;
  if (!std::filesystem::is_directory(cwd, ec)) {
    throw RefusedRequest(cwd.string() + " is not a folder");
  }
  SpawnOptions options;
  options.argv.push_back(request.command);
  options.argv.insert(options.argv.end(), request.args.begin(), request.args.end());
  options.cwd = cwd.string();
  options.env = request.env;
  options.pipe_stdin = false;
  options.merge_stderr = true;

  auto t = std::make_shared<Terminal>();
  for (const std::string& a : options.argv) {
    if (!t->command_line.empty()) t->command_line += ' ';
    t->command_line += a;
  }
  if (request.output_byte_limit) {
    t->limit = static_cast<std::size_t>(
        std::min<unsigned long long>(*request.output_byte_limit, kMaxOutputBytes));
  }
  try {
    t->child = launcher_.spawn(options);
  } catch (const SpawnError& e) {
    throw RefusedRequest(e.what());
  }
  t->reader = std::thread([raw = t.get()] { raw->read_loop(); });
  const std::lock_guard lock(mutex_);
  std::string id = "term-" + std::to_string(next_id_++);
  terminals_.emplace(id, std::move(t));
  return id;
}

std::shared_ptr<TerminalService::Terminal> TerminalService::find(const std::string& id,
                                                                 bool released_ok) const {
  const std::lock_guard lock(mutex_);
  const auto it = terminals_.find(id);
  if (it == terminals_.end()) throw RefusedRequest("no terminal " + id);
  {
    const std::lock_guard t_lock(it->second->mutex);
    if (it->second->released && !released_ok)
      throw RefusedRequest("terminal " + id + " was released");
  }
  return it->second;
}

TerminalOutput TerminalService::output(const std::string& id) const {
  const auto t = find(id, false);
  const std::lock_guard lock(t->mutex);
  return {t->output, t->truncated, t->exit};
}

std::function<ExitStatus()> TerminalService::exit_waiter(const std::string& id) {
  return [t = find(id, false)] {
    std::unique_lock lock(t->mutex);
    t->exited_cv.wait(lock, [&] { return t->exit.has_value(); });
    return *t->exit;
  };
}

void TerminalService::kill(const std::string& id) {
  const auto t = find(id, false);
  std::unique_lock lock(t->mutex);
  if (t->exit) return;  // once reaped, the group id may be reused
  t->child->signal_group(SIGKILL);
  // Done once the command has ended, so that what the agent reads next (and the transcript)
  // has the output's end and the exit status. SIGKILL cannot be caught: this waits only for
  // the reaper, and not for ever should something outside the group hold the output open.
  t->exited_cv.wait_for(lock, std::chrono::seconds(2), [&] { return t->exit.has_value(); });
}

void TerminalService::release(const std::string& id) {
  const auto t = find(id, false);
  const std::lock_guard lock(t->mutex);
  t->released = true;
  if (!t->exit) t->child->signal_group(SIGKILL);
}

std::optional<TerminalOutput> TerminalService::snapshot(const std::string& id) const {
  const std::lock_guard lock(mutex_);
  const auto it = terminals_.find(id);
  if (it == terminals_.end()) return std::nullopt;
  const std::lock_guard t_lock(it->second->mutex);
  return TerminalOutput{it->second->output, it->second->truncated, it->second->exit};
}

std::optional<std::string> TerminalService::command_line(const std::string& id) const {
  const std::lock_guard lock(mutex_);
  const auto it = terminals_.find(id);
  if (it == terminals_.end()) return std::nullopt;
  return it->second->command_line;
}

}  // namespace host::acp
