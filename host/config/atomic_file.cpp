#include "host/config/atomic_file.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "host/config/host_config.h"

namespace host::config {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const fs::path& path, std::string_view reason) {
  throw ConfigError(fmt::format("cannot save {}: {}", path.string(), reason));
}

[[noreturn]] void fail_errno(const fs::path& path, std::string_view doing) {
  fail(path, fmt::format("{}: {}", doing, std::strerror(errno)));
}

bool writable(const fs::path& p, const struct stat& st) {
  return (st.st_mode & 0222) != 0 && ::access(p.c_str(), W_OK) == 0;
}

// The temporary file: closed, and removed unless it has been renamed into place.
class TempFile {
 public:
  TempFile(const fs::path& folder, const fs::path& target) {
    name_ = (folder / fmt::format(".{}.XXXXXX", target.filename().string())).string();
    fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
    if (fd_ < 0) fail_errno(target, fmt::format("cannot create a file in {}", folder.string()));
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(name_.c_str());
  }

  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] const std::string& name() const { return name_; }

  // Closes the descriptor, reporting the error a delayed write may surface only here.
  [[nodiscard]] bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void mark_renamed() { renamed_ = true; }

 private:
  std::string name_;
  int fd_ = -1;
  bool renamed_ = false;
};

void write_all(int fd, std::string_view data, const fs::path& path) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail_errno(path, "write failed");
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Where a chain of symbolic links at `path` ends, existing or not: a link to a file not yet made
// is saved through as a live one is, the link kept and its target created.
fs::path link_target(const fs::path& path) {
  constexpr int kMaxHops = 40;  // as the kernel's own limit on links in one lookup
  fs::path at = path;
  for (int hop = 0; hop < kMaxHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) fail(path, fmt::format("cannot follow the link: {}", ec.message()));
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  fail(path, "cannot follow the link: too many levels of symbolic links");
}

}  // namespace

void replace_file_atomically(const fs::path& requested, std::string_view contents) {
  std::error_code ec;
  const fs::path path = link_target(requested);
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  fs::create_directories(folder, ec);
  if (ec) fail(path, fmt::format("cannot create the folder {}: {}", folder.string(), ec.message()));

  struct stat st {};
  mode_t mode = 0644;
  std::optional<std::pair<uid_t, gid_t>> owner;
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) fail(path, "it is not a regular file");
    if (!writable(path, st)) fail(path, "the file is read-only");
    mode = st.st_mode & 07777;
    owner = {st.st_uid, st.st_gid};
  } else if (errno != ENOENT) {
    fail_errno(path, "cannot inspect the file");
  }
  if (::stat(folder.c_str(), &st) != 0) fail_errno(path, "cannot inspect its folder");
  if (!writable(folder, st)) fail(path, fmt::format("the folder {} is read-only", folder.string()));

  TempFile temp(folder, path);
  if (::fchmod(temp.fd(), mode) != 0) fail_errno(path, "cannot set the permissions");
  if (owner) {
    // Keeps the owner when root saves someone's file; an ordinary user cannot, and need not.
    const int ignored = ::fchown(temp.fd(), owner->first, owner->second);
    (void)ignored;
  }
  write_all(temp.fd(), contents, path);
  if (::fsync(temp.fd()) != 0) fail_errno(path, "cannot flush to disk");
  if (!temp.close()) fail_errno(path, "write failed");
  if (::rename(temp.name().c_str(), path.c_str()) != 0) fail_errno(path, "cannot replace the file");
  temp.mark_renamed();

  // The rename is durable once the folder is flushed. The new contents are in place already,
  // so a folder that cannot be flushed (some file systems refuse) is not a failed save.
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace host::config
