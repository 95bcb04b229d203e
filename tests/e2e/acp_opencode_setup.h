#pragma once
// opencode (the pinned npm package opencode-linux-x64, which scripts/install-deps puts in
// build/npm) set up to run sealed in an AgentSandbox, its model a server at a given address.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "acp_sandbox.h"

namespace test_support {

// Where scripts/install-deps installs the program.
[[nodiscard]] std::filesystem::path opencode_program();

// Writes opencode's configuration into the sandbox (one provider, the OpenAI-compatible server
// at `model_url`, its model "fake-model"; permission asked for edits and shell commands) and
// returns the environment to run `opencode acp` with: the sandbox's, that configuration, and
// opencode's switches that keep it from fetching or reading anything else.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> prepare_opencode(
    const AgentSandbox& sandbox, const std::string& model_url);

}  // namespace test_support
