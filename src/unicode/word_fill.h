#pragma once
// The word-fill rule of the transcript: greedy word wrapping to a width counted in characters
// (code points), exactly as Python's `textwrap.fill(paragraph, width)` with its default options
// behaves, so that a streamed answer and the same answer drawn again later break alike.

#include <string>
#include <string_view>

namespace unicode {

// Fills `paragraph` into lines of at most `width` characters joined by "\n":
// - tabs expand to the next multiple of 8 columns, then tab, LF, VT, FF and CR become spaces;
// - the text is cut into chunks: runs of white space, runs of two or more hyphens between two
//   words, and words, which may also break after a hyphen inside a hyphenated word;
// - lines take chunks greedily; white space at the start of a line (except the first) and at the
//   end of every line is dropped; a chunk longer than the width is cut to fill the line, after
//   its last hyphen when one stands in that piece after a non-hyphen.
// A width below 1 is taken as 1 (the rule itself refuses it; a transcript never asks for it).
// Invalid UTF-8 reads as U+FFFD.
[[nodiscard]] std::string word_fill(std::string_view paragraph, int width);

}  // namespace unicode
