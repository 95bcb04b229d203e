#pragma once
// What the transcript records: one record per item, each kind a struct with its fields by
// name, and beside it what the item drew at the last layout, so that a redraw at the same
// widths copies its rows instead of rendering them again.
//
// Adding a kind takes one record here (with its `kind` name, added to `EntryRecord`) and one
// `render_record` overload in Scrollback; the compiler then points at anything that must handle
// it.

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "styled/renderable.h"
#include "termui/strip.h"
#include "unicode/width.h"
#include "zell/tui/widgets/scrollback/live_entries.h"

namespace zell::tui::widgets {

namespace entries {

// A blank line.
struct Spacer {
  static constexpr std::string_view kind = "spacer";
};
// A prompt the user sent.
struct User {
  static constexpr std::string_view kind = "user";
  std::string text;
};
// A prompt waiting for the turn before it to end.
struct Queued {
  static constexpr std::string_view kind = "queued";
  std::string text;
};
// An answer, drawn as Markdown when it has markers.
struct Assistant {
  static constexpr std::string_view kind = "assistant";
  std::string text;
};
struct Info {
  static constexpr std::string_view kind = "info";
  std::string text;
};
struct Error {
  static constexpr std::string_view kind = "error";
  std::string text;
};
// A thinking block, folded to one line or open.
struct Thinking {
  static constexpr std::string_view kind = "thinking";
  std::string text;
  bool expanded = false;
};
// A tool call as it starts.
struct Tool {
  static constexpr std::string_view kind = "tool";
  std::string name;
  std::string args;
};
// A tool call that has finished, with a short summary of what it did.
struct ToolDone {
  static constexpr std::string_view kind = "tool_done";
  std::string name;
  std::string args;
  std::string summary;
};
struct ToolResult {
  static constexpr std::string_view kind = "tool_result";
  std::string result;
  bool error = false;
};
// The question whether a tool may run.
struct Approval {
  static constexpr std::string_view kind = "approval";
  std::string tool_name;
  std::string command;
  std::vector<std::string> options;  // the answers offered, numbered from 1; none: yes/no
};
// The line that closes a turn, built once from its numbers.
struct TurnSummary {
  static constexpr std::string_view kind = "turn_summary";
  std::string text;
};
// Anything renderable, written unchanged.
struct Raw {
  static constexpr std::string_view kind = "raw";
  std::shared_ptr<const styled::Renderable> renderable;
};

}  // namespace entries

using EntryRecord =
    std::variant<entries::Spacer, entries::User, entries::Queued, entries::Assistant, entries::Info,
                 entries::Error, entries::Thinking, entries::Tool, entries::ToolDone,
                 entries::ToolResult, entries::Approval, entries::TurnSummary, entries::Raw,
                 entries::ToolCall, entries::Plan>;

// The kind's name ("user", "tool_result", …).
[[nodiscard]] inline std::string_view kind_of(const EntryRecord& record) {
  return std::visit([](const auto& r) -> std::string_view { return r.kind; }, record);
}

// The rows one entry drew at one layout.
struct EntryDrawing {
  int widget_width = -1;  // -1: not drawn (or its rows are not kept)
  int terminal_width = -1;
  unicode::WidthMode widths = unicode::WidthMode::code_points;  // how text was measured
  std::vector<termui::Strip> strips;
  int writes = 0;                // lines written (the line counter's share)
  int steps = 0;                 // tool steps counted
  std::vector<int> header_rows;  // thinking headers, rows from the entry's first row
  // The rows' text, for the entries searched in what they drew (search_text.h); else empty.
  std::string text;
};

struct HistoryEntry {
  EntryRecord record;
  EntryDrawing drawn;
  // Where the entry begins on display: its first row, and the line counter there.
  std::size_t first_row = 0;
  int first_line = 0;
  // The layout its rows were drawn at (the transcript counts its layouts: a new width is a new
  // one); rows of an older layout wait to be laid out again until they come into view.
  int layout = 0;

  [[nodiscard]] std::string_view kind() const { return kind_of(record); }
  // The record when it is of kind R, else null.
  template <typename R>
  [[nodiscard]] const R* as() const {
    return std::get_if<R>(&record);
  }
};

}  // namespace zell::tui::widgets
