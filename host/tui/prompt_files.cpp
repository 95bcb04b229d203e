#include "host/tui/prompt_files.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include "unicode/utf8.h"

namespace host::tui {
namespace {

// git's list of the files under `root`, or nothing when `root` is not in a work tree (or git
// is missing, or the scan was stopped).
std::optional<std::vector<std::string>> git_files(const std::filesystem::path& root,
                                                  ScanStop& stop) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::string dir = root.string();
  const char* argv[] = {"git",      "-C",       dir.c_str(),          "ls-files", "-z",
                        "--cached", "--others", "--exclude-standard", nullptr};
  // A group of its own, so that a stop ends whatever it started too.
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  const int spawned =
      ::posix_spawnp(&pid, "git", &actions, &attributes, const_cast<char**>(argv), environ);
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    return std::nullopt;
  }
  if (!stop.watch(pid)) ::kill(-pid, SIGKILL);

  std::vector<std::string> paths;
  std::string current;
  char buf[65536];
  ssize_t n = 0;
  while (paths.size() < FileIndex::LIMIT && (n = ::read(out[0], buf, sizeof buf)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (ssize_t i = 0; i < n && paths.size() < FileIndex::LIMIT; ++i) {
      if (buf[i] != '\0') {
        current += buf[i];
      } else {
        paths.push_back(unicode::sanitize(current));
        current.clear();
      }
    }
  }
  const bool full = paths.size() >= FileIndex::LIMIT;
  if (full) ::kill(-pid, SIGKILL);  // the rest of a huge tree is not wanted
  ::close(out[0]);
  stop.forget();  // before it is reaped: its number may go to another process then
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (full) return paths;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  // Tracked files that were also listed as others appear once; git sorts each list.
  return paths;
}

std::vector<std::string> walked_files(const std::filesystem::path& root, const ScanStop& stop) {
  std::vector<std::string> paths;
  std::error_code ec;
  namespace fs = std::filesystem;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (paths.size() >= FileIndex::LIMIT || stop.requested()) break;
    const fs::path& p = it->path();
    if (p.filename() == ".git") {
      it.disable_recursion_pending();
      continue;
    }
    std::error_code type_ec;
    if (it->is_regular_file(type_ec) && !it->is_symlink(type_ec)) {
      paths.push_back(unicode::sanitize(p.lexically_relative(root).generic_string()));
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace

void ScanStop::request() {
  const std::lock_guard lock(mutex_);
  requested_ = true;
  if (child_ > 0) ::kill(-child_, SIGKILL);
}

bool ScanStop::requested() const {
  const std::lock_guard lock(mutex_);
  return requested_;
}

bool ScanStop::watch(pid_t pid) {
  const std::lock_guard lock(mutex_);
  if (requested_) return false;
  child_ = pid;
  return true;
}

void ScanStop::forget() {
  const std::lock_guard lock(mutex_);
  child_ = -1;
}

FileIndex FileIndex::scan(const std::filesystem::path& root) {
  ScanStop never;
  return scan(root, never);
}

FileIndex FileIndex::scan(const std::filesystem::path& root, ScanStop& stop) {
  if (auto listed = git_files(root, stop)) return FileIndex(std::move(*listed));
  if (stop.requested()) return {};
  return FileIndex(walked_files(root, stop));
}

std::vector<std::string> FileIndex::matches(std::string_view typed, std::size_t limit) const {
  std::vector<std::string> out;
  for (const std::string& p : paths_) {
    if (out.size() >= limit) return out;
    if (p.starts_with(typed)) out.push_back(p);
  }
  for (const std::string& p : paths_) {
    if (out.size() >= limit) break;
    if (!p.starts_with(typed) && p.find(typed) != std::string::npos) out.push_back(p);
  }
  return out;
}

}  // namespace host::tui
