#include "bench/acp/acp_app.h"

#include <algorithm>
#include <thread>

#include "host/acp/acp_runner_agent.h"
#include "termui/cell_buffer.h"
#include "zell/tui/bridge/messages.h"

namespace bench_acp {
namespace {

using std::chrono::milliseconds;

// Marks, in posting order, that the content event posted just before it has been handled; its
// payload then holds every chunk that joined it while it waited.
class Stamp final : public termui::Message {
 public:
  explicit Stamp(std::shared_ptr<zell::Payload> payload) : payload(std::move(payload)) {}
  std::shared_ptr<zell::Payload> payload;
};

std::vector<std::string> rows_of(const termui::CellBuffer& cells) {
  std::vector<std::string> rows;
  for (int y = 0; y < cells.height(); ++y) {
    std::string row;
    for (int x = 0; x < cells.width(); ++x) row += cells.at(x, y).text;
    rows.push_back(std::move(row));
  }
  return rows;
}

Sight::Last last_turn_line(const std::vector<std::string>& rows, const std::string& waiting) {
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    if (row->find(waiting) != std::string::npos) return Sight::Last::waiting;
    if (row->find("Interrupted") != std::string::npos ||
        row->find("ancelled") != std::string::npos) {
      return Sight::Last::stopped;
    }
  }
  return Sight::Last::none;
}

}  // namespace

std::size_t burst_chunks_in(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), 'w'));
}

AcpApp::AcpApp(host::acp::AcpOptions options)
    : BenchApp({}, 0, [options](zell::output::OutputManager& manager) {
        return std::make_unique<host::acp::AcpRunnerAgent>(manager, options);
      }) {
  on<Stamp>([this](Stamp& s) {
    const std::size_t chunks = burst_chunks_in(s.payload->get("chunk"));
    handled += chunks;
    handled_at.insert(handled_at.end(), chunks, Clock::now());
    ++events;
  });
}

bool AcpApp::post_message(std::unique_ptr<termui::Message> message) {
  const auto* event = dynamic_cast<const zell::tui::AgentEvent*>(message.get());
  std::shared_ptr<zell::Payload> content =
      event && event->event_type == "content" ? event->payload : nullptr;
  const bool posted_ok = BenchApp::post_message(std::move(message));
  if (content) BenchApp::post_message(std::make_unique<Stamp>(std::move(content)));
  return posted_ok;
}

void AcpApp::wait_idle() {
  for (bool busy = true; busy;) {
    call([&] { busy = chat_screen().busy(); });
    if (busy) std::this_thread::sleep_for(milliseconds(2));
  }
}

void ScreenWatch::on_frame(Clock::time_point at) {
  if (!sight_ || seen_at_) return;
  const auto rows = rows_of(app_.screen_cells());
  const bool seen = sight_->last != Sight::Last::none
                        ? last_turn_line(rows, sight_->waiting) == sight_->last
                        : std::any_of(rows.begin(), rows.end(), [&](const std::string& r) {
                            return r.find(sight_->text) != std::string::npos;
                          });
  if (seen) seen_at_ = at;
}

void ScreenWatch::watch(Sight sight) {
  app_.call([&] {
    sight_ = std::move(sight);
    seen_at_.reset();
  });
}

Clock::time_point ScreenWatch::wait_seen() {
  for (;;) {
    std::optional<Clock::time_point> at;
    app_.call([&] { at = seen_at_; });
    if (at) return *at;
    std::this_thread::sleep_for(milliseconds(1));
  }
}

std::vector<double> time_cancels(AcpApp& app, bench_app::UiThread& ui, ScreenWatch& screen,
                                 const std::string& prompt, const std::string& waiting, int rounds,
                                 std::vector<double>* over_ms) {
  std::vector<double> ms;
  for (int round = 0; round < rounds; ++round) {
    screen.watch({{}, Sight::Last::waiting, waiting});
    ui.send(prompt + "\r");
    screen.wait_seen();
    screen.watch({{}, Sight::Last::stopped, waiting});
    const Clock::time_point pressed = Clock::now();
    ui.send("\x03");
    ms.push_back(std::chrono::duration<double, std::milli>(screen.wait_seen() - pressed).count());
    app.wait_idle();
    if (over_ms) {
      over_ms->push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
  }
  return ms;
}

}  // namespace bench_acp
