#pragma once
// The plain chat's prompt on a terminal, edited through libedit: the keys of its emacs mode,
// Up/Down through the prompts sent before (the same history the full screen keeps), Alt+Enter
// for a line break inside a prompt, and a line ending in "\" continued on the next one.

#include <optional>
#include <string>

#include "host/tui/prompt_history.h"

struct editline;
struct history;

namespace host {

class LineEditor {
 public:
  // Reads the terminal on standard input; `history` is read and extended by each prompt.
  explicit LineEditor(tui::PromptHistory& history);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // The next prompt (without its final line break); nullopt when the input ended.
  std::optional<std::string> read();

  // libedit's prompt callback reaches the text through this.
  [[nodiscard]] const char* prompt_text() const { return prompt_.c_str(); }

 private:
  editline* el_ = nullptr;
  history* hist_ = nullptr;
  tui::PromptHistory& history_;
  std::string prompt_;
};

}  // namespace host
