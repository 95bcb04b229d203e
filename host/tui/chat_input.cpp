#include "host/tui/chat_input.h"

#include <fmt/format.h>

#include "host/tui/prompt_popup.h"
#include "styled/style.h"

namespace host::tui {
namespace {

constexpr std::size_t SHOWN_CHOICES = 50;

}  // namespace

ChatInput::ChatInput(std::string id)
    : TextArea("Type a prompt · Enter sends · Shift+Enter new line · / commands · @ files",
               std::move(id)) {
  set_prompt("❯ ", styled::Style::parse("bold #5f87ff"));
  set_max_rows(MAX_ROWS);
}

void ChatInput::on_paste(const termui::PasteEvent& paste) {
  if (on_typed) on_typed();
  walking_ = false;
  TextArea::on_paste(paste);
  update_popup();
}

bool ChatInput::on_key(const termui::KeyEvent& key) {
  if (on_typed) on_typed();
  if (popup_ == Popup::search) return search_key(key);
  if (popup_ != Popup::none && popup_key(key)) return true;
  const std::string& k = key.key;
  if (k == "ctrl+r" && sources_.history && sources_.popup) {
    popup_ = Popup::search;
    search_.clear();
    show_search();
    return true;
  }
  if (k == "ctrl+g") {
    if (on_edit_externally) on_edit_externally();
    return true;
  }
  if (k == "enter") {
    if (sources_.history) sources_.history->add(value());
    walking_ = false;
    return TextArea::on_key(key);
  }
  if (TextArea::on_key(key)) {
    if (k != "up" && k != "down") walking_ = false;
    update_popup();
    return true;
  }
  if (k == "up" || k == "down") {
    walk_history(k == "up" ? -1 : 1);
    return true;  // Up and Down belong to the field even where there is nothing to walk to
  }
  return false;
}

// ---- the popup of commands and files ----

bool ChatInput::popup_key(const termui::KeyEvent& key) {
  PromptPopup& popup = *sources_.popup;
  const std::string& k = key.key;
  if (k == "up" || k == "down") {
    popup.move(k == "up" ? -1 : 1);
    return true;
  }
  if (k == "escape") {
    popup.close();
    popup_ = Popup::none;
    return true;
  }
  if (k == "tab" || k == "enter") {
    const PromptPopup::Choice* chosen = popup.chosen();
    // Enter on a command already typed in full sends it.
    if (!chosen || (k == "enter" && word_before_cursor().text == chosen->text)) {
      popup.close();
      popup_ = Popup::none;
      return k == "tab";
    }
    complete();
    return true;
  }
  return false;
}

void ChatInput::complete() {
  const PromptPopup::Choice* chosen = sources_.popup->chosen();
  if (!chosen) return;
  replace_word(word_before_cursor(), chosen->text + " ");
  sources_.popup->close();
  popup_ = Popup::none;
}

void ChatInput::update_popup() {
  if (!sources_.popup) return;
  const Word word = word_before_cursor();
  std::vector<PromptPopup::Choice> choices;
  if (word.begin == 0 && word.text.starts_with('/') &&
      word.text.find('/', 1) == std::string::npos) {
    const std::vector<SlashCommand> agent =
        sources_.agent_commands ? sources_.agent_commands() : std::vector<SlashCommand>{};
    for (const SlashCommand& c : matching_commands(std::string_view(word.text).substr(1), agent)) {
      choices.push_back({fmt::format("/{}", c.name),
                         c.from_agent ? fmt::format("{} (agent)", c.description) : c.description});
    }
    popup_ = Popup::commands;
    sources_.popup->show("commands · Tab completes", std::move(choices));
    return;
  }
  if (word.text.starts_with('@') && sources_.files) {
    const FileIndex* files = sources_.files->files();
    if (files) {
      for (std::string& p : files->matches(std::string_view(word.text).substr(1), SHOWN_CHOICES)) {
        choices.push_back({fmt::format("@{}", p), {}});
      }
    }
    popup_ = Popup::files;
    sources_.popup->show(sources_.files->listing() ? "files · Tab completes · listing files…"
                                                   : "files · Tab completes",
                         std::move(choices), files ? "no matches" : "listing files…");
    return;
  }
  if (popup_ != Popup::none) {
    sources_.popup->close();
    popup_ = Popup::none;
  }
}

void ChatInput::files_listed() {
  if (popup_ == Popup::files) update_popup();
}

// ---- history ----

bool ChatInput::walk_history(int delta) {
  if (!sources_.history) return false;
  const auto& entries = sources_.history->entries();
  if (!walking_) {
    walking_ = true;
    walk_ = entries.size();
    draft_ = value();
  }
  if (delta < 0 && walk_ == 0) return false;
  if (delta > 0 && walk_ >= entries.size()) return false;
  walk_ = delta < 0 ? walk_ - 1 : walk_ + 1;
  set_value(walk_ < entries.size() ? entries[walk_] : draft_);
  return true;
}

void ChatInput::show_search() {
  std::vector<PromptPopup::Choice> choices;
  for (std::string& e : sources_.history->search(search_, SHOWN_CHOICES)) {
    choices.push_back({std::move(e), {}});
  }
  sources_.popup->show(
      fmt::format("history search: {}▏ · Enter takes it · Escape cancels", search_),
      std::move(choices));
}

bool ChatInput::search_key(const termui::KeyEvent& key) {
  PromptPopup& popup = *sources_.popup;
  const std::string& k = key.key;
  if (k == "ctrl+r" || k == "down") {
    popup.move(1);
  } else if (k == "up") {
    popup.move(-1);
  } else if (k == "escape" || k == "ctrl+g") {
    popup.close();
    popup_ = Popup::none;
  } else if (k == "enter" || k == "tab") {
    if (const PromptPopup::Choice* chosen = popup.chosen()) set_value(chosen->text);
    popup.close();
    popup_ = Popup::none;
  } else if (k == "backspace") {
    if (!search_.empty()) {
      std::size_t cut = search_.size() - 1;
      while (cut > 0 && (static_cast<unsigned char>(search_[cut]) & 0xc0) == 0x80) --cut;
      search_.erase(cut);
    }
    show_search();
  } else if (!key.character.empty() && k != "tab") {
    search_ += key.character;
    show_search();
  }
  return true;
}

}  // namespace host::tui
