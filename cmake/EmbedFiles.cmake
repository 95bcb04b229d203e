# Writes a C++ source holding the given files as byte arrays, for syntax_embedded::files().
# cmake -DOUTPUT=<file.cpp> -DFILES=<a|b|...> -P EmbedFiles.cmake
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(table "")
set(index 0)
foreach(path ${FILES})
  get_filename_component(name ${path} NAME)
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND body "constexpr char FILE_${index}[] = {${bytes}};\n")
  string(APPEND table "    File{\"${name}\", {FILE_${index}, ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated at build time by cmake/EmbedFiles.cmake from the project's definition files.
#include \"styled/syntax/syntax_embedded.h\"

#include <array>

namespace styled::syntax_embedded {
namespace {

${body}
constexpr std::array FILES = {
${table}};

}  // namespace

std::span<const File> files() {
  return FILES;
}

}  // namespace styled::syntax_embedded
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
