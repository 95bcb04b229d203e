#pragma once
// What a test needs to run a real coding agent without it touching anything of the machine's:
// a network namespace with only loopback (so nothing it does can reach out), and a folder
// that holds its home, its configuration and the project it works on.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// Moves the calling thread (and the threads and processes it starts afterwards) into a new
// network namespace whose only interface is loopback, up. Empty when done; else why it could
// not be (the kernel or the sandbox forbids it).
[[nodiscard]] std::string enter_loopback_only_network();
// The network interfaces the calling thread can see.
[[nodiscard]] std::string network_interfaces();

// A fresh folder under the temporary folder, named `name` (unique to the caller), with `home/`
// (HOME and the XDG folders point inside it) and `project/`; removed with everything in it.
class AgentSandbox {
 public:
  explicit AgentSandbox(const std::string& name);
  ~AgentSandbox();
  AgentSandbox(const AgentSandbox&) = delete;
  AgentSandbox& operator=(const AgentSandbox&) = delete;

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path home() const { return root_ / "home"; }
  [[nodiscard]] std::filesystem::path project() const { return root_ / "project"; }
  // The environment entries that keep the agent's files inside the sandbox (HOME, XDG, TMPDIR).
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> env() const;
  // Process ids of the processes still running with this sandbox's HOME.
  [[nodiscard]] std::string processes_left() const;

 private:
  std::filesystem::path root_;
};

[[nodiscard]] std::string slurp(const std::filesystem::path& file);

}  // namespace test_support
