#pragma once
// Scrollback: the scrolling conversation view of the full-screen interface. Every item (prompt,
// answer, thinking block, tool call, result, info, error, approval, turn summary) is recorded in
// `_history` as a typed record (history_entry.h) and drawn through `write`, one styled line per
// write. The view can be drawn again from the history: whole (`_rerender`, a resize) or from one
// entry on (a thinking toggle, an entry replaced in place).
//
// Concerns live in their own files: core.cpp (construction, write, history, clear, re-render,
// resize), streaming.cpp (answer text as it arrives), messages.cpp (prompts, answers, info and
// error lines), thinking.cpp (thinking blocks and their click toggle), tools.cpp (tool calls and
// results), diff.cpp (diff-shaped results), approval.cpp (the approval prompt),
// turn_summary.cpp (the turn summary), selection.cpp (mouse selection and its highlight),
// termui's clipboard (copying the selection out) and search.cpp (finding text in the entries).
//
// UI thread only: agent events reach the widget as messages handled on that thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "styled/renderable.h"
#include "styled/theme.h"
#include "termui/clipboard.h"
#include "termui/widgets/rich_log.h"
#include "unicode/width.h"
#include "zell/tui/widgets/scrollback/history_entry.h"
#include "zell/tui/widgets/scrollback/search_index.h"

namespace zell::tui::widgets {

// Styles pushed onto the widget's own console when it is mounted.
[[nodiscard]] const styled::Theme& CUSTOM_THEME();

// Whether a tool result looks like a unified diff: three or more of its first ten lines (after
// stripping) start with "+", "-", "@@" or "diff ".
[[nodiscard]] bool _is_diff(std::string_view text);

// A normalised selection: first line and column, last line and column, (y1, x1) not after
// (y2, x2); x2 is exclusive. Columns count characters of the line's text, or screen cells where
// said.
struct SelectionRange {
  int y1 = 0;
  int x1 = 0;
  int y2 = 0;
  int x2 = 0;
  friend bool operator==(const SelectionRange&, const SelectionRange&) = default;
};

// Named options of the base log, less `wrap`: the transcript always wraps.
struct ScrollbackOptions {
  bool auto_scroll = true;
  int min_width = 78;
  std::string id;
};

class Scrollback : public termui::RichLog {
 public:
  static constexpr std::string_view DEFAULT_CSS =
      "\n    Scrollback {\n        height: 1fr;\n        overflow-y: scroll;\n"
      "        overflow-x: hidden;\n        padding: 0 1;\n        scrollbar-size: 1 1;\n"
      "    }\n    ";
  // The framework's own text selection stays off: the widget selects text itself.
  static constexpr bool ALLOW_SELECT = false;

  explicit Scrollback(ScrollbackOptions options = {});

  [[nodiscard]] std::vector<std::string_view> css_sources() const override {
    return {DEFAULT_CSS, RichLog::DEFAULT_CSS};
  }

  void on_mount() override;
  // A new width lays out the rows in view (and a page either side) at once; the rest follow
  // as they are scrolled to.
  void on_resize() override;
  bool on_key(const termui::KeyEvent& key) override;
  bool on_mouse_scroll(termui::MouseEvent& event) override;

  // ---- what the host calls ----
  void append_user(std::string_view text);
  void append_queued(std::string_view text);
  void append_assistant(std::string_view text);
  void append_info(std::string_view text);
  void append_error(std::string_view text);
  void append_thinking(std::string_view text, bool expanded = false);
  void append_tool(std::string_view name, std::string_view args);
  void append_tool_done(std::string_view name, std::string_view args, std::string_view summary);
  void append_tool_result(std::string_view result, bool error = false);
  // Without options, a yes/no question (1 allows, 2 denies); with them, option i is chosen by
  // the number i + 1.
  void append_approval(std::string_view tool_name, std::string_view command,
                       const std::vector<std::string>& options = {});
  // Builds the summary line from the turn's numbers and records it as text. `tokens_in` is
  // accepted but not shown.
  void append_turn_summary(double elapsed, const std::vector<std::string>& tools,
                           std::int64_t tokens_in = 0, std::int64_t tokens_out = 0,
                           double cost_saved = 0.0);
  // Records an entry of any kind and draws it below everything else.
  void append(EntryRecord record);
  // Puts `record` in place of entry `index` (an item that changed: a tool call that finished, a
  // plan that moved on) and draws it again where it stands, with what follows it; the reader's
  // view stays where it was. An index past the history is ignored.
  void replace_entry(std::size_t index, EntryRecord record);
  void reset_steps() { _step_count = 0; }
  // Records a blank line and writes it.
  void _spacer();
  // A piece of answer text: writes every line it completes, keeps the unfinished one.
  void stream_token(std::string_view token);
  // The end of the answer: writes what is left and records `full_text` for later redraws.
  void finish_stream(std::string_view full_text = {});
  // The end of the answer, recorded as it streamed: the transcript keeps the one copy of the
  // text (a clear in the middle of the stream drops its rows, not its text). Returns the text
  // recorded; empty when no stream was open or the answer was blank.
  std::string_view finish_streamed_answer();
  // Whether an answer is streaming (its first token came and its end has not).
  [[nodiscard]] bool stream_open() const { return _stream_started; }
  // Draws the answer just ended by `finish_stream` again through the answer renderer (Markdown
  // when it has markers) in place of its streamed lines, with whatever was drawn after it.
  void render_finished_answer();
  // Empties the display and, unless a re-render is running, the history.
  void clear() override;

  // ---- what the host and tests read ----
  [[nodiscard]] const std::vector<HistoryEntry>& history() const { return _history; }
  // Lines written since the last clear or redraw (write calls, not the rows they wrap into).
  [[nodiscard]] int line_count() const { return _line_counter; }
  // Tool headers drawn since the last reset_steps (redraws count theirs again).
  [[nodiscard]] int step_count() const { return _step_count; }
  // Whether the rows being written are a redraw of recorded entries rather than new output.
  [[nodiscard]] bool rerendering() const { return _rerendering; }
  // Display row of each thinking header drawn → its history index.
  [[nodiscard]] const std::map<int, int>& thinking_headers() const { return _thinking_line_map; }

  // Every line passes here: rendered at the widget's width − 2 unless the caller gives a width.
  using RichLog::write;
  termui::RichLog& write(const styled::Renderable& content,
                         std::optional<int> width = std::nullopt) override;

  // ---- selection and clipboard (selection.cpp, clipboard.cpp) ----
  // Press, drag, release: a selection copied to the clipboard on release, or, when the pointer
  // stayed within two columns on its line, a click handed to the thinking toggle.
  void on_mouse_down(termui::MouseEvent& event) override;
  void on_mouse_move(termui::MouseEvent& event) override;
  void on_mouse_up(termui::MouseEvent& event) override;
  // The selected range with columns mapped from screen cells to characters; nullopt when
  // nothing is selected.
  [[nodiscard]] std::optional<SelectionRange> _sel_range() const;
  // The selected text of the current lines, rows joined by "\n".
  [[nodiscard]] std::string _extract_selection() const;
  [[nodiscard]] std::string get_selection() const;
  // The base row with the selected characters on the highlight background.
  [[nodiscard]] termui::Strip render_line(int y) override;
  // Puts `text` on the clipboard; throws termui::ClipboardError when no way out worked.
  void _set_clipboard_osc52(std::string_view text);

  // How the clipboard writer leaves the process; tests put their own in.
  termui::ClipboardPorts clipboard_ports = termui::ClipboardPorts::real();

  // ---- search (search.cpp) ----
  // Looks for `query` in every entry (smart case: a query without capitals ignores case),
  // folded thinking and long results included, marks the matches in the rows drawn, and shows
  // a current match: the one it was on when it still matches, else the first from the entry at
  // the top of the view on. The empty query marks nothing.
  void search(std::string_view query);
  // Moves to the next (direction > 0) or previous match, round from the last to the first and
  // back, and shows it: a folded thinking block that holds it opens, the view scrolls to it.
  void search_step(int direction);
  // Leaves the search: the marks go, the view stays where the search took it.
  void end_search();
  struct SearchStatus {
    std::size_t current = 0;  // the current match's place among them, from 1; 0: none
    std::size_t total = 0;
  };
  // Counts the entries added since the last search operation too.
  [[nodiscard]] SearchStatus search_status();
  [[nodiscard]] bool searching() const { return searching_; }

  // ---- redrawing ----
  // Clears the display and draws every history entry again, keeping the scroll offset.
  void _rerender();
  // A click at display row `y` (counted from the top of the whole transcript, not the view):
  // flips the thinking block whose header is within two rows of it and redraws. Never throws
  // an ordinary error: a click that fails changes what it got to and nothing else.
  void _handle_thinking_click(int y);

 protected:
  // Counts `count` written lines; returns the number of the first of them.
  int _track_lines(int count = 1);
  // One line of an item: written, then counted (every renderer's write goes through here).
  void write_line(const styled::Renderable& line);
  // An empty line before an item.
  void write_blank();
  // The width a line written without a width is rendered at (see `write` and the base log).
  [[nodiscard]] int line_width() const;
  // Width an answer is filled at, streamed or redrawn: the terminal's less eight, at least 38,
  // and no wider than the rows shown less the two-column indent.
  [[nodiscard]] int answer_width() const;
  // The terminal width as the renderers read it; nullopt when it cannot be read.
  [[nodiscard]] std::optional<int> app_width() const;

 private:
  // ---- renderers: one per kind, draw only (recording is the caller's business) ----
  void render_record(const entries::Spacer&);
  void render_record(const entries::User& r) { _render_user(r.text); }
  void render_record(const entries::Queued& r) { _render_queued(r.text); }
  void render_record(const entries::Assistant& r) { _render_assistant(r.text); }
  void render_record(const entries::Info& r) { _render_info(r.text); }
  void render_record(const entries::Error& r) { _render_error(r.text); }
  void render_record(const entries::Thinking& r) { _render_thinking(r.text, r.expanded); }
  void render_record(const entries::Tool& r) { _render_tool(r.name, r.args); }
  void render_record(const entries::ToolDone& r) { _render_tool_done(r.name, r.args, r.summary); }
  void render_record(const entries::ToolResult& r) { _render_tool_result(r.result, r.error); }
  void render_record(const entries::Approval& r) {
    _render_approval(r.tool_name, r.command, r.options);
  }
  void render_record(const entries::TurnSummary& r) { _render_turn_summary(r.text); }
  void render_record(const entries::Raw& r);
  void render_record(const entries::ToolCall& r);  // live_entries.cpp
  void render_record(const entries::Plan& r);

  void _render_user(std::string_view text);
  void _render_queued(std::string_view text);
  void _render_assistant(std::string_view text);
  void _render_info(std::string_view text);
  void _render_error(std::string_view text);
  // Notes the header's row under the entry being drawn.
  void _render_thinking(std::string_view text, bool expanded);
  void _render_tool(std::string_view name, std::string_view args);
  void _render_tool_done(std::string_view name, std::string_view args, std::string_view summary);
  void _render_tool_result(std::string_view result, bool error);
  void _render_diff(std::string_view diff_text);
  void _render_approval(std::string_view tool_name, std::string_view command,
                        std::span<const std::string> options);
  void _render_turn_summary(std::string_view summary_text);
  void _write_wrapped(std::string_view line);
  [[nodiscard]] int _stream_avail_width() const;

  // ---- state (written only here) ----
  std::vector<HistoryEntry> _history;
  // Display row of each thinking header drawn → its history index.
  std::map<int, int> _thinking_line_map;
  std::optional<std::pair<int, int>> _sel_start;
  std::optional<std::pair<int, int>> _sel_end;
  bool _selecting = false;
  std::string _selected_text;
  int _line_counter = 0;
  int _step_count = 0;
  std::string _stream_text;
  bool _stream_started = false;
  bool _rerendering = false;

  // The selection's two ends as (content line, screen cell), the earlier first.
  [[nodiscard]] std::optional<SelectionRange> selection_cells() const;

  // Draws history entry i at the end of the display, from its cache when the layout matches.
  void draw_entry(std::size_t i);
  // Draws entry i and everything after it again in place (an open stream below them), keeping
  // the reader's view; a whole redraw when the rows on display no longer match the entries.
  // i may be the history's size: the open stream alone.
  void redraw_from(std::size_t i);
  // The same without minding the view: from display row `row` and line count `line` on.
  void redraw_tail(std::size_t i, std::size_t row, int line);
  // Draws entry i again in its place, keeping the reader's view.
  void redraw_entry(std::size_t i);

  // ---- layout (layout.cpp) ----
  // Where the reader is: at the end, or on a row of an entry.
  struct ViewAnchor {
    bool at_end = true;
    std::size_t entry = 0;
    int within = 0;
  };
  [[nodiscard]] ViewAnchor view_anchor() const;
  void restore_anchor(const ViewAnchor& anchor);
  // The entry whose rows hold display row `row` (the last one starting at or before it).
  [[nodiscard]] std::size_t entry_at_row(std::size_t row) const;
  // The row after entry i's rows.
  [[nodiscard]] std::size_t entry_end_row(std::size_t i) const;
  [[nodiscard]] bool laid_out(std::size_t i) const { return _history[i].layout == layout_; }
  // Starts a new layout: the open stream is drawn again, the rows around the view laid out.
  void lay_out_again();
  // Lays out the entries of an older layout within a page of the view, keeping `anchor`.
  void lay_out_view(const ViewAnchor& anchor);
  // Draws entries [k, m) again at the current layout in place of their rows.
  void relayout_range(std::size_t k, std::size_t m);
  // Flips a thinking block and draws it again.
  void toggle_thinking(std::size_t i);
  // Ends the open stream and records `full_text` as the answer unless it is blank.
  void end_stream(std::string full_text);
  // Writes the open stream's lines again, below a redrawn history.
  void redraw_stream();
  // Writes rows `from` on of filled text, each indented by two columns.
  void write_filled_rows(std::string_view filled, std::size_t from);
  // The unfinished line of the stream: shows its settled rows for good and the rest
  // provisionally; takes the provisional rows away; writes what the line still lacks once it is
  // complete (a blank line only when `keep_blank`); forgets what was shown of it.
  void show_open_line();
  void drop_provisional();
  void end_open_line(std::string_view line, bool keep_blank);
  void reset_open_line();
  // The approval's command in full, folded at the width, every character kept and visible.
  void write_whole_command(std::string_view command);

  // ---- search (search.cpp) ----
  // Where the current match is drawn: a row of its entry and the bytes of that row's text,
  // with the row as it was then (a row drawn again differently is looked up again).
  struct SearchSpot {
    TranscriptSearch::Match match;
    std::size_t rows = 0;  // rows of the entry then
    std::size_t row_in_entry = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool drawn = false;  // false: the match lies in a part the entry folds away
    // Not drawn, but folded away under the row that says so ("… +N more lines"), at
    // row_in_entry: that row is marked in its place.
    bool under_fold = false;
    // Cut by a row's end: the bytes of the next row that hold the rest of it.
    std::optional<std::pair<std::size_t, std::size_t>> rest;
    termui::Strip row;
  };
  // The current match brought into view: its entry unfolded and laid out, then scrolled to.
  void show_current_match();
  // Where the current match is drawn now.
  [[nodiscard]] const SearchSpot* current_spot();
  // The row with every match of the query marked, the current one apart.
  [[nodiscard]] termui::Strip with_search_marks(termui::Strip strip, std::size_t content_row);

  TranscriptSearch search_;
  bool searching_ = false;
  std::optional<SearchSpot> spot_;

  std::size_t drawing_ = 0;             // index of the entry being drawn
  std::size_t stream_first_row_ = 0;    // where the open stream's lines begin
  int stream_first_counter_ = 0;        // the line counter there
  std::size_t stream_first_entry_ = 0;  // the history's size when it began
  // The entry the last finish_stream recorded, drawn as streamed until it is rendered whole.
  std::optional<std::size_t> finished_answer_;
  // The open stream's completed lines as they came, each ending in "\n": with `_stream_text`
  // the answer so far. From `stream_shown_from_` on they are on display (a clear drops the
  // rows before), to be filled again at a new width.
  std::string stream_done_;
  std::size_t stream_shown_from_ = 0;
  bool stream_blank_shown_ = false;  // its leading blank line is on display
  // What is on display of the unfinished line.
  struct OpenLine {
    int width = 0;              // fill width, fixed while the line has settled rows shown
    std::size_t base = 0;       // bytes of the line before the row filling restarts from
    std::size_t fixed = 0;      // rows filled from `base` that are written for good
    std::size_t committed = 0;  // rows of the whole line written for good
    bool provisional_shown = false;
    std::size_t provisional_row = 0;  // first display row of the provisional rows
    int provisional_counter = 0;      // the line counter before them
    std::size_t word_start = 0;       // where the word still arriving begins
    std::size_t shown_size = 0;       // bytes of the line when it was last shown
  };
  OpenLine open_;
  int layout_ = 0;        // the current layout (see HistoryEntry::layout)
  int drawn_width_ = -1;  // widget width of the current drawing
  unicode::WidthMode drawn_widths_ = unicode::width_mode();  // and how it measured text
};

}  // namespace zell::tui::widgets
