#include "host/acp/unified_diff.h"

#include <fmt/format.h>
#include <dtl/dtl.hpp>

#include <vector>

namespace host::acp {
namespace {

// Past this many lines on both sides, dtl's bounded mode keeps the cost linear-ish: the diff
// may then be longer than the shortest one, never wrong.
constexpr std::size_t kHugeLines = 20'000;

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

}  // namespace

std::string unified_diff(std::string_view path, const std::optional<std::string>& before,
                         std::string_view after) {
  std::string out = before ? fmt::format("--- {}\n+++ {}\n", path, path)
                           : fmt::format("--- /dev/null\n+++ {}\n", path);
  const std::vector<std::string> a = before ? lines_of(*before) : std::vector<std::string>{};
  const std::vector<std::string> b = lines_of(after);
  dtl::Diff<std::string, std::vector<std::string>> diff(a, b);
  if (a.size() > kHugeLines && b.size() > kHugeLines) diff.onHuge();
  diff.compose();
  diff.composeUnifiedHunks();
  for (const auto& hunk : diff.getUniHunks()) {
    out += fmt::format("@@ -{},{} +{},{} @@\n", hunk.a, hunk.b, hunk.c, hunk.d);
    const auto emit = [&out](const auto& elems) {
      for (const auto& [line, info] : elems) {
        out += info.type == dtl::SES_ADD ? '+' : info.type == dtl::SES_DELETE ? '-' : ' ';
        out += line;
        out += '\n';
      }
    };
    emit(hunk.common[0]);
    emit(hunk.change);
    emit(hunk.common[1]);
  }
  return out;
}

}  // namespace host::acp
