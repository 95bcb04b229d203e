#pragma once
// The prompt field of the chat screen: a multi-line field behind "❯ " with what a person
// expects of an agent's prompt. Up on the first row and Down on the last walk the prompts sent
// before (kept across runs by the history); Ctrl+R searches them. Typing "/" at the start
// lists the commands, "@" the files of the session's folder, in the popup above the field (the
// files once they are listed: "listing files…" until then):
// Up/Down choose, Tab or Enter completes, Escape closes it. Ctrl+G hands the text to an
// external editor (the screen runs it).
//
// It tells the screen when the user types into it (a key or a paste), so that an approval
// question can tell a deliberate answer from a burst of typing.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/tui/file_lister.h"
#include "host/tui/prompt_commands.h"
#include "host/tui/prompt_history.h"
#include "termui/widgets/text_area.h"

namespace host::tui {

class PromptPopup;

class ChatInput : public termui::TextArea {
 public:
  static constexpr int MAX_ROWS = 10;

  explicit ChatInput(std::string id = "chat-input");

  // What the field completes from and shows its lists in; set by the screen before use.
  struct Sources {
    PromptPopup* popup = nullptr;
    PromptHistory* history = nullptr;
    // The agent's commands, as far as they are known now.
    std::function<std::vector<SlashCommand>()> agent_commands;
    // The files under the session's folder; asked for at the first "@".
    FileLister* files = nullptr;
  };
  void set_sources(Sources sources) { sources_ = std::move(sources); }
  // A listing of the files is done: the list of files shown, if it is, fills in.
  void files_listed();

  // Called for every key and paste that reaches the field, before it is applied.
  std::function<void()> on_typed;
  // Ctrl+G: the screen runs the editor and gives the text back through set_value.
  std::function<void()> on_edit_externally;

  bool on_key(const termui::KeyEvent& key) override;
  void on_paste(const termui::PasteEvent& paste) override;

 private:
  bool popup_key(const termui::KeyEvent& key);
  bool search_key(const termui::KeyEvent& key);
  void update_popup();
  void show_search();
  void complete();
  bool walk_history(int delta);

  Sources sources_;
  enum class Popup { none, commands, files, search };
  Popup popup_ = Popup::none;
  std::string search_;  // Ctrl+R's query
  // Walking the history: the entry shown (entries().size() when none) and the text that was
  // in the field before the walk began.
  std::size_t walk_ = 0;
  bool walking_ = false;
  std::string draft_;
};

}  // namespace host::tui
