#pragma once
// A bound on how deeply a TOML document nests, checked on the raw text before the parser sees
// it: the TOML library builds and destroys nested tables by recursion, so a key of tens of
// thousands of dotted parts (or as many nested brackets) would overflow the stack.

#include <string_view>

namespace host::config {

// Far beyond any configuration, far below what the parser's recursion can take.
inline constexpr int kMaxTomlDepth = 64;

// Throws ConfigError "source:line:column: …" at the first key, table header, array or inline
// table that nests deeper than kMaxTomlDepth levels (each dotted part of a key counts as one
// level, as does each enclosing array or inline table). Linear in the text; never throws for
// text the depth of which is within the bound, whether or not it is valid TOML.
void check_toml_depth(std::string_view text, std::string_view source);

}  // namespace host::config
