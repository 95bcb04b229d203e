#include "host/plain/line_editor.h"

#include <histedit.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace host {
namespace {

// Marks the escape sequences of the prompt, which take no cells, for libedit.
constexpr char INVISIBLE = '\1';
const std::string MAIN_PROMPT = std::string("\n") + INVISIBLE + "\x1b[1m" + INVISIBLE + "❯" +
                                INVISIBLE + "\x1b[0m" + INVISIBLE + " ";
const std::string MORE_PROMPT = "  ";

char* prompt_of(EditLine* el) {
  void* data = nullptr;
  el_get(el, EL_CLIENTDATA, &data);
  return const_cast<char*>(static_cast<LineEditor*>(data)->prompt_text());
}

unsigned char insert_line_break(EditLine* el, int) {
  return el_insertstr(el, "\n") == 0 ? CC_REFRESH : CC_ERROR;
}

// libedit reads characters through the C library: multibyte input needs a UTF-8 locale.
void use_utf8_characters() {
  const char* now = std::setlocale(LC_CTYPE, nullptr);
  if (now && (std::strstr(now, "UTF-8") || std::strstr(now, "utf8"))) return;
  const char* set = std::setlocale(LC_CTYPE, "");
  if (!set || (!std::strstr(set, "UTF-8") && !std::strstr(set, "utf8"))) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
}

}  // namespace

LineEditor::LineEditor(tui::PromptHistory& history) : history_(history) {
  use_utf8_characters();
  hist_ = ::history_init();
  HistEvent ev;
  ::history(hist_, &ev, H_SETSIZE, static_cast<int>(tui::PromptHistory::LIMIT));
  for (const std::string& e : history_.entries()) ::history(hist_, &ev, H_ENTER, e.c_str());

  el_ = el_init("vellumine", stdin, stdout, stderr);
  el_set(el_, EL_CLIENTDATA, this);
  el_set(el_, EL_EDITOR, "emacs");
  el_set(el_, EL_PROMPT_ESC, prompt_of, INVISIBLE);
  el_set(el_, EL_HIST, ::history, hist_);
  el_set(el_, EL_SIGNAL, 1);  // the terminal is put back before a signal ends the program
  el_set(el_, EL_ADDFN, "vellumine-line-break", "insert a line break", insert_line_break);
  el_set(el_, EL_BIND, "\\e\\r", "vellumine-line-break", nullptr);
  el_set(el_, EL_BIND, "\\e\\n", "vellumine-line-break", nullptr);
  el_source(el_, nullptr);  // the user's ~/.editrc
}

LineEditor::~LineEditor() {
  el_end(el_);
  ::history_end(hist_);
}

std::optional<std::string> LineEditor::read() {
  std::string prompt;
  prompt_ = MAIN_PROMPT;
  for (;;) {
    int count = 0;
    const char* line = el_gets(el_, &count);
    if (!line || count <= 0) {
      if (prompt.empty()) return std::nullopt;
      break;
    }
    std::string_view got(line, static_cast<std::size_t>(count));
    if (got.ends_with('\n')) got.remove_suffix(1);
    if (!got.ends_with('\\')) {
      prompt += got;
      break;
    }
    got.remove_suffix(1);
    prompt += got;
    prompt += '\n';
    prompt_ = MORE_PROMPT;
  }
  if (!prompt.empty()) {
    HistEvent ev;
    ::history(hist_, &ev, H_ENTER, prompt.c_str());
    history_.add(prompt);
  }
  return prompt;
}

}  // namespace host
