#include "host/tui/chat_screen.h"

#include <fmt/format.h>

#include <array>
#include <variant>

#include "host/tui/chat_input.h"
#include "host/tui/chat_log.h"
#include "host/tui/copy_last.h"
#include "host/tui/status_line.h"
#include "host/tui/vellumine_tui.h"
#include "termui/app.h"
#include "unicode/visible_command.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"

namespace host::tui {
namespace {

constexpr std::array<std::string_view, 6> SCROLL_KEYS{"pageup", "pagedown", "home",
                                                      "end",    "up",       "down"};

}  // namespace

ChatScreen::ChatScreen(VellumineTUI& app)
    : app_(app),
      turns_(TurnController::Hooks{
          [this](const PendingTurn& turn) { start(turn); },
          [this] { app_.interrupt_turn(); },
          [this](bool approved, const std::string& tool) { answered(approved, tool); },
          [this] { return app_.next_scripted_turn(); },
      }) {
  register_action("interrupt_or_quit", [this] { interrupt_or_quit(); });
  register_action("allow", [this] { turns_.answer(true); });
  register_action("deny", [this] { turns_.answer(false); });
  register_action("copy_answer", [this] { log_->append_info(copy_last(*log_, CopyWhat::answer)); });
  register_action("copy_code",
                  [this] { log_->append_info(copy_last(*log_, CopyWhat::code_block)); });
  for (std::string_view key : SCROLL_KEYS) {
    register_action(fmt::format("scroll_{}", key), [this, key] {
      log_->on_key(termui::KeyEvent{std::string(key), {}});
    });
  }
}

const std::vector<termui::Binding>& ChatScreen::bindings() const {
  static const std::vector<termui::Binding> BINDINGS = [] {
    std::vector<termui::Binding> b{
        {"ctrl+c", "interrupt_or_quit", "Stop the turn or quit", true, true},
        {"1", "allow", "Allow the command", false, true},
        {"2", "deny", "Deny the command", false, true},
        {"alt+c", "copy_answer", "Copy the last answer", false, true},
        {"alt+k", "copy_code", "Copy the last code block", false, true},
    };
    for (std::string_view key : SCROLL_KEYS) {
      b.push_back({std::string(key), fmt::format("scroll_{}", key), "Scroll", false, true});
    }
    return b;
  }();
  return BINDINGS;
}

bool ChatScreen::check_action(std::string_view name) {
  if (name == "allow" || name == "deny") return turns_.answer_counts(app().now());
  return true;
}

std::vector<std::unique_ptr<termui::Widget>> ChatScreen::compose() {
  auto log = std::make_unique<ChatLog>("chat-log");
  auto status = std::make_unique<StatusLine>("chat-status");
  auto input = std::make_unique<ChatInput>("chat-input");
  log_ = log.get();
  status_ = status.get();
  input_ = input.get();
  std::vector<std::unique_ptr<termui::Widget>> widgets;
  widgets.push_back(std::move(log));
  widgets.push_back(std::move(status));
  widgets.push_back(std::move(input));
  return widgets;
}

void ChatScreen::on_mount() {
  log_->on_view_changed = [this] { refresh_status(); };
  input_->on_typed = [this] { turns_.typed(app().now()); };
  input_->on_submit = [this](const std::string& text) { submit(text); };
  set_focus(input_);
  if (const std::string failed = app_.take_save_error(); !failed.empty()) {
    log_->append_error("Could not save the runtime mode (it applies to this run only): " + failed);
  }
  // The script starts once the screen has its size, as if the user had typed its prompts.
  app().call_later(0.0, [this] { turns_.run_next(); });
}

// ---- prompts and turns ----

void ChatScreen::submit(std::string_view text) {
  input_->set_value("");
  if (turns_.send(text) == TurnController::Sent::queued) {
    log_->append_queued(text);
  }
  refresh_status();
}

void ChatScreen::start(const PendingTurn& turn) {
  turn_.begin(TurnTracker::Clock::now());
  log_->reset_steps();
  if (turn.show_prompt) log_->append_user(turn.prompt);
  app_.start_turn(turn);
  tick_ = 0;
  ticker_ = app().set_interval(TICK_SECONDS, [this] {
    ++tick_;
    refresh_status();
  });
  refresh_status();
}

void ChatScreen::on_turn_finished(const TurnFinished& finished) {
  ticker_.stop();
  // A turn that ended without "done" or "error" may leave its answer open.
  if (log_->stream_open()) log_->finish_streamed_answer();
  if (!finished.failure.empty()) log_->append_error(finished.failure);
  if (summary_elapsed_) {
    log_->append_turn_summary(*summary_elapsed_, turn_.tools(), 0,
                              finished.tokens.value_or(turn_.tokens()));
  }
  summary_elapsed_.reset();
  turns_.finished();
  refresh_status();
}

// ---- the agent's events ----

void ChatScreen::on_agent_event(const events::TypedEvent& event) {
  turn_.on_event(event);
  std::visit(events::Overloaded{
                 [&](const events::ThinkingDone& e) { log_->append_thinking(e.text); },
                 [&](const events::ToolStart& e) { log_->append_tool(e.name, e.args); },
                 [&](const events::ToolResult& e) { log_->append_tool_result(e.result, e.error); },
                 [&](const events::Content& e) { log_->stream_token(e.chunk); },
                 [&](const events::Done&) {
                   // The answer streamed as raw lines; once it is whole, Markdown is drawn as
                   // Markdown, in place.
                   if (zell::tui::widgets::has_markdown(log_->finish_streamed_answer())) {
                     log_->render_finished_answer();
                   }
                   // The summary waits for the turn's end, where a model server's own token count
                   // arrives.
                   summary_elapsed_ = turn_.elapsed(TurnTracker::Clock::now());
                 },
                 [&](const events::Error& e) {
                   log_->finish_streamed_answer();
                   log_->append_error(e.message);
                 },
                 [&](const events::Info& e) { log_->append_info(e.text); },
                 // The status line shows these (through the turn tracker).
                 [](const events::ThinkingStart&) {}, [](const events::ThinkingChunk&) {},
                 [](const events::ThinkingPeek&) {}, [](const events::Stage&) {},
                 [](const events::StreamStart&) {}},
             event);
  refresh_status();
}

// ---- approvals ----

void ChatScreen::on_approval_request(const zell::tui::ApprovalRequest& request) {
  turns_.question_opened(request.tool_name, request.command, app().now());
  log_->append_approval(request.tool_name, request.command);
  refresh_status();
}

void ChatScreen::answered(bool approved, const std::string& tool) {
  app_.bridge().set_approval(approved);
  log_->append_info(
      fmt::format("{} {}", approved ? "Allowed:" : "Denied:", unicode::visible_command(tool)));
  refresh_status();
}

// ---- keys ----

void ChatScreen::interrupt_or_quit() {
  if (turns_.interrupt_or_quit() == TurnController::CtrlC::quit) {
    app().exit();
    return;
  }
  refresh_status();
}

// ---- status line ----

void ChatScreen::refresh_status() {
  std::string text;
  if (turns_.busy()) {
    if (turns_.interrupting()) {
      text = "· interrupting…";
    } else if (turns_.question()) {
      text = fmt::format("◆ waiting for your answer · 1 allow · 2 deny · {}",
                         short_duration(turn_.elapsed(TurnTracker::Clock::now())));
    } else {
      text = turn_.status_text(TurnTracker::Clock::now(), tick_);
    }
    if (turns_.queued() > 0) text += fmt::format(" · {} queued", turns_.queued());
  } else if (turns_.holding()) {
    text = fmt::format("{} queued · Enter sends {}", turns_.queued(),
                       turns_.queued() == 1 ? "it" : "them");
  }
  if (log_->new_output_below()) {
    if (!text.empty()) text += " · ";
    text += "↓ new output below (End)";
  }
  status_->set_text(text);
}

}  // namespace host::tui
