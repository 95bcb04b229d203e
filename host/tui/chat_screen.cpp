#include "host/tui/chat_screen.h"

#include <fmt/format.h>

#include <array>
#include <filesystem>
#include <type_traits>
#include <variant>

#include "host/tui/chat_input.h"
#include "host/tui/chat_log.h"
#include "host/tui/copy_last.h"
#include "host/tui/export_transcript.h"
#include "host/tui/prompt_editor.h"
#include "host/tui/prompt_popup.h"
#include "host/tui/search_bar.h"
#include "host/tui/status_line.h"
#include "host/tui/vellumine_tui.h"
#include "termui/app.h"
#include "unicode/visible_command.h"
#include "zell/tui/screens/preflight/preflight_screen.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"

namespace host::tui {
namespace {

// Keys that scroll the transcript, and the transcript's own key each one stands for.
struct ScrollKey {
  std::string_view key;
  std::string_view log_key;
};
constexpr std::array<ScrollKey, 8> SCROLL_KEYS{{{"pageup", "pageup"},
                                                {"pagedown", "pagedown"},
                                                {"ctrl+home", "home"},
                                                {"ctrl+end", "end"},
                                                {"shift+up", "up"},
                                                {"shift+down", "down"},
                                                {"home", "home"},
                                                {"end", "end"}}};

std::string action_for(const ScrollKey& k) {
  return fmt::format("scroll_{}", k.key);
}

// An approval question is answered by the number of its answer.
constexpr std::size_t ANSWER_KEYS = 9;

// "answer_3" → 2 (the index of the answer the key names).
std::optional<std::size_t> answer_of_action(std::string_view name) {
  constexpr std::string_view prefix = "answer_";
  if (!name.starts_with(prefix) || name.size() != prefix.size() + 1) return std::nullopt;
  const char digit = name.back();
  if (digit < '1' || digit > '9') return std::nullopt;
  return static_cast<std::size_t>(digit - '1');
}

// Events that add no item of their own to the transcript.
bool shown_in_status_or_answer(const events::TypedEvent& event) {
  return std::visit(
      []<typename E>(const E&) {
        return std::is_same_v<E, events::Content> || std::is_same_v<E, events::ThinkingStart> ||
               std::is_same_v<E, events::ThinkingChunk> ||
               std::is_same_v<E, events::ThinkingPeek> || std::is_same_v<E, events::Stage> ||
               std::is_same_v<E, events::StreamStart>;
      },
      event);
}

}  // namespace

ChatScreen::ChatScreen(VellumineTUI& app)
    : app_(app),
      turns_(TurnController::Hooks{
          [this](const PendingTurn& turn) { start(turn); },
          [this] { app_.interrupt_turn(); },
          [this](std::optional<std::size_t> choice, const TurnController::Question& q) {
            answered(choice, q);
          },
          [this] { return app_.next_scripted_turn(); },
      }) {
  register_action("interrupt_or_quit", [this] { interrupt_or_quit(); });
  register_action("copy_answer", [this] { log_->append_info(copy_last(*log_, CopyWhat::answer)); });
  register_action("search", [this] {
    search_->open();
    set_focus(search_);
  });
  register_action("copy_code",
                  [this] { log_->append_info(copy_last(*log_, CopyWhat::code_block)); });
  for (std::size_t i = 0; i < ANSWER_KEYS; ++i) {
    register_action(fmt::format("answer_{}", i + 1), [this, i] { turns_.answer(i); });
  }
  for (const ScrollKey& k : SCROLL_KEYS) {
    register_action(action_for(k), [this, k] {
      log_->on_key(termui::KeyEvent{std::string(k.log_key), {}});
    });
  }
  if (const auto& path = app.history_path()) history_ = PromptHistory(*path);
}

const std::vector<termui::Binding>& ChatScreen::bindings() const {
  static const std::vector<termui::Binding> BINDINGS = [] {
    std::vector<termui::Binding> b{
        {"ctrl+c", "interrupt_or_quit", "Stop the turn or quit", true, true},
        {"1", "answer_1", "Allow the command", false, true},
        {"2", "answer_2", "Deny the command", false, true},
        {"alt+c", "copy_answer", "Copy the last answer", false, true},
        {"alt+k", "copy_code", "Copy the last code block", false, true},
        {"ctrl+f", "search", "Search the transcript", false, true},
    };
    for (std::size_t i = 3; i <= ANSWER_KEYS; ++i) {
      b.push_back(
          {std::to_string(i), fmt::format("answer_{}", i), "Choose this answer", false, true});
    }
    for (const ScrollKey& k : SCROLL_KEYS) {
      b.push_back({std::string(k.key), action_for(k), "Scroll", false, true});
    }
    return b;
  }();
  return BINDINGS;
}

bool ChatScreen::check_action(std::string_view name) {
  if (const auto choice = answer_of_action(name)) {
    // A digit typed into the search's query answers nothing.
    if (search_->editing()) return false;
    return turns_.answer_counts(*choice, app().now());
  }
  // Home and End move in the prompt while it has text.
  if (name == "scroll_home" || name == "scroll_end") return input_->empty();
  return true;
}

std::vector<std::unique_ptr<termui::Widget>> ChatScreen::compose() {
  auto log = std::make_unique<ChatLog>("chat-log");
  auto status = std::make_unique<StatusLine>("chat-status");
  auto search = std::make_unique<SearchBar>("chat-search");
  auto popup = std::make_unique<PromptPopup>("chat-popup");
  auto input = std::make_unique<ChatInput>("chat-input");
  log_ = log.get();
  status_ = status.get();
  search_ = search.get();
  popup_ = popup.get();
  input_ = input.get();
  std::vector<std::unique_ptr<termui::Widget>> widgets;
  widgets.push_back(std::move(log));
  widgets.push_back(std::move(status));
  widgets.push_back(std::move(search));
  widgets.push_back(std::move(popup));
  widgets.push_back(std::move(input));
  return widgets;
}

void ChatScreen::on_mount() {
  log_->on_view_changed = [this] { refresh_status(); };
  search_->set_log(log_);
  search_->on_close = [this] { set_focus(input_); };
  input_->on_typed = [this] { turns_.typed(app().now()); };
  input_->on_submit = [this](const std::string& text) { submit(text); };
  input_->on_edit_externally = [this] { edit_externally(); };
  input_->set_sources(ChatInput::Sources{
      popup_,
      &history_,
      [this] { return agent_commands(); },
      &app_.files(),
  });
  set_focus(input_);
  if (const std::string failed = app_.take_save_error(); !failed.empty()) {
    log_->append_error("Could not save the runtime mode (it applies to this run only): " + failed);
  }
  // The script starts once the screen has its size, as if the user had typed its prompts.
  app().call_later(0.0, [this] { turns_.run_next(); });
}

// ---- prompts and turns ----

void ChatScreen::submit(std::string_view text) {
  input_->clear();
  popup_->close();
  if (const auto command = parse_command(text); command && run_command(*command)) {
    refresh_status();
    return;
  }
  if (turns_.send(text) == TurnController::Sent::queued) {
    log_->append_queued(text);
  }
  refresh_status();
}

void ChatScreen::start(const PendingTurn& turn) {
  ticker_ = app().set_interval(TICK_SECONDS, [this] {
    ++tick_;
    refresh_status();
  });
  tick_ = 0;
  if (turn.new_conversation) {
    // The agent may take its time (or never answer): the prompt stays live meanwhile, and
    // prompts sent go to the new conversation once it has started.
    clearing_since_ = TurnTracker::Clock::now();
    log_->append_info("Starting a new conversation…");
    app_.start_turn(turn);
    refresh_status();
    return;
  }
  turn_.begin(TurnTracker::Clock::now());
  log_->reset_steps();
  live_.new_turn();
  if (turn.show_prompt) log_->append_user(turn.prompt);
  app_.start_turn(turn);
  refresh_status();
}

void ChatScreen::conversation_started(const TurnFinished& finished) {
  clearing_since_.reset();
  if (finished.failure.empty()) {
    log_->clear();
    log_->append_info("New conversation.");
  } else {
    log_->append_error("Could not start a new conversation: " + finished.failure);
  }
}

void ChatScreen::on_turn_finished(const TurnFinished& finished) {
  ticker_.stop();
  if (clearing_since_) {
    conversation_started(finished);
    // Prompts sent for the new conversation do not go to the old one unasked.
    turns_.finished(!finished.failure.empty());
    refresh_status();
    return;
  }
  app_.files().stale();  // the agent may have made or removed files: "@" lists them again
  // A turn that ended without "done" or "error" may leave its answer open.
  if (log_->stream_open()) log_->finish_streamed_answer();
  stopped_.over();
  if (!finished.failure.empty()) log_->append_error(finished.failure);
  if (summary_elapsed_) {
    log_->append_turn_summary(*summary_elapsed_, turn_.tools(), 0,
                              finished.tokens.value_or(turn_.tokens()));
  }
  summary_elapsed_.reset();
  turns_.finished();
  refresh_status();
}

void ChatScreen::on_files_listed() {
  input_->files_listed();
}

// ---- slash commands and the editor ----

const std::vector<SlashCommand>& ChatScreen::agent_commands() {
  if (!turns_.busy()) {
    agent_commands_.clear();
    for (const AgentCommand& c : app_.agent_commands()) {
      agent_commands_.push_back({c.name, c.description, true});
    }
  }
  return agent_commands_;
}

bool ChatScreen::run_command(const CommandLine& command) {
  const std::string& name = command.name;
  if (name == "help") {
    show_help();
  } else if (name == "quit") {
    app().exit();
  } else if (name == "clear" || name == "mode") {
    if (turns_.busy()) {
      log_->append_error(clearing_since_
                             ? fmt::format("/{} waits for the new conversation to start", name)
                             : fmt::format("/{} waits for the running turn to end", name));
      return true;
    }
    if (name == "mode") {
      app().pop_screen();  // the chat is kept as it is and comes back once a mode is picked
      app().push_screen(std::make_unique<zell::tui::screens::PreflightScreen>());
      return true;
    }
    PendingTurn renew;
    renew.show_prompt = false;
    renew.new_conversation = true;
    turns_.run_first(std::move(renew));
  } else if (name == "export") {
    const std::filesystem::path path = command.args.empty()
                                           ? std::filesystem::path(default_export_name())
                                           : std::filesystem::path(command.args);
    try {
      export_transcript(log_->history(), app().screen_cells(), path, app().color_scheme());
      log_->append_info("Transcript written to " + unicode::visible_command(path.string()));
    } catch (const ExportError& e) {
      log_->append_error(e.what());
    }
  } else {
    for (const SlashCommand& c : agent_commands()) {
      if (c.name == name) return false;
    }
    log_->append_error(fmt::format("Unknown command /{}; /help lists the commands",
                                   unicode::visible_command(name)));
  }
  return true;
}

void ChatScreen::show_help() {
  std::string text = "Commands:";
  for (const SlashCommand& c : chat_commands())
    text += fmt::format("\n  /{}  {}", c.name, c.description);
  for (const SlashCommand& c : agent_commands()) {
    text += fmt::format("\n  /{}  {} (agent)", c.name, c.description);
  }
  text +=
      "\nKeys: Enter sends · Shift+Enter, Alt+Enter or Ctrl+J a new line · Up/Down earlier "
      "prompts · Ctrl+R searches them · Tab completes / and @ · Ctrl+G edits in $EDITOR · "
      "Ctrl+_ undoes · PageUp/PageDown scroll · Ctrl+F searches the transcript · Ctrl+C stops "
      "or quits";
  log_->append_info(text);
}

void ChatScreen::edit_externally() {
  const EditorOutcome outcome = edit_in_editor(
      input_->value(), [this](const std::function<void()>& run) { app().run_outside(run); });
  if (outcome.text) {
    input_->set_value(*outcome.text);
  } else {
    log_->append_error(outcome.error);
  }
}

// ---- the agent's events ----

void ChatScreen::on_agent_event(const events::TypedEvent& event) {
  switch (stopped_.judge(event)) {
    case StoppedTurn::Verdict::drop:
      return;
    case StoppedTurn::Verdict::amend:
      log_->replace_entry(stopped_.entry(), zell::tui::widgets::entries::Error{
                                                std::get<events::Error>(event).message});
      return;
    case StoppedTurn::Verdict::show:
      break;
  }
  turn_.on_event(event);
  // An event that adds an item closes the answer part before it: the agent's words before a
  // tool call stay above the call, as they came. The answer's text and what only the status
  // line shows leave it open.
  if (!shown_in_status_or_answer(event)) end_answer_part();
  std::visit(events::Overloaded{
                 [&](const events::ThinkingDone& e) { log_->append_thinking(e.text); },
                 [&](const events::ToolStart& e) { log_->append_tool(e.name, e.args); },
                 [&](const events::ToolResult& e) { log_->append_tool_result(e.result, e.error); },
                 [&](const events::Content& e) { log_->stream_token(e.chunk); },
                 [&](const events::Done&) {
                   // The summary waits for the turn's end, where a model server's own token count
                   // arrives.
                   summary_elapsed_ = turn_.elapsed(TurnTracker::Clock::now());
                 },
                 [&](const events::Error& e) { log_->append_error(e.message); },
                 [&](const events::Info& e) { log_->append_info(e.text); },
                 [&](const events::UserMessage& e) { log_->append_user(e.text); },
                 [&](const events::Problem& e) { log_->append_error(e.message); },
                 [&](const events::ToolCall& e) { live_.show(*log_, e); },
                 [&](const events::Plan& e) { live_.show(*log_, e); },
                 // The status line shows these (through the turn tracker).
                 [](const events::ThinkingStart&) {}, [](const events::ThinkingChunk&) {},
                 [](const events::ThinkingPeek&) {}, [](const events::Stage&) {},
                 [](const events::StreamStart&) {}},
             event);
  refresh_status();
}

void ChatScreen::end_answer_part() {
  if (!log_->stream_open()) return;
  // The answer streamed as raw lines; once it is whole, Markdown is drawn as Markdown, in place.
  if (zell::tui::widgets::has_markdown(log_->finish_streamed_answer())) {
    log_->render_finished_answer();
  }
}

// ---- approvals ----

void ChatScreen::on_approval_request(const zell::tui::ApprovalRequest& request) {
  turns_.question_opened({request.tool_name, request.command, request.options, app().now()});
  end_answer_part();
  log_->append_approval(request.tool_name, request.command, request.options);
  refresh_status();
}

void ChatScreen::answered(std::optional<std::size_t> choice,
                          const TurnController::Question& question) {
  app_.bridge().set_choice(choice);
  std::string said = "Cancelled";
  if (choice && question.options.empty()) said = *choice == 0 ? "Allowed" : "Denied";
  if (choice && *choice < question.options.size()) said = question.options[*choice];
  log_->append_info(fmt::format("{}: {}", unicode::visible_command(said),
                                unicode::visible_command(question.tool)));
  refresh_status();
}

// ---- keys ----

void ChatScreen::interrupt_or_quit() {
  if (turns_.interrupt_or_quit() == TurnController::CtrlC::quit) {
    app().exit();
    return;
  }
  if (clearing_since_) {  // stopping a new conversation's start says so when the wait ends
    refresh_status();
    return;
  }
  // The turn ends in the transcript with the key, not when the agent has wound down.
  end_answer_part();
  log_->append_error(app_.stopped_line());
  stopped_.stopped(std::string(app_.stopped_line()), log_->history().size() - 1);
  refresh_status();
}

// ---- status line ----

void ChatScreen::refresh_status() {
  std::string text;
  if (turns_.busy()) {
    if (turns_.interrupting()) {
      text = "· interrupting…";
    } else if (clearing_since_) {
      const std::chrono::duration<double> waited = TurnTracker::Clock::now() - *clearing_since_;
      text = "· starting a new conversation… " + short_duration(waited.count());
    } else if (const auto& q = turns_.question()) {
      text = fmt::format("◆ waiting for your answer · {} · {}",
                         q->options.empty() ? std::string("1 allow · 2 deny")
                                            : fmt::format("1–{} to choose", q->answers()),
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
  // Entries may have come in: the search's count follows them.
  search_->update();
}

}  // namespace host::tui
