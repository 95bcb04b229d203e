#include "acp_opencode_setup.h"

#include <fstream>
#include <nlohmann/json.hpp>

namespace test_support {

std::filesystem::path opencode_program() {
  return std::filesystem::path(VELLUMINE_SOURCE_DIR) /
         "build/npm/node_modules/opencode-linux-x64/bin/opencode";
}

std::vector<std::pair<std::string, std::string>> prepare_opencode(const AgentSandbox& sandbox,
                                                                  const std::string& model_url) {
  const nlohmann::json config = {
      {"$schema", "https://opencode.ai/config.json"},
      {"model", "fake/fake-model"},
      {"small_model", "fake/fake-model"},
      {"autoupdate", false},
      {"share", "disabled"},
      {"provider",
       {{"fake",
         {{"npm", "@ai-sdk/openai-compatible"},
          {"name", "Fake"},
          {"options", {{"baseURL", model_url + "/v1"}, {"apiKey", "none"}}},
          {"models", {{"fake-model", {{"name", "Fake model"}}}}}}}}},
      {"permission", {{"edit", "ask"}, {"bash", "ask"}}}};
  const std::filesystem::path file = sandbox.root() / "opencode.json";
  std::ofstream(file) << config.dump(2);

  auto env = sandbox.env();
  env.emplace_back("OPENCODE_CONFIG", file.string());
  // No update check, no model list or language servers fetched, no default plugins, nothing
  // read from other tools' or the project's configuration.
  for (const char* name : {"OPENCODE_DISABLE_AUTOUPDATE", "OPENCODE_DISABLE_MODELS_FETCH",
                           "OPENCODE_DISABLE_LSP_DOWNLOAD", "OPENCODE_DISABLE_DEFAULT_PLUGINS",
                           "OPENCODE_DISABLE_CLAUDE_CODE", "OPENCODE_DISABLE_PROJECT_CONFIG"}) {
    env.emplace_back(name, "1");
  }
  return env;
}

}  // namespace test_support
