#pragma once
// The files a "@" mention can name: the paths under the session's folder, relative to it.
// In a git work tree they are git's own list (tracked files and untracked ones that .gitignore
// does not exclude); elsewhere a walk of the folder that skips .git and does not follow links.
// At most LIMIT paths are kept.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace host::tui {

// Stops a scan from another thread: the walk ends at its next entry, and the git that lists
// for it is killed (git can work a long while on a huge tree before it writes a line).
class ScanStop {
 public:
  void request();
  [[nodiscard]] bool requested() const;
  // For the scan: `pid` lists for it until `forget`; false (nothing kept) when a stop was
  // already asked for.
  bool watch(pid_t pid);
  void forget();

 private:
  mutable std::mutex mutex_;
  bool requested_ = false;
  pid_t child_ = -1;
};

class FileIndex {
 public:
  static constexpr std::size_t LIMIT = 200000;

  FileIndex() = default;
  explicit FileIndex(std::vector<std::string> paths) : paths_(std::move(paths)) {}

  // Lists the files under `root`; stopped, what was listed so far.
  [[nodiscard]] static FileIndex scan(const std::filesystem::path& root);
  [[nodiscard]] static FileIndex scan(const std::filesystem::path& root, ScanStop& stop);

  [[nodiscard]] std::size_t size() const { return paths_.size(); }
  // Paths that start with `typed`, then paths that hold it elsewhere, each in the index's
  // order, at most `limit`.
  [[nodiscard]] std::vector<std::string> matches(std::string_view typed, std::size_t limit) const;

 private:
  std::vector<std::string> paths_;
};

}  // namespace host::tui
