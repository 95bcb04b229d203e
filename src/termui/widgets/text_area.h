#pragma once
// TextArea: a multi-line text field. Enter submits; Shift+Enter, Alt+Enter and Ctrl+J break
// the line. Long lines wrap at the field's width; the field grows with its rows up to
// `max_rows` and then scrolls to keep the cursor in view. Keys as in readline: Left/Right by
// character, Ctrl/Alt+Left/Right (Alt+B/F) by word, Home/End and Ctrl+A/E to the ends of the
// line, Up/Down between rows, Backspace/Delete, Ctrl+W/U/K cut a word, the line before the
// cursor, the line after it; Ctrl+_ undoes. Up on the first row and Down on the last are not
// taken, so that the owner can walk its history there.
//
// A paste longer than FOLD_LINES lines (or FOLD_BYTES bytes) is held whole and shown as one
// "[pasted 120 lines]" unit the cursor steps over and Backspace deletes at once; value()
// gives it back whole. Control characters are shown as visible symbols (line breaks and tabs
// are kept as text), so nothing typed or pasted can drive the terminal.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "termui/widget.h"

namespace termui {

class TextArea : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "TextArea { height: auto; }";
  static constexpr int FOLD_LINES = 5;
  static constexpr std::size_t FOLD_BYTES = 2000;
  static constexpr std::size_t UNDO_DEPTH = 200;

  explicit TextArea(std::string placeholder = {}, std::string id = {});

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // The whole text, folded pastes expanded.
  [[nodiscard]] std::string value() const;
  // Replaces the text (one undoable step); the cursor goes to the end.
  void set_value(std::string_view text);
  // Empties the field and forgets its undo steps and pastes (after a submit).
  void clear();
  [[nodiscard]] bool empty() const { return text_.empty(); }
  // Inserts typed text at the cursor.
  void insert(std::string_view text);
  // Inserts pasted text at the cursor, folded when it is long.
  void paste(std::string_view text);

  // The run of non-blank characters that ends at the cursor ("/he", "@src/ma"), and its start,
  // for completion; `replace_word` puts `text` in its place.
  struct Word {
    std::size_t begin = 0;
    std::string text;
  };
  [[nodiscard]] Word word_before_cursor() const;
  void replace_word(const Word& word, std::string_view text);

  // Rows the text takes at the current width, and the row the cursor is on.
  [[nodiscard]] int row_count();
  [[nodiscard]] int cursor_row();

  void set_prompt(std::string prompt, styled::Style style = {});
  void set_max_rows(int rows);

  std::function<void(const std::string&)> on_submit;

  [[nodiscard]] bool can_focus() const override { return true; }
  bool on_key(const KeyEvent& key) override;
  void on_paste(const PasteEvent& event) override { paste(event.text); }
  void on_mouse_down(MouseEvent& event) override;
  [[nodiscard]] Strip render_line(int y) override;
  [[nodiscard]] int content_height(int width) override;

 private:
  // One drawn row: bytes [begin, end) of text_, without the line break that may end it.
  struct Row {
    std::size_t begin;
    std::size_t end;
  };
  // What one unit of text (a grapheme, a tab, a folded paste) draws.
  struct Unit {
    std::size_t len;
    int width;
    std::string_view shown;
    bool folded;
  };
  struct Snapshot {
    std::string text;
    std::size_t cursor;
  };
  enum class Edit { typing, other };

  [[nodiscard]] Unit unit_at(std::size_t pos) const;
  [[nodiscard]] std::size_t previous_boundary(std::size_t pos) const;
  [[nodiscard]] std::size_t next_boundary(std::size_t pos) const;
  [[nodiscard]] std::size_t line_start(std::size_t pos) const;
  [[nodiscard]] std::size_t line_end(std::size_t pos) const;
  [[nodiscard]] int indent() const;
  const std::vector<Row>& rows_for(int width);
  [[nodiscard]] int row_of(const std::vector<Row>& rows, std::size_t pos) const;
  [[nodiscard]] int cells_before(const Row& row, std::size_t pos) const;
  [[nodiscard]] std::size_t position_at(const Row& row, int cells) const;
  bool move_vertically(int delta);
  // Text made safe to hold: valid UTF-8, CR LF and CR as LF, controls visible, and no code
  // point of the range folded pastes are marked with.
  [[nodiscard]] static std::string clean(std::string_view text);
  void remember(Edit kind);
  void erase(std::size_t from, std::size_t to);
  void put(std::string_view clean_text);
  void changed();

  std::string placeholder_;
  std::string prompt_;
  styled::Style prompt_style_;
  int max_rows_ = 10;

  std::string text_;  // folded pastes are one private-use code point each
  std::size_t cursor_ = 0;
  std::vector<std::string> folded_;       // the pastes, by marker index
  std::vector<std::string> fold_labels_;  // "[pasted 120 lines]"
  std::vector<Snapshot> undo_;
  Edit last_edit_ = Edit::other;
  int goal_cells_ = -1;  // the column Up/Down aim for, kept across a run of them

  std::vector<Row> rows_;
  int rows_width_ = -1;
  bool rows_stale_ = true;
  int top_ = 0;  // first row shown
};

}  // namespace termui
