#pragma once
// The file services the client offers the agent (fs/read_text_file, fs/write_text_file),
// confined to the session's folder: a path with a ".." part, an absolute path outside the
// folder, or a path whose symbolic links lead out of it is refused with a reason the agent can
// read. Writes replace the file atomically (temporary file, fsync, rename).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace host::acp {

// A request the services refuse; what() is the reason, sent back to the agent.
class RefusedRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FileService {
 public:
  static constexpr std::size_t kMaxReadBytes = std::size_t{32} << 20;

  // `root` must exist; it is made canonical here.
  explicit FileService(const std::filesystem::path& root);

  [[nodiscard]] const std::filesystem::path& root() const noexcept { return root_; }

  // The canonical path `requested` names inside the root (relative paths are taken from it);
  // RefusedRequest otherwise. The file itself need not exist.
  [[nodiscard]] std::filesystem::path confine(std::string_view requested) const;

  // The file's text from 1-based `line` (default 1), at most `limit` lines (default all).
  [[nodiscard]] std::string read(std::string_view path, std::optional<long long> line,
                                 std::optional<long long> limit) const;

  struct Written {
    std::filesystem::path path;         // where it went
    std::optional<std::string> before;  // the old text; none for a new file
  };
  // Replaces (or creates, with missing folders) the file with `content`.
  Written write(std::string_view path, std::string_view content) const;

 private:
  std::filesystem::path root_;
};

}  // namespace host::acp
