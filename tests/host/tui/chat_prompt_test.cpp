// The chat's prompt as a person uses it, on a headless pilot: history across runs, slash
// commands (the chat's and the agent's), file mentions, long pastes, the history store and
// the file list behind them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/chat_fakes.h"
#include "host/pilot_settle.h"
#include "host/temp_folder.h"
#include "host/tui/chat_input.h"
#include "host/tui/chat_log.h"
#include "host/tui/chat_screen.h"
#include "host/tui/prompt_commands.h"
#include "host/tui/prompt_files.h"
#include "host/tui/prompt_history.h"
#include "host/tui/prompt_popup.h"
#include "host/tui/vellumine_tui.h"
#include "termui/pilot.h"

namespace {

using host::tui::ChatScreen;
using host::tui::VellumineTUI;
using host_test::TempFolder;
using host_test::write_text;

using chat_test::NoStore;
using chat_test::Ready;

// What the agent heard: prompts, and new conversations.
struct Heard {
  std::mutex mutex;
  std::vector<std::string> prompts;
  int new_conversations = 0;
};

// An agent that answers every prompt at once and offers one command of its own.
class Listener final : public host::Agent {
 public:
  Listener(zell::output::OutputManager& m, std::shared_ptr<Heard> heard)
      : m_(m), heard_(std::move(heard)) {}
  host::TurnOutcome run_turn(std::string_view prompt, host::StopSignal&) override {
    {
      const std::lock_guard lock(heard_->mutex);
      heard_->prompts.emplace_back(prompt);
    }
    m_.done();
    return {};
  }
  std::vector<host::AgentCommand> commands() const override {
    return {{"compact", "summarise the conversation"}};
  }
  void new_conversation() override {
    const std::lock_guard lock(heard_->mutex);
    ++heard_->new_conversations;
  }

 private:
  zell::output::OutputManager& m_;
  std::shared_ptr<Heard> heard_;
};

struct Chat {
  explicit Chat(const TempFolder& state, std::filesystem::path work = {})
      : heard(std::make_shared<Heard>()),
        app(
            config, store, [](const auto&) { return std::make_unique<Ready>(); },
            options(state, std::move(work), heard)),
        pilot(app, {80, 30}) {}

  static host::tui::TuiOptions options(const TempFolder& state, std::filesystem::path work,
                                       std::shared_ptr<Heard> heard) {
    host::tui::TuiOptions o;
    o.preflight = false;
    o.speed = 0;
    o.history_path = state.path() / "state" / "history";
    o.work_folder = std::move(work);
    o.agent = [heard](zell::output::OutputManager& m) {
      return std::make_unique<Listener>(m, heard);
    };
    return o;
  }

  ChatScreen& screen() { return *app.chat(); }
  host::tui::ChatInput& input() { return screen().input(); }
  std::vector<std::string> prompts() {
    const std::lock_guard lock(heard->mutex);
    return heard->prompts;
  }
  // Sends what is in the field and waits for the agent's turn to end (10 s at most: a deadline
  // for a hung agent, not a measure of speed).
  void send() {
    pilot.press("enter");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      pilot.pause();
    } while (screen().busy() && std::chrono::steady_clock::now() < deadline);
  }
  bool shows(std::string_view text) { return pilot.text().find(text) != std::string::npos; }
  // Takes the UI thread's messages until `done` holds (10 s at most: a deadline for a hung
  // listing, not a measure of speed).
  bool until(const std::function<bool()>& done) { return host_test::settle(pilot, done); }
  // The files' listing is done and shown.
  bool listed() {
    return until([&] { return !app.files().listing() && !shows("listing files"); });
  }
  std::vector<std::string> choices() {
    std::vector<std::string> out;
    for (const auto& c : screen().popup().choices()) out.push_back(c.text);
    return out;
  }

  std::shared_ptr<Heard> heard;
  zell::ports::ZellConfig config;
  NoStore store;
  VellumineTUI app;
  termui::Pilot pilot;
};

TEST(ChatPrompt, AMultiLinePromptIsSentWholeAndUpRecallsItAfterARestart) {
  TempFolder state;
  {
    Chat chat(state);
    chat.pilot.type("one");
    chat.pilot.press("shift+enter");
    chat.pilot.type("two");
    chat.pilot.press("alt+enter");
    chat.pilot.type("three");
    EXPECT_EQ(chat.input().region().height, 3);
    chat.send();
    EXPECT_EQ(chat.prompts(), std::vector<std::string>{"one\ntwo\nthree"});
    EXPECT_EQ(chat.input().region().height, 1);  // shrinks back once sent
    chat.pilot.type("later");
    chat.send();
  }
  Chat again(state);
  again.pilot.type("draft");
  again.pilot.press("up");
  EXPECT_EQ(again.input().value(), "later");
  again.pilot.press("up");
  EXPECT_EQ(again.input().value(), "one\ntwo\nthree");
  again.pilot.press({"up", "up", "up"});  // its rows, then nothing older: the oldest stays
  EXPECT_EQ(again.input().value(), "one\ntwo\nthree");
  again.pilot.press({"down", "down", "down"});  // its rows, then the newer one
  EXPECT_EQ(again.input().value(), "later");
  again.pilot.press("down");
  EXPECT_EQ(again.input().value(), "draft");

  again.pilot.press("ctrl+u");
  again.pilot.press("ctrl+r");
  again.pilot.type("tw");
  EXPECT_EQ(again.choices(), std::vector<std::string>{"one\ntwo\nthree"});
  again.pilot.press("enter");
  EXPECT_EQ(again.input().value(), "one\ntwo\nthree");
  EXPECT_TRUE(again.prompts().empty());  // taking a search result sends nothing
}

TEST(ChatPrompt, AFiveHundredLinePasteIsOneUnitInTheFieldAndSentWhole) {
  TempFolder state;
  Chat chat(state);
  std::string trace;
  for (int i = 0; i < 500; ++i) trace += "  at frame " + std::to_string(i) + "\n";
  chat.pilot.type("why? ");
  chat.pilot.paste(trace);
  EXPECT_TRUE(chat.shows("❯ why? [pasted 500 lines]"));
  EXPECT_EQ(chat.input().region().height, 1);
  chat.send();
  EXPECT_EQ(chat.prompts(), std::vector<std::string>{"why? " + trace});
}

TEST(ChatPrompt, SlashCommandsCompleteRunAndUnknownOnesSendNothing) {
  TempFolder state;
  Chat chat(state);
  chat.pilot.type("/");
  EXPECT_EQ(chat.choices(),
            (std::vector<std::string>{"/help", "/clear", "/mode", "/export", "/quit", "/compact"}));
  chat.pilot.type("he");
  EXPECT_EQ(chat.choices(), std::vector<std::string>{"/help"});
  chat.pilot.press("tab");
  EXPECT_EQ(chat.input().value(), "/help ");
  EXPECT_FALSE(chat.screen().popup().is_open());
  chat.send();
  EXPECT_TRUE(chat.shows("/compact  summarise the conversation (agent)"));

  chat.pilot.type("/nope please");
  chat.send();
  EXPECT_TRUE(chat.shows("Unknown command /nope"));

  // The agent's own command goes to it as typed; a path is not a command.
  chat.pilot.type("/compact now");
  chat.pilot.press("escape");
  chat.send();
  chat.pilot.type("/usr/bin/env fails");
  chat.send();
  EXPECT_EQ(chat.prompts(), (std::vector<std::string>{"/compact now", "/usr/bin/env fails"}));

  chat.pilot.type("/clear");
  chat.send();
  EXPECT_FALSE(chat.shows("Unknown command"));
  EXPECT_TRUE(chat.shows("New conversation."));
  EXPECT_EQ(chat.heard->new_conversations, 1);
}

TEST(ChatPrompt, ExportWritesTheTranscriptOrSaysWhyNot) {
  TempFolder state;
  Chat chat(state);
  chat.pilot.type("say something worth keeping");
  chat.send();
  const auto file = state.path() / "chat.md";
  chat.pilot.type("/export " + file.string());
  chat.send();
  EXPECT_NE(host_test::slurp(file).find("say something worth keeping"), std::string::npos);
  EXPECT_TRUE(chat.shows("Transcript written to"));
  chat.pilot.type("/export chat.xyz");
  chat.send();
  EXPECT_FALSE(std::filesystem::exists("chat.xyz"));
  EXPECT_FALSE(chat.shows("Transcript written to " + std::string("chat.xyz")));
}

TEST(ChatPrompt, TheTranscriptKeepsItsEndInViewAsTheFieldGrowsAndShrinks) {
  TempFolder state;
  Chat chat(state);
  for (int i = 0; i < 40; ++i) {
    chat.app.post_message(std::make_unique<zell::tui::AgentEvent>(
        "info",
        std::make_shared<zell::Payload>(zell::Payload{{"text", "note " + std::to_string(i)}})));
  }
  chat.pilot.pause();
  ASSERT_TRUE(chat.shows("note 39"));
  for (int i = 0; i < 12; ++i) chat.pilot.press("shift+enter");
  EXPECT_EQ(chat.input().region().height, host::tui::ChatInput::MAX_ROWS);
  EXPECT_TRUE(chat.screen().log().at_end());
  EXPECT_TRUE(chat.shows("note 39"));
  for (int i = 0; i < 12; ++i) chat.pilot.press("ctrl+_");
  EXPECT_EQ(chat.input().region().height, 1);
  EXPECT_TRUE(chat.screen().log().at_end());
}

TEST(ChatPrompt, FileMentionsCompleteFromTheWorkFolder) {
  TempFolder state;
  TempFolder work;
  std::filesystem::create_directories(work.path() / "src");
  std::filesystem::create_directories(work.path() / ".git");  // not a work tree: walked
  write_text(work.path() / "src" / "main.cpp", "int main() {}\n");
  write_text(work.path() / "src" / "map.h", "\n");
  write_text(work.path() / "README.md", "\n");
  write_text(work.path() / ".git" / "HEAD", "\n");
  Chat chat(state, work.path());
  chat.pilot.type("look at @src/ma");
  ASSERT_TRUE(chat.listed());
  EXPECT_EQ(chat.choices(), (std::vector<std::string>{"@src/main.cpp", "@src/map.h"}));
  chat.pilot.press("down");
  chat.pilot.press("enter");  // completes, does not send
  EXPECT_EQ(chat.input().value(), "look at @src/map.h ");
  EXPECT_TRUE(chat.prompts().empty());
  chat.pilot.type("and @HEAD");
  EXPECT_TRUE(chat.choices().empty());
  EXPECT_TRUE(chat.shows("no matches"));

  // A file made during a turn is offered after it.
  chat.pilot.press("ctrl+u");
  chat.pilot.type("say done");
  write_text(work.path() / "src" / "made.cpp", "\n");
  chat.send();
  chat.pilot.type("@src/mad");
  ASSERT_TRUE(chat.listed());
  EXPECT_EQ(chat.choices(), std::vector<std::string>{"@src/made.cpp"});
}

// A git that lists nothing until the gate file exists, then fails (the folder is walked).
struct SlowGit {
  SlowGit() : old_path(std::getenv("PATH") ? std::getenv("PATH") : "") {
    const auto git = bin.path() / "git";
    write_text(git, "#!/bin/sh\nwhile [ ! -e '" + gate().string() +
                        "' ]; do sleep 0.01; done\nexit 128\n");
    std::filesystem::permissions(git, std::filesystem::perms::owner_all);
    ::setenv("PATH", (bin.path().string() + ":" + old_path).c_str(), 1);
  }
  ~SlowGit() { ::setenv("PATH", old_path.c_str(), 1); }
  std::filesystem::path gate() const { return bin.path() / "open"; }

  TempFolder bin;
  std::string old_path;
};

TEST(ChatPrompt, TheFileListIsMadeAwayFromTheKeysAndFillsInWhenDone) {
  TempFolder state;
  TempFolder work;
  write_text(work.path() / "main.cpp", "\n");
  SlowGit git;
  {
    // Closing the chat while git has not answered ends the listing.
    Chat chat(state, work.path());
    chat.pilot.type("@ma");
    chat.pilot.pause();
    EXPECT_TRUE(chat.shows("listing files…"));
  }
  Chat chat(state, work.path());
  chat.pilot.type("@ma");
  chat.pilot.pause();
  EXPECT_TRUE(chat.shows("listing files…"));
  EXPECT_TRUE(chat.choices().empty());
  chat.pilot.type("in");  // keys go on being taken meanwhile
  EXPECT_EQ(chat.input().value(), "@main");
  write_text(git.gate(), "");
  ASSERT_TRUE(chat.listed());
  EXPECT_EQ(chat.choices(), std::vector<std::string>{"@main.cpp"});
}

// ---- the stores behind the prompt ----

TEST(PromptHistory, KeepsTheNewestWithinTheLimitAndDropsLinesThatAreNotText) {
  TempFolder state;
  const auto file = state.path() / "deep" / "history";
  std::filesystem::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary);
    for (std::size_t i = 0; i < host::tui::PromptHistory::LIMIT + 3; ++i) {
      out << "\"prompt " << i << "\"\n";
    }
  }
  {
    host::tui::PromptHistory h(file);
    EXPECT_EQ(h.entries().front(), "prompt 3");  // the oldest beyond the limit are gone
    ASSERT_TRUE(h.add("prompt 1003"));
    EXPECT_TRUE(h.add("prompt 1004"));
    EXPECT_TRUE(h.add("prompt 1004"));  // the same as the last: kept once
    EXPECT_TRUE(h.add("  \n"));         // blank: not kept
  }
  {
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out << "not json\n42\n\"bad \xff utf-8\"\n\"multi\\nline\"\n";
  }
  host::tui::PromptHistory back(file);
  ASSERT_EQ(back.entries().size(), host::tui::PromptHistory::LIMIT);
  EXPECT_EQ(back.entries().front(), "prompt 6");
  EXPECT_EQ(back.entries().back(), "multi\nline");
  EXPECT_EQ(back.search("prompt 100", 3),
            (std::vector<std::string>{"prompt 1004", "prompt 1003", "prompt 1002"}));
  // Nothing is left beside the file by the atomic rewrite.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(file.parent_path())) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(PromptHistory, AFailedSaveKeepsThePromptsOfThisRun) {
  TempFolder state;
  write_text(state.path() / "blocker", "a file where a folder should be");
  host::tui::PromptHistory h(state.path() / "blocker" / "history");
  EXPECT_FALSE(h.add("kept in memory"));
  EXPECT_EQ(h.entries(), std::vector<std::string>{"kept in memory"});
}

TEST(PromptCommands, OnlyANameUpToABlankMakesACommand) {
  struct Case {
    const char* prompt;
    std::optional<std::string> name;
    std::string args;
  };
  const Case cases[] = {
      {"/help", "help", ""},
      {"  /export  out.md \n", "export", "out.md"},
      {"/compact keep the tests", "compact", "keep the tests"},
      {"/usr/bin/ls fails", std::nullopt, ""},
      {"/", std::nullopt, ""},
      {"see /help", std::nullopt, ""},
      {"/hé", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const auto parsed = host::tui::parse_command(c.prompt);
    ASSERT_EQ(parsed.has_value(), c.name.has_value()) << c.prompt;
    if (parsed) {
      EXPECT_EQ(parsed->name, *c.name) << c.prompt;
      EXPECT_EQ(parsed->args, c.args) << c.prompt;
    }
  }
}

TEST(FileIndex, AGitWorkTreeListsWhatGitIgnoreLeaves) {
  TempFolder work;
  const std::string dir = work.path().string();
  if (std::system(("git init -q '" + dir + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "git is not available";
  }
  write_text(work.path() / ".gitignore", "build/\n*.log\n");
  std::filesystem::create_directories(work.path() / "build");
  write_text(work.path() / "build" / "out.o", "\n");
  write_text(work.path() / "run.log", "\n");
  write_text(work.path() / "main.cpp", "\n");
  const auto index = host::tui::FileIndex::scan(work.path());
  EXPECT_EQ(index.matches("", 10), (std::vector<std::string>{".gitignore", "main.cpp"}));
  EXPECT_EQ(index.matches("ain", 10), std::vector<std::string>{"main.cpp"});
}

}  // namespace
