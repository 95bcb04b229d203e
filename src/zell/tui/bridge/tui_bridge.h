#pragma once
// TUIBridge: carries agent events from the worker thread to the full-screen application as
// posted messages, and blocks the worker during an approval until the UI thread answers.
//
//   TUIBridge bridge(app);
//   manager.set_event_callback([&](const std::string& t, std::shared_ptr<Payload> p) {
//     bridge.on_event(t, std::move(p));
//   });
//   ... on the UI thread, with each AgentEvent, before reading it: bridge.take(event);
//   manager.set_approval_callback([&](auto tool, auto cmd) {
//     return bridge.request_approval(tool, cmd);
//   });
//   ... on the UI thread, when the user answers: bridge.set_approval(true);
//   ... when the application ends: bridge.close();

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zell/manual_reset_event.h"
#include "zell/payload.h"
#include "zell/ports/host_app.h"

namespace zell::tui {

class AgentEvent;

class TUIBridge {
 public:
  explicit TUIBridge(ports::HostApp& tui_app) : tui_app(tui_app) {}
  TUIBridge(const TUIBridge&) = delete;
  TUIBridge& operator=(const TUIBridge&) = delete;

  // Worker thread. Posts an AgentEvent carrying `payload` itself, with `named` merged into it
  // in place (replacing values under the same keys); a null payload becomes a new mapping of
  // the named values. Ordinary errors while posting drop the event silently; zell::Interrupt
  // and zell::ExitRequest pass through. Returns whether a message was posted: false when the
  // event was dropped or joined one still waiting (see `join_content`).
  bool on_event(std::string_view event_type, std::shared_ptr<Payload> payload,
                const Payload& named = {});
  // The direct form: the named values are the payload.
  bool on_event(std::string_view event_type, const Payload& named = {});

  // Set before events flow. An answer's "content" events ("chunk", "chars", "tokens") that come
  // while the last one posted still waits for the UI thread join it instead of being posted:
  // its chunk grows, its character count adds up, its token count is the latest. However far
  // the UI thread falls behind, it then takes the text waiting in one event and one append.
  // Nothing joins across an event of another kind. The UI thread must `take` every AgentEvent
  // before it reads it.
  void join_content(bool on) { join_content_ = on; }
  // UI thread, joining on: the event is handled now; later chunks no longer join it.
  void take(const AgentEvent& event);

  // Worker thread. Posts an ApprovalRequest and waits, without a time limit, for the answer.
  // Errors while posting reach the caller. Returns false at once once the bridge is closed,
  // and a waiting worker is released with false when it closes.
  bool request_approval(std::string_view tool_name, std::string_view command);
  // The same with the agent's own options: the index of the chosen one, or nullopt when the
  // question was cancelled (or the bridge closed).
  std::optional<std::size_t> request_choice(std::string_view tool_name, std::string_view command,
                                            std::vector<std::string> options);

  // UI thread: the user's answer to the pending request (choice 0 allows a yes/no question,
  // any other denies it; nullopt cancels).
  void set_choice(std::optional<std::size_t> choice);
  void set_approval(bool approved) { set_choice(approved ? 0 : 1); }

  // The application is ending: a waiting worker is denied, later requests are denied at once,
  // later events are dropped. Once it returns, nothing more is posted.
  void close();
  [[nodiscard]] bool closed() const { return closed_.load(); }

  ports::HostApp& tui_app;

 private:
  static constexpr long long kCancelled = -1;
  // Writes what joined the open content event into its payload, if it is still there, and
  // forgets it (under post_mutex_).
  void settle(Payload* open);
  ManualResetEvent _approval_event;
  std::atomic<long long> _approval_result{kCancelled};
  // Held while posting, so that close() never returns while a post is under way.
  std::mutex post_mutex_;
  std::atomic<bool> closed_{false};

  // The content event posted last while the UI thread has not taken it (under post_mutex_), and
  // what joined it so far: written into its payload when the UI thread takes it.
  bool join_content_ = false;
  std::weak_ptr<Payload> open_content_;
  bool joined_ = false;
  std::string joined_chunk_;
  long long joined_chars_ = 0;
  std::string joined_tokens_;
};

}  // namespace zell::tui
