#pragma once
// A pilot-driven screen holding one Scrollback that fills it, for the transcript's tests and
// benchmarks.

#include <memory>
#include <string>
#include <vector>

#include "termui/app.h"
#include "termui/pilot.h"
#include "termui/screen.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets::testing {

class TranscriptScreen : public termui::Screen {
 public:
  std::vector<std::unique_ptr<termui::Widget>> compose() override {
    std::vector<std::unique_ptr<termui::Widget>> out;
    out.push_back(std::make_unique<Scrollback>());
    return out;
  }
};

class TranscriptApp : public termui::App {
 public:
  void on_mount() override { push_screen(std::make_unique<TranscriptScreen>()); }
  Scrollback& log() { return screen().query_one<Scrollback>("Scrollback"); }
};

// An App on a headless terminal of the given size, with the transcript laid out.
struct Transcript {
  explicit Transcript(termui::Size size = {100, 30}) : pilot(app, size) { pilot.pause(); }
  Scrollback& log() { return app.log(); }
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
