#pragma once
// A pilot-driven screen holding one Scrollback that fills it, for the transcript's tests and
// benchmarks.

#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "styled/text.h"
#include "termui/app.h"
#include "termui/pilot.h"
#include "termui/screen.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets::testing {

// A transcript that also keeps the plain text of every line it writes, exactly (the drawn rows
// are padded to the width, which hides trailing spaces), for as long as the line is on display.
class RecordingScrollback : public Scrollback {
 public:
  termui::RichLog& write(const styled::Renderable& content,
                         std::optional<int> width = std::nullopt) override {
    if (!recording) return Scrollback::write(content, width);
    const std::size_t row = lines().size();
    // Lines at or below this row were taken away (a provisional row, a clear, a redraw).
    while (!records_.empty() && records_.back().first >= row) records_.pop_back();
    const auto* text = dynamic_cast<const styled::Text*>(&content);
    records_.emplace_back(row, text ? text->plain() : std::string("<renderable>"));
    return Scrollback::write(content, width);
  }
  // The lines written that are still on display (redraws that copy rows unchanged do not
  // write them again and are not seen here).
  // Benchmarks turn the recording off: they time the transcript, not the test's notes.
  bool recording = true;

  std::vector<std::string> written() const {
    std::vector<std::string> out;
    for (const auto& [row, text] : records_) {
      if (row < lines().size()) out.push_back(text);
    }
    return out;
  }

 private:
  std::vector<std::pair<std::size_t, std::string>> records_;
};

class TranscriptScreen : public termui::Screen {
 public:
  std::vector<std::unique_ptr<termui::Widget>> compose() override {
    std::vector<std::unique_ptr<termui::Widget>> out;
    out.push_back(std::make_unique<RecordingScrollback>());
    return out;
  }
};

class TranscriptApp : public termui::App {
 public:
  void on_mount() override { push_screen(std::make_unique<TranscriptScreen>()); }
  RecordingScrollback& log() { return screen().query_one<RecordingScrollback>("Scrollback"); }
};

// The main text of a recorded entry: a prompt's or an answer's text, a result, a tool's name.
inline std::string entry_text(const HistoryEntry& entry) {
  return std::visit(
      [](const auto& r) -> std::string {
        if constexpr (requires { r.text; }) {
          return r.text;
        } else if constexpr (requires { r.result; }) {
          return r.result;
        } else if constexpr (requires { r.name; }) {
          return r.name;
        } else {
          return "";
        }
      },
      entry.record);
}

// An App on a headless terminal of the given size, with the transcript laid out.
struct Transcript {
  explicit Transcript(termui::Size size = {100, 30}) : pilot(app, size) { pilot.pause(); }
  RecordingScrollback& log() { return app.log(); }
  // The plain text of every line written that is still shown, trailing spaces kept.
  std::vector<std::string> written() { return app.log().written(); }
  // The text of every line the log holds, trailing spaces removed.
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const auto& strip : app.log().lines()) {
      std::string t = strip.text();
      t.erase(t.find_last_not_of(' ') + 1);
      out.push_back(std::move(t));
    }
    return out;
  }
  TranscriptApp app;
  termui::Pilot pilot;
};

}  // namespace zell::tui::widgets::testing
