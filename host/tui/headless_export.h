#pragma once
// Playing a script on the full-screen application without a terminal and exporting what it
// showed: `vellumine --script FILE --export OUT`. The screen is a virtual one of `size`; every
// question the script asks is answered "allow" once it has been on screen (a script's tools
// run nothing). The export is written when the last turn has ended.

#include <filesystem>

#include "host/tui/vellumine_tui.h"
#include "termui/geometry.h"

namespace host::tui {

// Runs `app` headless until its script is played out, then exports to `out`. Throws
// ExportError when the file cannot be written, std::runtime_error when the script does not end
// within `limit_s` seconds of real time.
void play_and_export(VellumineTUI& app, const std::filesystem::path& out,
                     termui::Size size = {100, 30}, double limit_s = 120);

}  // namespace host::tui
