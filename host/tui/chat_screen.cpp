#include "host/tui/chat_screen.h"

#include <fmt/format.h>

#include "host/tui/chat_input.h"
#include "host/tui/chat_log.h"
#include "host/tui/status_line.h"
#include "host/tui/vellumine_tui.h"
#include "termui/app.h"
#include "unicode/text_ops.h"
#include "unicode/visible_command.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"

namespace host::tui {
namespace {

bool is_scroll_key(std::string_view key) {
  return key == "pageup" || key == "pagedown" || key == "home" || key == "end" || key == "up" ||
         key == "down";
}

}  // namespace

ChatScreen::ChatScreen(VellumineTUI& app) : app_(app) {}

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
  input_->key_gate = [this](const termui::KeyEvent& key) { return gate_key(key); };
  input_->paste_blocked = [this] { return question_.has_value(); };
  input_->on_submit = [this](const std::string& text) { submit(text); };
  set_focus(input_);
  if (const std::string failed = app_.take_save_error(); !failed.empty()) {
    log_->append_error("Could not save the runtime mode (it applies to this run only): " + failed);
  }
  // The script starts once the screen has its size, as if the user had typed its prompts.
  app().call_later(0.0, [this] {
    if (!busy_) run_next();
  });
}

// ---- prompts and turns ----

void ChatScreen::submit(std::string_view text) {
  if (unicode::is_blank(text)) return;
  input_->set_value("");
  PendingTurn turn{std::string(text), true, nullptr};
  if (busy_) {
    log_->change([&] { log_->append_queued(turn.prompt); });
    queue_.push_back(std::move(turn));
    refresh_status();
    return;
  }
  run(std::move(turn));
}

void ChatScreen::run(PendingTurn turn) {
  busy_ = true;
  interrupting_ = false;
  turn_.begin(TurnTracker::Clock::now());
  log_->reset_steps();
  if (turn.show_prompt) log_->change([&] { log_->append_user(turn.prompt); });
  app_.start_turn(turn);
  tick_ = 0;
  ticker_ = app().set_interval(TICK_SECONDS, [this] {
    ++tick_;
    refresh_status();
  });
  refresh_status();
}

void ChatScreen::run_next() {
  if (!queue_.empty()) {
    PendingTurn next = std::move(queue_.front());
    queue_.pop_front();
    run(std::move(next));
  } else if (auto scripted = app_.next_scripted_turn()) {
    run(std::move(*scripted));
  }
}

void ChatScreen::on_turn_finished(const TurnFinished& finished) {
  ticker_.stop();
  log_->change([&] {
    // A turn that ended without "done" or "error" may leave its answer open.
    if (log_->stream_open()) log_->finish_stream(turn_.take_answer());
    if (!finished.failure.empty()) log_->append_error(finished.failure);
    if (summary_elapsed_) {
      log_->append_turn_summary(*summary_elapsed_, turn_.tools(), 0,
                                finished.tokens.value_or(turn_.tokens()));
    }
  });
  summary_elapsed_.reset();
  busy_ = false;
  interrupting_ = false;
  question_.reset();  // the agent is gone: nobody waits for an answer
  run_next();
  refresh_status();
}

// ---- the agent's events ----

void ChatScreen::on_agent_event(const zell::tui::AgentEvent& event) {
  const zell::Payload& p = *event.payload;
  const std::string& type = event.event_type;
  turn_.on_event(type, p);
  log_->change([&] {
    if (type == "thinking_done") {
      log_->append_thinking(p.get("text"));
    } else if (type == "tool_start") {
      log_->append_tool(p.get("name"), p.get("args"));
    } else if (type == "tool_result") {
      log_->append_tool_result(p.get("result"), p.get("error") == "true");
    } else if (type == "content") {
      log_->stream_token(p.get("chunk"));
    } else if (type == "done") {
      const std::string answer = turn_.take_answer();
      log_->finish_stream(answer);
      // The answer streamed as raw lines; once it is whole, Markdown is drawn as Markdown.
      // Everything above comes from the transcript's cache, so this costs the answer alone.
      if (zell::tui::widgets::has_markdown(answer)) log_->render_finished_answer();
      // The summary waits for the turn's end, where a model server's own token count arrives.
      summary_elapsed_ = turn_.elapsed(TurnTracker::Clock::now());
    } else if (type == "error") {
      log_->finish_stream(turn_.take_answer());
      log_->append_error(p.get("message"));
    }
  });
  refresh_status();
}

// ---- approvals ----

void ChatScreen::on_approval_request(const zell::tui::ApprovalRequest& request) {
  question_ = Question{request.tool_name, request.command};
  log_->change([&] { log_->append_approval(request.tool_name, request.command); });
  refresh_status();
}

void ChatScreen::answer(bool approved) {
  if (!question_) return;
  const std::string tool = question_->tool;
  question_.reset();
  app_.bridge().set_approval(approved);
  log_->change([&] {
    log_->append_info(
        fmt::format("{} {}", approved ? "Allowed:" : "Denied:", unicode::visible_command(tool)));
  });
  refresh_status();
}

// ---- keys ----

bool ChatScreen::gate_key(const termui::KeyEvent& key) {
  if (key.key == "ctrl+c") {
    interrupt_or_quit();
    return true;
  }
  if (is_scroll_key(key.key)) {
    log_->on_key(key);
    return true;
  }
  if (!question_) return false;
  if (key.key == "1") {
    answer(true);
  } else if (key.key == "2") {
    answer(false);
  }
  return true;  // nothing else is typed while a question is open
}

void ChatScreen::interrupt_or_quit() {
  if (!busy_) {
    app().exit();
    return;
  }
  if (interrupting_) {  // a second Ctrl+C does not wait for the agent's next step
    app().exit();
    return;
  }
  interrupting_ = true;
  if (question_) answer(false);
  app_.interrupt_turn();
  refresh_status();
}

// ---- status line ----

void ChatScreen::refresh_status() {
  std::string text;
  if (busy_) {
    if (interrupting_) {
      text = "· interrupting…";
    } else if (question_) {
      text = fmt::format("◆ waiting for your answer · 1 allow · 2 deny · {}",
                         short_duration(turn_.elapsed(TurnTracker::Clock::now())));
    } else {
      text = turn_.status_text(TurnTracker::Clock::now(), tick_);
    }
    if (!queue_.empty()) text += fmt::format(" · {} queued", queue_.size());
  }
  if (log_->new_output_below()) {
    if (!text.empty()) text += " · ";
    text += "↓ new output below (End)";
  }
  status_->set_text(text);
}

}  // namespace host::tui
