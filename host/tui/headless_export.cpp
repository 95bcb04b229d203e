#include "host/tui/headless_export.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "host/tui/chat_log.h"
#include "host/tui/chat_screen.h"
#include "host/tui/export_transcript.h"
#include "termui/pilot.h"

namespace host::tui {

void play_and_export(VellumineTUI& app, const std::filesystem::path& out, termui::Size size,
                     double limit_s) {
  (void)export_format(out);  // a wrong name fails before the script is played
  // The application's clock is ours: a question counts as read once it is moved past the
  // answer delay, without waiting for it.
  auto now = termui::App::Clock::now();
  app.set_clock([&now] { return now; });
  termui::Pilot pilot(app, size);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(limit_s));
  for (;;) {
    now += std::chrono::milliseconds(20);
    pilot.pause();
    ChatScreen* chat = app.chat();
    if (chat && chat->approval_open()) {
      now += std::chrono::seconds(1);
      pilot.press("1");
      continue;
    }
    if (chat && !chat->busy() && app.script_done()) break;
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("the script did not end in time; nothing was exported");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  export_transcript(app.chat()->log().history(), app.screen_cells(), out, app.color_scheme());
}

}  // namespace host::tui
