#pragma once
// Internal to Syntax: the project's own definition files (src/styled/syntax/lang/*.lang),
// built into the library so that no file of the build machine is needed at run time. The
// table is generated at build time by cmake/EmbedFiles.cmake.

#include <span>
#include <string_view>

namespace styled::syntax_embedded {

struct File {
  std::string_view name;  // "typescript.lang"
  std::string_view text;
};

[[nodiscard]] std::span<const File> files();

}  // namespace styled::syntax_embedded
