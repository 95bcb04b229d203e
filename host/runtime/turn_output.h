#pragma once
// What one turn of a model's stream shows through the output manager: thinking (with a peek at
// its last line for the indicator) and answer text, as they arrive.

#include <cstddef>
#include <string>
#include <string_view>

#include "host/runtime/think_tags.h"
#include "zell/output/output_manager.h"

namespace host::runtime {

class TurnOutput final : public ThinkTagSplitter::Sink {
 public:
  // The longest peek the indicator shows, in characters.
  static constexpr std::size_t kPeekChars = 120;

  explicit TurnOutput(zell::output::OutputManager& manager) : m_(manager) {}

  // Reasoning text: fed as thinking, with the peek updated when it changes.
  void thinking(std::string_view text) override;
  // Answer text: closes any open thinking, then streams (white space before the first
  // visible character of the answer is dropped).
  void answer(std::string_view text) override;
  // Text not yet known to be thinking or answer (all of it so far): shown only as the peek.
  void undecided(std::string_view text) override;
  // The stream is over: an open thinking block is completed.
  void finish_thinking();

  // The answer as far as it was shown.
  [[nodiscard]] const std::string& shown_answer() const noexcept { return answer_; }

 private:
  // Follows the lines of the last `added` bytes of `thinking_`; true when a line began.
  bool follow_lines(std::size_t added);
  void update_peek();
  void reset_thinking();

  zell::output::OutputManager& m_;
  std::string thinking_;  // the open thinking block, whole
  bool thinking_open_ = false;
  bool undecided_ = false;  // `thinking_` holds undecided text, not thinking
  // The peek's source: the current line of `thinking_` from its first visible byte, else the
  // last line before it that had one (as offsets into `thinking_`, npos for none).
  std::size_t line_text_ = std::string::npos;
  std::size_t last_text_ = std::string::npos;
  std::size_t last_text_end_ = 0;
  std::string peek_;        // the peek last handed to the manager
  bool peek_full_ = false;  // it already holds kPeekChars characters of the current line
  std::string answer_;
};

}  // namespace host::runtime
