// The protocol SDK's own example agent (node, no model) driven through the client: a read it
// reports, an edit it asks permission for (allowed, then denied), and a cancel. Skipped when
// node or the SDK (scripts/install-deps puts it in build/npm) is missing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "host/acp/acp_agent.h"
#include "host/acp/null_writer.h"
#include "host/acp/process_alive.h"

namespace {

using namespace host::acp;

const std::filesystem::path kExample =
    std::filesystem::path(VELLUMINE_SOURCE_DIR) /
    "build/npm/node_modules/@agentclientprotocol/sdk/dist/examples/agent.js";

using acp_test::NullWriter;

class SdkExampleAgent : public testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/bin/node", X_OK) != 0 && ::system("command -v node >/dev/null") != 0) {
      GTEST_SKIP() << "node is not installed";
    }
    if (!std::filesystem::exists(kExample))
      GTEST_SKIP() << "run scripts/install-deps for " << kExample;
  }

  std::unique_ptr<AcpAgent> make(PermissionAsker asker) {
    zell::output::OutputPorts ports;
    ports.out = std::make_shared<NullWriter>();
    ports.frame_period = std::chrono::hours(1);
    manager_ = std::make_unique<zell::output::OutputManager>(ports);
    manager_->set_event_callback([this](const std::string& type, std::shared_ptr<zell::Payload> p) {
      const std::lock_guard lock(mutex_);
      std::string line = type;
      for (const auto& [key, value] : *p) line += " " + key + "=" + value;
      shown_ += line + "\n";
    });
    AcpOptions options;
    options.command = {"node", kExample.string()};
    return std::make_unique<AcpAgent>(*manager_, options, std::move(asker));
  }
  std::string shown() {
    const std::lock_guard lock(mutex_);
    return shown_;
  }

  std::unique_ptr<zell::output::OutputManager> manager_;
  std::mutex mutex_;
  std::string shown_;
};

TEST_F(SdkExampleAgent, AllowedAndDeniedEdits) {
  std::vector<PermissionQuestion> asked;
  std::string answer = "allow";
  auto agent = make([&](const PermissionQuestion& q) -> std::optional<std::string> {
    asked.push_back(q);
    return answer;
  });
  agent->start();
  EXPECT_EQ(agent->info().protocol_version, 1);

  ASSERT_EQ(agent->run_turn("change the configuration").end, TurnEnd::done);
  const std::string allowed = shown();
  EXPECT_NE(allowed.find("content chunk=I'll help you with that."), std::string::npos) << allowed;
  EXPECT_NE(allowed.find("tool_start name=read_file args=Reading project files"),
            std::string::npos);
  EXPECT_NE(allowed.find("result=# My Project\n\nThis is a sample project..."), std::string::npos);
  EXPECT_NE(allowed.find("tool_start name=edit_file args=Modifying critical configuration file"),
            std::string::npos);
  EXPECT_NE(allowed.find("I've successfully updated the configuration"), std::string::npos);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, "Modifying critical configuration file");
  ASSERT_EQ(asked[0].options.size(), 2u);
  EXPECT_EQ(asked[0].options[0].id, "allow");   // 1: allow once
  EXPECT_EQ(asked[0].options[1].id, "reject");  // 2: reject once

  answer = "reject";
  ASSERT_EQ(agent->run_turn("again").end, TurnEnd::done);
  EXPECT_NE(shown().find("I understand you prefer not to make that change"), std::string::npos);
}

TEST_F(SdkExampleAgent, CancelEndsTheTurn) {
  auto agent = make({});
  TurnResult result;
  std::thread turn([&] { result = agent->run_turn("go"); });
  while (shown().find("content chunk=I'll help you") == std::string::npos) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(agent->cancel());
  turn.join();
  EXPECT_EQ(result.end, TurnEnd::interrupted);
  const int pid = agent->pid();
  agent.reset();
  EXPECT_FALSE(host_test::process_alive(pid));
}

}  // namespace
