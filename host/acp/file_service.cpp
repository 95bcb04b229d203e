#include "host/acp/file_service.h"

#include <fmt/format.h>

#include <fstream>
#include <sstream>

#include "host/config/atomic_file.h"
#include "host/config/host_config.h"

namespace host::acp {
namespace {

namespace fs = std::filesystem;

bool inside(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p) {
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

std::optional<std::string> read_whole(const fs::path& path, std::size_t limit) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return std::nullopt;
  if (fs::is_directory(path, ec))
    throw RefusedRequest(fmt::format("{} is a folder", path.string()));
  const auto size = fs::file_size(path, ec);
  if (!ec && size > limit) {
    throw RefusedRequest(fmt::format("{} has {} bytes, more than the {} the client reads",
                                     path.string(), size, limit));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RefusedRequest(fmt::format("cannot read {}", path.string()));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

FileService::FileService(const fs::path& root) : root_(fs::canonical(root)) {}

fs::path FileService::confine(std::string_view requested) const {
  if (requested.empty()) throw RefusedRequest("an empty path");
  if (requested.find('\0') != std::string_view::npos)
    throw RefusedRequest("a path with a NUL byte");
  const fs::path given(requested);
  for (const fs::path& part : given) {
    if (part == "..") {
      throw RefusedRequest(fmt::format("{}: paths with \"..\" are refused", requested));
    }
  }
  const fs::path joined = (given.is_absolute() ? given : root_ / given).lexically_normal();
  if (!inside(joined, root_)) {
    throw RefusedRequest(
        fmt::format("{} is outside the session's folder {}", requested, root_.string()));
  }
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(joined, ec);
  if (ec) throw RefusedRequest(fmt::format("{}: {}", requested, ec.message()));
  if (!inside(resolved, root_)) {
    throw RefusedRequest(fmt::format("{} leads outside the session's folder {} (to {})", requested,
                                     root_.string(), resolved.string()));
  }
  return resolved;
}

std::string FileService::read(std::string_view path, std::optional<long long> line,
                              std::optional<long long> limit) const {
  const fs::path file = confine(path);
  const std::optional<std::string> text = read_whole(file, kMaxReadBytes);
  if (!text) throw RefusedRequest(fmt::format("{}: no such file", file.string()));
  const long long first = std::max(1LL, line.value_or(1));
  if (first == 1 && !limit) return *text;
  std::size_t start = 0;
  for (long long n = 1; n < first && start < text->size(); ++n) {
    const std::size_t nl = text->find('\n', start);
    start = nl == std::string::npos ? text->size() : nl + 1;
  }
  std::size_t end = start;
  if (!limit) {
    end = text->size();
  } else {
    for (long long n = 0; n < *limit && end < text->size(); ++n) {
      const std::size_t nl = text->find('\n', end);
      end = nl == std::string::npos ? text->size() : nl + 1;
    }
  }
  return text->substr(start, end - start);
}

FileService::Written FileService::write(std::string_view path, std::string_view content) const {
  Written w;
  w.path = confine(path);
  w.before = read_whole(w.path, kMaxReadBytes);
  try {
    config::replace_file_atomically(w.path, content);
  } catch (const config::ConfigError& e) {
    throw RefusedRequest(e.what());
  }
  return w;
}

}  // namespace host::acp
