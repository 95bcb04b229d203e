#pragma once
// A stand-in for the agent loop: plays a checked script against an OutputManager, the way the
// real agent calls it, on a worker thread of its own.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/agent/script.h"
#include "host/agent/stop_signal.h"
#include "zell/output/output_manager.h"
#include "zell/output/terminal.h"

namespace host {

struct AgentOptions {
  // Playback speed: every sleep and delay is divided by it; 0 skips them all.
  double speed = 1.0;
  // When given and raised, playback stops at the next step (or chunk, or pause) and the turn
  // ends with the error "Interrupted".
  StopSignal* stop = nullptr;
};

// One turn of a script as the full-screen presentation plays it: the prompt of a `user` op
// and the steps up to the next one. Steps before the first `user` op form a turn without a
// prompt.
struct ScriptTurn {
  std::string prompt;
  bool has_prompt = false;
  std::vector<Step> steps;
};
[[nodiscard]] std::vector<ScriptTurn> split_turns(const std::vector<Step>& steps);

// The turn the demo runtime plays for a prompt of the user's own once the script has run out:
// a short streamed answer saying that this is the demo runtime and how to point the
// configuration file at `config_path` to a model server.
[[nodiscard]] std::vector<Step> demo_runtime_reply(std::string_view config_path);

class ScriptedAgent {
 public:
  // `out` is where the agent's own lines (the user's prompt) go: standard output in the
  // program, a recorder in tests.
  ScriptedAgent(
      zell::output::OutputManager& manager, std::vector<Step> steps, AgentOptions options,
      std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1));

  // Plays the whole script on the calling thread.
  void run();
  // Plays `steps` (one turn) on the calling thread; returns false when a stop cut it short.
  bool play(const std::vector<Step>& steps);
  // Plays it on a worker thread and waits; an error on the worker is rethrown here.
  void run_on_worker();

 private:
  void step(const Step& s);
  [[nodiscard]] bool stopped() const { return options_.stop && options_.stop->requested(); }
  // Returns false when a stop ended the pause early.
  bool pause(double seconds) const;
  void user(std::string_view text);
  void think(std::string_view text, int chunk_chars, double delay);
  void say(std::string_view text, int chunk_chars, double delay);
  void approve(std::string_view tool, std::string_view command);

  zell::output::OutputManager& m_;
  std::vector<Step> steps_;
  AgentOptions options_;
  std::shared_ptr<zell::output::Writer> out_;
  int last_index_ = -1;            // what the last log_tool returned
  bool skip_next_result_ = false;  // a denied approval already reported the tool's result
};

// Splits `text` into pieces of `chars` code points (the last may be shorter).
[[nodiscard]] std::vector<std::string_view> chunk_text(std::string_view text, int chars);

}  // namespace host
