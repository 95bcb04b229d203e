#pragma once
// Hyperlink targets for OSC 8. A Style carries a link as a small number; the target behind it
// lives here, interned once for the life of the process.
//
// A target is stored only in its safe form: every byte that is not printable ASCII, and the
// few printable ones that could matter to the escape sequence or to a terminal's parsing of it
// (';' separates OSC 8's fields, '\\' ends ST, and the quotes, '<', '>', '`', '{', '|', '}',
// '^' and space are not URL characters anyway), is percent-encoded, as is a '%' that does not
// start an escape already. So a link taken from a model's answer can never end the sequence,
// start another one, or smuggle its own target in.

#include <cstdint>
#include <string>
#include <string_view>

namespace styled {

// The safe form of `url` (see above).
[[nodiscard]] std::string safe_link_target(std::string_view url);

// Whether `url` names a scheme a link may open: http, https, mailto, file.
[[nodiscard]] bool linkable_url(std::string_view url);

// The number of the link to `url`'s safe form, the same number for the same target; 0 (no
// link) when the URL is not linkable, is longer than MAX_LINK bytes, or the table is full.
// Thread-safe.
inline constexpr std::size_t MAX_LINK = 2048;
[[nodiscard]] std::uint16_t link_id(std::string_view url);

// The safe target of link `id`; empty for 0 or a number never given out. Thread-safe; the
// view stays valid for the life of the process.
[[nodiscard]] std::string_view link_target(std::uint16_t id);

// A file:// URL for an absolute path (each segment percent-encoded), with ":LINE" dropped
// from the path and kept as the "#LINE" fragment some editors read; empty for a relative path.
[[nodiscard]] std::string file_url(std::string_view absolute_path, std::string_view line = {});

// The link for a tool's argument when the argument is one file path, optionally with ":LINE"
// or ":LINE:COLUMN" ("src/a.c:12"): a file:// URL of it, relative paths taken from `folder`
// (absolute); a URL argument links to itself. 0 when the argument is anything else (blanks,
// several words, an option, a bare word without a '/' or an extension).
[[nodiscard]] std::uint16_t path_link(std::string_view argument, std::string_view folder);

}  // namespace styled
