// A real coding agent (opencode, from the pinned npm package) drives `vellumine` end to end,
// in both presentations. Its model is the project's fake OpenAI-compatible server on loopback,
// playing a fixed turn: a file read, an edit and a shell command. The test answers the two
// permission questions (allow the edit, deny the command) and checks what the terminal shows
// and what is on disk; on the full screen a second turn, which the model leaves hanging, is
// cancelled by Ctrl+C. Everything runs in a network namespace with only loopback, and the
// agent's home is a temporary folder. Skipped when the package is not installed
// (scripts/install-deps) or the kernel refuses the namespace.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "acp_opencode_setup.h"
#include "acp_sandbox.h"
#include "host/fake_chat_server.h"
#include "tmux_pane.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using std::chrono::seconds;
using test_support::AgentSandbox;
using test_support::opencode_program;
using test_support::slurp;
using test_support::TmuxPane;

// The shell command the model asks for: harmless if it ran, with a terminal-title escape in
// its comment that must be shown, never obeyed.
const std::string kCommand = "echo shell-was-here > ran.txt # \x1b]0;owned\x07";
const std::string kCommandShown = "echo shell-was-here > ran.txt # ␛]0;owned␇";
// A prompt the model answers slowly: a first line, then nothing until the turn is cancelled.
const std::string kHoldPrompt = "think it over";
const std::string kHoldAnswer = "Thinking it over.\n\n";
// What opencode reports on a tool call whose permission was refused.
const std::string kRefused = "rejected permission";

std::string toml_string(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

std::string toml_table_body(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string body;
  for (const auto& [name, value] : entries) {
    body += (body.empty() ? "" : ", ") + name + " = " + toml_string(value);
  }
  return body;
}

host_test::ChatReply stream(std::vector<json> events) {
  events.push_back(host_test::usage_event(7));
  host_test::ChatReply reply;
  reply.pieces = {host_test::sse(events)};
  return reply;
}

host_test::ChatReply say(const std::string& text) {
  return stream({host_test::delta_event({{"role", "assistant"}, {"content", text}}),
                 host_test::finish_event("stop")});
}

host_test::ChatReply call_tool(const std::string& lead_in, const std::string& name,
                               const json& arguments) {
  std::vector<json> events;
  if (!lead_in.empty()) {
    events.push_back(host_test::delta_event({{"role", "assistant"}, {"content", lead_in}}));
  }
  const json call = {{"index", 0},
                     {"id", "call_" + name},
                     {"type", "function"},
                     {"function", {{"name", name}, {"arguments", arguments.dump()}}}};
  events.push_back(host_test::delta_event({{"tool_calls", json::array({call})}}));
  events.push_back(host_test::finish_event("tool_calls"));
  return stream(std::move(events));
}

bool is_title_request(const json& request) {
  const json& messages = request["messages"];
  return !messages.empty() && messages[0].value("role", "") == "system" &&
         messages[0]["content"].is_string() &&
         messages[0]["content"].get<std::string>().find("title generator") != std::string::npos;
}

// The model's turn, one step per request: each step's choice follows from how many tool
// results the conversation already holds. What opencode 1.19 does with it, as seen on the
// wire: it offers the tools read {filePath, offset, limit}, edit {filePath, oldString,
// newString, replaceAll} and bash {command, timeout, workdir} (among others); it reads files
// itself, asks permission for the edit with the diff, then writes through the client
// (fs/write_text_file); it asks permission for the command and, refused, reports the tool
// call failed and ends the turn without asking the model again. A separate request, the first
// of a session, asks the model for a title.
host_test::ChatReply model_step(const json& request, const fs::path& project) {
  if (is_title_request(request)) return say("Tidy the notes");
  if (request["messages"].back().dump().find(kHoldPrompt) != std::string::npos) {
    // A model that starts its answer and then keeps the connection open until the agent
    // gives up on it.
    host_test::ChatReply reply;
    reply.pieces = {host_test::sse(
        {host_test::delta_event({{"role", "assistant"}, {"content", kHoldAnswer}})}, false)};
    reply.then = host_test::ChatReply::Then::hold;
    return reply;
  }
  int results = 0;
  for (const json& m : request["messages"]) results += m.value("role", "") == "tool" ? 1 : 0;
  const std::string notes = (project / "notes.txt").string();
  switch (results) {
    case 0:
      return call_tool("Looking at notes.txt first.", "read", {{"filePath", notes}});
    case 1:
      return call_tool("", "edit",
                       {{"filePath", notes}, {"oldString", "hello"}, {"newString", "goodbye"}});
    case 2:
      return call_tool("", "bash", {{"command", kCommand}});
    default:
      return say("All done.");
  }
}

// The tool the request offers under `name`, or null.
json offered_tool(const json& request, const std::string& name) {
  for (const json& t : request.value("tools", json::array())) {
    if (t["function"].value("name", "") == name) return t["function"];
  }
  return nullptr;
}

class OpencodeDrivesVellumine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Once for the process, on the thread that runs the tests: the servers and processes the
    // tests start from it inherit the namespace.
    static const std::string why = test_support::enter_loopback_only_network();
    network_refused_ = why;
  }

  void SetUp() override {
    if (!fs::exists(opencode_program())) {
      GTEST_SKIP() << "run scripts/install-deps for " << opencode_program();
    }
    if (!network_refused_.empty()) {
      GTEST_SKIP() << "no network namespace with only loopback: " << network_refused_;
    }
    if (test_support::run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    ASSERT_EQ(test_support::network_interfaces(), "lo");

    static int tests_run = 0;
    const std::string name =
        "vellumine-opencode-" + std::to_string(::getpid()) + "-" + std::to_string(++tests_run);
    sandbox_ = std::make_unique<AgentSandbox>(name);
    pane_ = std::make_unique<TmuxPane>(name);
    const fs::path project = sandbox_->project();
    std::ofstream(project / "notes.txt") << "hello world\n";
    server_ = std::make_unique<host_test::FakeChatServer>(
        [project](const json& request) { return model_step(request, project); });

    config_ = sandbox_->root() / "vellumine.toml";
    std::ofstream(config_) << "[agent]\ncommand = [" << toml_string(opencode_program().string())
                           << ", \"acp\"]\ncwd = " << toml_string(project.string()) << "\nenv = { "
                           << toml_table_body(
                                  test_support::prepare_opencode(*sandbox_, server_->url()))
                           << " }\n";
  }

  void TearDown() override {
    pane_.reset();
    server_.reset();
    sandbox_.reset();
  }

  // Waits until a permission question about `subject` (text it shows) is on screen, then lets
  // it stay there a moment: an answer typed sooner counts as type-ahead.
  bool wait_for_question(const std::string& subject, std::chrono::seconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      const std::string shown = pane_->text();
      const auto at = shown.find(subject);
      if (at != std::string::npos && (shown.find("Press 1", at) != std::string::npos ||
                                      shown.find("Allow once", at) != std::string::npos)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

  // Runs vellumine in the pane with `args`, from the project folder.
  void start(const std::string& args) const {
    pane_->start("cd " + sandbox_->project().string() + " && " + VELLUMINE_BIN + " --config " +
                 config_.string() + " " + args + "; echo EXIT=$?");
  }

  // What both presentations must have done by the end of the turn: the read reached the
  // model, the approved edit is on disk, the refused command never ran, and the agent heard
  // of the refusal (its own words for it are on screen).
  void expect_turn_outcome(const std::string& shown) const {
    const fs::path project = sandbox_->project();
    EXPECT_EQ(slurp(project / "notes.txt"), "goodbye world\n");
    EXPECT_FALSE(fs::exists(project / "ran.txt"));
    EXPECT_NE(shown.find(kRefused), std::string::npos) << shown;
    EXPECT_NE(shown.find("Looking at notes.txt first."), std::string::npos) << shown;
    EXPECT_NE(pane_->title(), "owned\n");

    bool read_reached_model = false;
    json tools_request;
    for (const json& r : server_->requests()) {
      if (r.contains("tools")) tools_request = r;
      for (const json& m : r["messages"]) {
        if (m.value("role", "") == "tool" && m.dump().find("hello world") != std::string::npos) {
          read_reached_model = true;
        }
      }
    }
    EXPECT_TRUE(read_reached_model);
    // The tool names and arguments the fake model uses are the ones the agent offers; when a
    // new version renames them, this says what it offers now.
    const json read = offered_tool(tools_request, "read");
    const json edit = offered_tool(tools_request, "edit");
    const json bash = offered_tool(tools_request, "bash");
    EXPECT_TRUE(read.is_object() && read["parameters"]["properties"].contains("filePath") &&
                edit.is_object() && edit["parameters"]["properties"].contains("oldString") &&
                edit["parameters"]["properties"].contains("newString") && bash.is_object() &&
                bash["parameters"]["properties"].contains("command"))
        << "the agent offers: " << tools_request.value("tools", json::array()).dump(1);
  }

  static inline std::string network_refused_;
  std::unique_ptr<AgentSandbox> sandbox_;
  std::unique_ptr<TmuxPane> pane_;
  std::unique_ptr<host_test::FakeChatServer> server_;
  fs::path config_;
};

TEST_F(OpencodeDrivesVellumine, OnTheFullScreen) {
  start("--no-preflight");
  ASSERT_TRUE(pane_->wait_for("Type a prompt")) << pane_->text();
  pane_->type("tidy notes.txt", true);

  // The edit's question shows the change (the new text is nowhere else before it is allowed).
  ASSERT_TRUE(wait_for_question("goodbye world", seconds(60))) << pane_->text();
  pane_->type("1");

  ASSERT_TRUE(wait_for_question(kCommandShown, seconds(20))) << pane_->text();
  pane_->type("2");

  // The turn's summary line closes it.
  ASSERT_TRUE(pane_->wait_for("Read, Update")) << pane_->text();
  expect_turn_outcome(pane_->text());

  // Ctrl+C in the middle of the next turn: the agent is asked to cancel, stops waiting for its
  // model and confirms; the app lives on until a Ctrl+C between turns.
  pane_->type(kHoldPrompt, true);
  ASSERT_TRUE(pane_->wait_for("Thinking it over.")) << pane_->text();
  pane_->key("C-c");
  ASSERT_TRUE(pane_->wait_for("Cancelled")) << pane_->text();
  EXPECT_EQ(pane_->text().find("did not confirm"), std::string::npos) << pane_->text();
  EXPECT_TRUE(server_->wait_client_closed().has_value());
  EXPECT_NE(sandbox_->processes_left(), "");
  pane_->key("C-c");
  ASSERT_TRUE(pane_->wait_for("EXIT=0")) << pane_->text();
  EXPECT_EQ(sandbox_->processes_left(), "");
}

TEST_F(OpencodeDrivesVellumine, InThePlainPresentationAskingOnTheTerminal) {
  start("--prompt 'tidy notes.txt'");
  ASSERT_TRUE(pane_->wait_for("Choice:", seconds(60), true)) << pane_->text(true);
  EXPECT_NE(pane_->text(true).find("+goodbye world"), std::string::npos) << pane_->text(true);
  pane_->type("1", true);

  ASSERT_TRUE(pane_->wait_for("Choice:", seconds(20), true, 2)) << pane_->text(true);
  EXPECT_NE(pane_->text(true).find(kCommandShown), std::string::npos) << pane_->text(true);
  pane_->type("2", true);

  ASSERT_TRUE(pane_->wait_for("EXIT=", seconds(20), true)) << pane_->text(true);
  const std::string shown = pane_->text(true);
  // The answer's words come before the tool call they led into.
  EXPECT_LT(shown.find("Looking at notes.txt first."), shown.find("hello world")) << shown;
  EXPECT_NE(shown.find("EXIT=0"), std::string::npos) << shown;
  expect_turn_outcome(shown);
  EXPECT_EQ(sandbox_->processes_left(), "");
}

// --yes with standard output a pipe: both questions are answered "allow once" without a
// terminal, the edit lands and the command runs, and standard output holds the agent's turn
// and our lines about it, nothing of the agent's own standard error or raw escapes.
TEST_F(OpencodeDrivesVellumine, InThePlainPresentationWithYes) {
  const fs::path project = sandbox_->project();
  const fs::path errors = sandbox_->root() / "stderr.txt";
  const std::string out = test_support::run(
      "cd " + project.string() + " && " + VELLUMINE_BIN + " --config " + config_.string() +
      " --yes --prompt 'tidy notes.txt' </dev/null 2>" + errors.string() + "; echo EXIT=$?");
  EXPECT_NE(out.find("EXIT=0"), std::string::npos) << out << slurp(errors);
  EXPECT_EQ(slurp(project / "notes.txt"), "goodbye world\n");
  EXPECT_EQ(slurp(project / "ran.txt"), "shell-was-here\n");
  EXPECT_EQ(TmuxPane::count(out, "1 (--yes)"), 2) << out;
  EXPECT_NE(out.find(kCommandShown), std::string::npos) << out;
  EXPECT_NE(out.find("All done."), std::string::npos) << out;
  EXPECT_EQ(out.find("\x1b]"), std::string::npos) << out;  // no escape of the agent's obeyed
  EXPECT_EQ(slurp(errors), "");
  EXPECT_EQ(sandbox_->processes_left(), "");
}

}  // namespace
