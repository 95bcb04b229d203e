#pragma once
// Writing the transcript to a file: Markdown (.md), HTML (.html, .htm) or an SVG picture of
// the screen (.svg), chosen by the file's extension, written atomically (a reader sees the old
// file or the whole new one). Nothing is cut: every entry is written whole.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "styled/light_palette.h"
#include "termui/cell_buffer.h"
#include "zell/tui/widgets/scrollback/history_entry.h"

namespace host::tui {

class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ExportFormat { markdown, html, svg };

// The format `path`'s extension names (case-insensitive); throws ExportError for any other.
[[nodiscard]] ExportFormat export_format(const std::filesystem::path& path);

// Writes the transcript (`history`, and for SVG the `screen` as shown) to `path`. Throws
// ExportError naming the file and the reason.
void export_transcript(const std::vector<zell::tui::widgets::HistoryEntry>& history,
                       const termui::CellBuffer& screen, const std::filesystem::path& path,
                       styled::ColorScheme scheme = styled::ColorScheme::dark);

// A file name for an export without one: "vellumine-YYYYMMDD-HHMMSS.md", local time.
[[nodiscard]] std::string default_export_name();

}  // namespace host::tui
