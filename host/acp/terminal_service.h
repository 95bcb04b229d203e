#pragma once
// The terminals the client runs for the agent (terminal/create, output, wait_for_exit, kill,
// release): a command from argv and env as given, its working folder inside the session's, in a
// process group of its own, standard error merged into its output. The output kept is capped
// at the agent's outputByteLimit (and at kMaxOutputBytes) by dropping the oldest bytes, at a
// character boundary. A released terminal is killed; its last output stays readable for the
// transcript. Every terminal dies with the service.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/acp/child_process.h"
#include "host/acp/file_service.h"
#include "host/acp/launcher.h"

namespace host::acp {

struct TerminalRequest {
  std::string command;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> env;
  std::optional<std::string> cwd;  // inside the session's folder; default the folder itself
  std::optional<unsigned long long> output_byte_limit;
};

struct TerminalOutput {
  std::string output;
  bool truncated = false;
  std::optional<ExitStatus> exit;
};

// Keeps the last `limit` bytes of `text`, starting at a character boundary; true when it cut.
bool keep_tail(std::string& text, std::size_t limit);

class TerminalService {
 public:
  static constexpr std::size_t kMaxOutputBytes = std::size_t{4} << 20;

  TerminalService(Launcher& launcher, const FileService& files);
  ~TerminalService();
  TerminalService(const TerminalService&) = delete;
  TerminalService& operator=(const TerminalService&) = delete;

  // Each throws RefusedRequest for an unknown terminal or a refused request.
  std::string create(const TerminalRequest& request);
  TerminalOutput output(const std::string& id) const;
  // What waits until the command has ended (it is killed when released or when the service
  // ends); the waiting may run on any thread, also while the service is being destroyed.
  [[nodiscard]] std::function<ExitStatus()> exit_waiter(const std::string& id);
  // Returns once the command has ended (or after a short grace).
  void kill(const std::string& id);
  void release(const std::string& id);
  // The output of a terminal, released or not; nullopt for an id never created.
  [[nodiscard]] std::optional<TerminalOutput> snapshot(const std::string& id) const;
  // The command line of a terminal, as run (for the transcript).
  [[nodiscard]] std::optional<std::string> command_line(const std::string& id) const;

 private:
  struct Terminal;
  [[nodiscard]] std::shared_ptr<Terminal> find(const std::string& id, bool released_ok) const;

  Launcher& launcher_;
  const FileService& files_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Terminal>> terminals_;
  int next_id_ = 1;
};

}  // namespace host::acp
