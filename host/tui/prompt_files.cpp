#include "host/tui/prompt_files.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <system_error>

#include "unicode/utf8.h"

namespace host::tui {
namespace {

std::string shell_quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// git's list of the files under `root`, or nothing when `root` is not in a work tree.
std::optional<std::vector<std::string>> git_files(const std::filesystem::path& root) {
  const std::string command = "git -C " + shell_quoted(root.string()) +
                              " ls-files -z --cached --others --exclude-standard 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::vector<std::string> paths;
  std::string current;
  char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      if (buf[i] != '\0') {
        current += buf[i];
      } else if (paths.size() < FileIndex::LIMIT) {
        paths.push_back(unicode::sanitize(current));
        current.clear();
      } else {
        current.clear();
      }
    }
  }
  const int status = ::pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  // Tracked files that were also listed as others appear once; git sorts each list.
  return paths;
}

std::vector<std::string> walked_files(const std::filesystem::path& root) {
  std::vector<std::string> paths;
  std::error_code ec;
  namespace fs = std::filesystem;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (paths.size() >= FileIndex::LIMIT) break;
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

FileIndex FileIndex::scan(const std::filesystem::path& root) {
  if (auto listed = git_files(root)) return FileIndex(std::move(*listed));
  return FileIndex(walked_files(root));
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
