#pragma once
// VellumineTUI: the full-screen application. It owns the output manager the agent calls, the
// bridge that carries the manager's events to the UI thread, the agent runner, and the screens: the
// mode picker first (unless skipped), then "chat".
//
// Shutting down (destructor, or `shutdown` once `run` has returned) closes the bridge, which
// denies an approval the agent is waiting for, and stops the agent's thread before anything
// it uses is destroyed.

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/acp/acp_agent.h"
#include "host/acp/acp_runner_agent.h"
#include "host/agent/agent.h"
#include "host/agent/agent_runner.h"
#include "host/agent/pending_turn.h"
#include "host/agent/script.h"
#include "host/agent/scripted_agent.h"
#include "host/runtime/http_agent.h"
#include "host/tui/event_window.h"
#include "host/tui/file_lister.h"
#include "host/tui/screen_look.h"
#include "host/tui/turn_finished.h"
#include "zell/output/output_manager.h"
#include "zell/ports/tui_host_app.h"
#include "zell/tui/bridge/tui_bridge.h"

namespace host::tui {

class ChatScreen;

struct TuiOptions {
  bool preflight = true;  // show the mode picker before the chat
  double speed = 1.0;     // the scripted agent's playback speed
  // Played turn by turn as if typed, as soon as the chat opens.
  std::vector<Step> script;
  // The configuration file, named in the demo runtime's answer.
  std::string config_path;
  // Set when the configuration's backend is "http": typed prompts go to that model server.
  std::optional<runtime::HttpAgentOptions> http;
  // An Agent Client Protocol agent for typed prompts (before `http`): its permission requests
  // are asked on the chat screen with the agent's own answers.
  std::optional<acp::AcpOptions> acp;
  // Another agent for typed prompts, built on the application's output manager; used when
  // set (before `acp`).
  std::function<std::unique_ptr<Agent>(zell::output::OutputManager&)> agent;
  // Where the prompts sent are kept across runs; none: this run only.
  std::optional<std::filesystem::path> history_path;
  // The folder "@" mentions complete in; empty: the current one.
  std::filesystem::path work_folder;
  // The colour theme, and how a finished turn or a question is announced while the user looks
  // elsewhere (the terminal reports losing the focus).
  ScreenLook look;
};

class VellumineTUI : public zell::ports::TuiHostApp {
 public:
  VellumineTUI(zell::ports::ZellConfig& config, zell::ports::ConfigStore& store,
               zell::ports::RuntimeGatewayFactory gateways, TuiOptions options);
  ~VellumineTUI() override;

  // ---- host services the system calls ----
  zell::ports::ZellConfig& zell_config() override { return config_; }
  zell::ports::ConfigStore& config_store() override { return saving_; }
  [[nodiscard]] const zell::ports::RuntimeGatewayFactory& runtime_gateway_factory() const override {
    return gateways_;
  }
  // With an ACP agent: starts it on a thread of its own (the session then uses it as started).
  [[nodiscard]] std::unique_ptr<zell::ports::AgentCheck> check_agent() override;

  // ---- the agent, as the chat screen drives it (UI thread) ----
  // The next turn of the script, if any is left.
  [[nodiscard]] std::optional<PendingTurn> next_scripted_turn();
  // Every turn of the script has been handed out.
  [[nodiscard]] bool script_done() const { return script_turns_.empty(); }
  // Plays `turn` on the worker thread; a TurnFinished follows its events.
  void start_turn(const PendingTurn& turn);
  // The running turn stops at the agent's next step; a request to a model server is closed
  // at once.
  void interrupt_turn();
  // The line that ends a turn the user stopped, in the typed-prompt agent's words.
  [[nodiscard]] std::string_view stopped_line() const {
    return runner_.typed_agent().stopped_line();
  }
  [[nodiscard]] zell::tui::TUIBridge& bridge() { return bridge_; }
  // Between turns: the typed-prompt agent's slash commands. (A new conversation with it is a
  // turn of its own: a PendingTurn marked new_conversation, started like any other.)
  [[nodiscard]] std::vector<AgentCommand> agent_commands() const;
  [[nodiscard]] const std::optional<std::filesystem::path>& history_path() const {
    return options_.history_path;
  }
  [[nodiscard]] std::filesystem::path work_folder() const;
  // The files "@" completes from, listed in the work folder away from the UI thread.
  [[nodiscard]] FileLister& files() { return files_; }
  [[nodiscard]] zell::output::OutputManager& output_manager() { return manager_; }
  // The chat screen once it has been built, else null.
  [[nodiscard]] ChatScreen* chat() { return chat_; }

  // Why the last save of the configuration failed, once (empty when it did not). The mode
  // picker reports a failed save in its box but goes on to the chat when the server is ready,
  // so the chat says it again where the user will see it.
  [[nodiscard]] std::string take_save_error() { return std::exchange(saving_.error, {}); }

  // Closes the bridge and stops the agent. Safe to call more than once; UI thread only.
  void shutdown();

 protected:
  void on_mount() override;
  void on_background_color(styled::Color background) override;

 private:
  // The agent that answers typed prompts.
  std::unique_ptr<Agent> typed_agent();
  // A notification, when the terminal says the user is not looking at it.
  void call_attention(std::string_view what);

  zell::ports::ZellConfig& config_;
  // The host's store, remembering why a save failed; errors still reach the caller.
  struct SavingStore final : zell::ports::ConfigStore {
    explicit SavingStore(zell::ports::ConfigStore& store) : store(store) {}
    void save_config(const zell::ports::ZellConfig& config) override;
    zell::ports::ConfigStore& store;
    std::string error;
  };
  SavingStore saving_;
  zell::ports::RuntimeGatewayFactory gateways_;
  TuiOptions options_;
  std::deque<ScriptTurn> script_turns_;

  zell::output::OutputManager manager_;
  zell::tui::TUIBridge bridge_;
  // Agent events on their way to the UI thread, at most this many at a time.
  EventWindow events_{4096};
  // The ACP agent, when there is one (owned by the runner; set while the runner is built, so
  // declared before it).
  acp::AcpRunnerAgent* acp_ = nullptr;
  AgentRunner runner_;
  ChatScreen* chat_ = nullptr;

  // The start-up screen's check of the ACP agent runs on this thread.
  std::thread check_thread_;
  // Last: its listing thread wakes the UI thread through this object.
  FileLister files_;
};

}  // namespace host::tui
