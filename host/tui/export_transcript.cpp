#include "host/tui/export_transcript.h"

#include <ctime>

#include "host/config/atomic_file.h"
#include "host/config/host_config.h"
#include "host/tui/export_html.h"
#include "host/tui/export_markdown.h"
#include "host/tui/export_svg.h"

namespace host::tui {

ExportFormat export_format(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (ext == ".md" || ext == ".markdown") return ExportFormat::markdown;
  if (ext == ".html" || ext == ".htm") return ExportFormat::html;
  if (ext == ".svg") return ExportFormat::svg;
  throw ExportError("cannot export to " + path.string() +
                    ": the name must end in .md, .html or .svg");
}

void export_transcript(const std::vector<zell::tui::widgets::HistoryEntry>& history,
                       const termui::CellBuffer& screen, const std::filesystem::path& path,
                       styled::ColorScheme scheme) {
  std::string contents;
  switch (export_format(path)) {
    case ExportFormat::markdown:
      contents = transcript_markdown(history);
      break;
    case ExportFormat::html:
      contents = transcript_html(history);
      break;
    case ExportFormat::svg:
      contents = screen_svg(screen, scheme);
      break;
  }
  try {
    config::replace_file_atomically(path, contents);
  } catch (const config::ConfigError& e) {
    throw ExportError(e.what());
  }
}

std::string default_export_name() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[64];
  std::strftime(name, sizeof name, "vellumine-%Y%m%d-%H%M%S.md", &local);
  return name;
}

}  // namespace host::tui
