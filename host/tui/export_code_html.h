#pragma once
// Code blocks of an exported answer in the transcript's code colours: the same highlighter and
// code theme the transcript draws them with, each token a <span> with an inline style, its text
// escaped.

#include <string>
#include <string_view>

namespace host::tui {

// The code as HTML for the inside of a <code> element; a language the highlighter does not
// know (or none) gives the escaped text without spans.
[[nodiscard]] std::string highlighted_code_html(std::string_view code, std::string_view language);

// The language named by a fenced block's info string: its first word.
[[nodiscard]] std::string_view fence_language(std::string_view info);

// A style sheet rule giving answers' code blocks the code theme's background and text colour.
[[nodiscard]] std::string code_block_css();

}  // namespace host::tui
