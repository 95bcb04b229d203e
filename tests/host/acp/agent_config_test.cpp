// The configuration's [agent] command, cwd and env, and the mistakes it reports.

#include <gtest/gtest.h>

#include "host/config/config_file.h"
#include "host/config/host_config.h"

namespace {

using host::config::ConfigError;
using host::config::parse_config;

TEST(AgentConfig, ReadsTheCommandFolderAndEnvironment) {
  const auto c = parse_config(
      "[agent]\ncommand = [\"opencode\", \"acp\"]\ncwd = \"/src/p\"\nenv = { A = \"1\", B = \"x "
      "y\" }\n",
      "config.toml");
  EXPECT_EQ(c.agent.command, (std::vector<std::string>{"opencode", "acp"}));
  EXPECT_EQ(c.agent.cwd, "/src/p");
  EXPECT_EQ(c.agent.env,
            (std::vector<std::pair<std::string, std::string>>{{"A", "1"}, {"B", "x y"}}));
  EXPECT_TRUE(c.warnings.empty());  // keys this build reads are not "unknown"
  EXPECT_TRUE(parse_config("[agent]\n", "config.toml").agent.command.empty());
}

TEST(AgentConfig, RejectsWhatCannotBeRun) {
  for (const char* text : {"[agent]\ncommand = []\n", "[agent]\ncommand = \"opencode acp\"\n",
                           "[agent]\ncommand = [\"a\", 1]\n", "[agent]\nenv = { A = 1 }\n",
                           "[agent]\nenv = \"A=1\"\n", "[agent]\ncwd = 3\n"}) {
    EXPECT_THROW(parse_config(text, "config.toml"), ConfigError) << text;
  }
}

}  // namespace
