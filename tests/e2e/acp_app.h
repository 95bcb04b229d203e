#pragma once
// `vellumine` with an Agent Client Protocol agent, in a tmux pane and a folder of its own: the
// agent is named in a configuration file with a marker of the run on its command line, so
// that the test can tell whether any agent process of the run is left.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tmux_pane.h"

namespace test_support {

class AgentApp {
 public:
  explicit AgentApp(const std::string& kind) {
    static int runs = 0;
    const std::string name =
        "vellumine-" + kind + "-" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
    marker_ = name + "-agent";
    dir_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    pane.emplace(name);
  }
  ~AgentApp() {
    pane.reset();
    std::filesystem::remove_all(dir_);
  }
  AgentApp(const AgentApp&) = delete;
  AgentApp& operator=(const AgentApp&) = delete;

  // Runs `before vellumine ARGS after` in the pane from the run's folder, the agent's argv
  // `agent` (which should hold marker() somewhere the agent ignores or echoes).
  void start(const std::vector<std::string>& agent, const std::string& args,
             const std::string& before = "", const std::string& after = "") const {
    std::ofstream config(dir_ / "config.toml");
    config << "[agent]\ncommand = [";
    for (std::size_t i = 0; i < agent.size(); ++i) config << (i ? ", " : "") << toml(agent[i]);
    config << "]\n";
    config.close();
    pane->start("cd " + dir_.string() + " && " + before + VELLUMINE_BIN + " --config " +
                (dir_ / "config.toml").string() + " " + args + " " + after + "; echo EXIT=$?");
  }

  [[nodiscard]] const std::string& marker() const { return marker_; }
  [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }
  [[nodiscard]] std::string file(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The agent processes of this run still running (a pattern pgrep's own shell misses).
  [[nodiscard]] std::string agents() const {
    return run("pgrep -f '[" + marker_.substr(0, 1) + "]" + marker_.substr(1) + "'");
  }
  // Waits (10 s at most, a hang guard) for the agent to run.
  [[nodiscard]] bool agent_started() const {
    for (int i = 0; i < 400 && agents().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return !agents().empty();
  }

  // Waits until the pane holds `question` `times` times, then lets it stay a moment: an
  // answer typed sooner than that counts as type-ahead and is not taken.
  [[nodiscard]] bool wait_for_question(const std::string& question, int times = 1,
                                       std::chrono::seconds limit = std::chrono::seconds(20)) {
    if (!pane->wait_for(question, limit, true, times)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    return true;
  }

  std::optional<TmuxPane> pane;

 private:
  static std::string toml(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
  }

  std::string marker_;
  std::filesystem::path dir_;
};

}  // namespace test_support
