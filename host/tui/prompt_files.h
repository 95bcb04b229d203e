#pragma once
// The files a "@" mention can name: the paths under the session's folder, relative to it.
// In a git work tree they are git's own list (tracked files and untracked ones that .gitignore
// does not exclude); elsewhere a walk of the folder that skips .git and does not follow links.
// At most LIMIT paths are kept.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace host::tui {

class FileIndex {
 public:
  static constexpr std::size_t LIMIT = 200000;

  FileIndex() = default;
  explicit FileIndex(std::vector<std::string> paths) : paths_(std::move(paths)) {}

  // Lists the files under `root`.
  [[nodiscard]] static FileIndex scan(const std::filesystem::path& root);

  [[nodiscard]] std::size_t size() const { return paths_.size(); }
  // Paths that start with `typed`, then paths that hold it elsewhere, each in the index's
  // order, at most `limit`.
  [[nodiscard]] std::vector<std::string> matches(std::string_view typed, std::size_t limit) const;

 private:
  std::vector<std::string> paths_;
};

}  // namespace host::tui
