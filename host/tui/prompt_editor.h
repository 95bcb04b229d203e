#pragma once
// Ctrl+G: the prompt in the user's editor. The text goes into a temporary file, the editor
// ($VISUAL, else $EDITOR, else vi; its value is read by the shell, so "code --wait" works) runs
// on it with the terminal handed over, and the file's text comes back, without the one line
// break editors add at the end. The file is removed afterwards.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host::tui {

struct EditorOutcome {
  std::optional<std::string> text;  // the edited prompt; empty when the editor failed
  std::string error;                // why, when it failed
};

// `outside` runs its argument with the terminal handed back (termui::App::run_outside).
[[nodiscard]] EditorOutcome edit_in_editor(
    std::string_view text, const std::function<void(const std::function<void()>&)>& outside);

// The editor command the environment names.
[[nodiscard]] std::string editor_command();

}  // namespace host::tui
