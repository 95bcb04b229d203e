// The chat screen driven on a headless pilot: the agent's events become transcript items in
// order, prompts queue while a turn runs, approvals are answered by key, Ctrl+C stops a turn,
// and the view follows the end only while the reader is there.

#include "host/tui/chat_screen.h"
#include "host/pilot_settle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/chat_fakes.h"
#include "host/tui/chat_input.h"
#include "host/tui/chat_log.h"
#include "host/tui/search_bar.h"
#include "host/tui/status_line.h"
#include "host/tui/vellumine_tui.h"
#include "termui/input_parser.h"
#include "termui/pilot.h"
#include "zell/tui/scrollback_fixture.h"

namespace {

using host::tui::ChatScreen;
using host::tui::VellumineTUI;
namespace entries = zell::tui::widgets::entries;

using chat_test::NoStore;
using chat_test::Ready;

// One app with the chat screen open at once and the script played at full speed.
struct Chat {
  explicit Chat(const std::string& script, termui::Size size = {100, 30}, double speed = 0)
      : app(
            config, store, [](const auto&) { return std::make_unique<Ready>(); },
            options(script, speed)),
        pilot(app, size) {
    app.set_clock([this] { return now; });
  }

  // Moves the application's clock on (answer keys count only after a moment).
  void later(double seconds) {
    now += std::chrono::duration_cast<termui::App::Clock::duration>(
        std::chrono::duration<double>(seconds));
  }

  static host::tui::TuiOptions options(const std::string& script, double speed) {
    host::tui::TuiOptions o;
    o.preflight = false;
    o.speed = speed;
    o.script = host::parse_script(script, "test");
    o.config_path = "/tmp/config.toml";
    return o;
  }

  ChatScreen& screen() { return *app.chat(); }
  host::tui::ChatLog& log() { return screen().log(); }

  // Lets the worker run and the UI thread take its messages until `done` holds (10 s at most:
  // a deadline for a hung agent, not a measure of speed).
  bool settle(const std::function<bool()>& done) { return host_test::settle(pilot, done); }
  bool idle() {
    return settle([&] { return !screen().busy(); });
  }

  // The kinds of the transcript's history, and the main text of an entry.
  std::vector<std::string> kinds() {
    std::vector<std::string> out;
    for (const auto& e : log().history()) out.emplace_back(e.kind());
    return out;
  }
  std::string field(std::size_t entry) {
    const auto& h = log().history();
    return entry < h.size() ? zell::tui::widgets::testing::entry_text(h[entry]) : "";
  }

  termui::App::Clock::time_point now = termui::App::Clock::now();
  zell::ports::ZellConfig config;
  NoStore store;
  VellumineTUI app;
  termui::Pilot pilot;
};

const std::string TURN =
    R"({"op": "user", "text": "fix the bug"}
{"op": "start_thinking"}
{"op": "think", "text": "Look at the parser first."}
{"op": "log_tool", "name": "read_file", "args": "src/parse.c"}
{"op": "tool_result", "result": "int parse(void);"}
{"op": "log_tool", "name": "bash", "args": "make"}
{"op": "tool_result", "result": "make: *** Error 1", "error": true}
{"op": "say", "text": "Fixed the **off by one**.\nAll tests pass.", "chunk_chars": 5}
{"op": "done"}
)";

const std::string APPROVAL =
    R"({"op": "user", "text": "clean up"}
{"op": "start_thinking"}
{"op": "log_tool", "name": "bash", "args": "rm -rf build"}
{"op": "approve", "tool": "bash", "command": "rm -rf build"}
{"op": "tool_result", "result": "removed"}
{"op": "say", "text": "Done."}
{"op": "done"}
)";

TEST(ChatScreen, AScriptedTurnBecomesTranscriptItemsInOrder) {
  Chat chat(TURN);
  ASSERT_TRUE(chat.idle());
  const std::vector<std::string> expected{"user", "thinking",    "tool",      "tool_result",
                                          "tool", "tool_result", "assistant", "turn_summary"};
  ASSERT_EQ(chat.kinds(), expected);
  EXPECT_EQ(chat.field(0), "fix the bug");
  EXPECT_EQ(chat.field(1), "Look at the parser first.");
  EXPECT_EQ(chat.log().history()[2].as<entries::Tool>()->name, "read_file");
  EXPECT_EQ(chat.log().history()[2].as<entries::Tool>()->args, "src/parse.c");
  // The answer is the stream's chunks joined, recorded once the turn is done.
  EXPECT_EQ(chat.field(6), "Fixed the **off by one**.\nAll tests pass.");
  // Tools by display name, a count for repeats, then the token estimate.
  EXPECT_NE(chat.field(7).find("Read, Bash"), std::string::npos) << chat.field(7);
  EXPECT_NE(chat.field(7).find(" tokens"), std::string::npos) << chat.field(7);
  // The error flag of a failed tool reaches the transcript: its result line is red.
  EXPECT_TRUE(chat.log().history()[5].as<entries::ToolResult>()->error);
  // The status line is gone once the turn is over.
  EXPECT_FALSE(chat.screen().status().shown());
}

TEST(ChatScreen, AnswerTextAroundAnItemIsDrawnWhereItCameEachPartRenderedWhole) {
  // The agent speaks, then a tool line, an info line or a question comes, then it speaks again:
  // the screen shows them in that order, and each part of the answer as Markdown.
  struct Case {
    std::string name;
    std::string middle;  // script lines between the two parts of the answer
    std::string shown;   // a piece of what the middle draws
    std::string kind;    // the first entry it records
  };
  const std::vector<Case> cases{
      {"tool call and result",
       R"({"op": "log_tool", "name": "read_file", "args": "notes.txt"}
{"op": "tool_result", "result": "hello from notes"})",
       "hello from notes", "tool"},
      {"info line", R"({"op": "print_info", "text": "context compacted"})", "context compacted",
       "info"},
      {"question", R"({"op": "approve", "tool": "bash", "command": "ls notes"})", "Allow bash?",
       "approval"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Chat chat(R"({"op": "user", "text": "read the notes"}
{"op": "start_thinking"}
{"op": "say", "text": "First I **read** the notes.\n", "chunk_chars": 4}
)" + c.middle +
              R"(
{"op": "say", "text": "They say **hello**.", "chunk_chars": 4}
{"op": "done"}
)");
    if (c.kind == "approval") {
      ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
      chat.later(1.0);
      chat.pilot.press("1");
    }
    ASSERT_TRUE(chat.idle());
    const auto& rows = chat.log().lines();
    auto row_of = [&](const std::string& piece) {
      for (std::size_t y = 0; y < rows.size(); ++y) {
        if (rows[y].text().find(piece) != std::string::npos) return static_cast<int>(y);
      }
      return -1;
    };
    const int before = row_of("First I read the notes.");
    const int middle = row_of(c.shown);
    const int after = row_of("They say hello.");
    ASSERT_GE(before, 0);
    ASSERT_GE(middle, 0);
    ASSERT_GE(after, 0);
    EXPECT_LT(before, middle);
    EXPECT_LT(middle, after);
    EXPECT_EQ(row_of("**"), -1) << "a part of the answer was left as raw Markdown";
    const auto kinds = chat.kinds();
    ASSERT_GE(kinds.size(), 4U);
    EXPECT_EQ(kinds[1], "assistant");
    EXPECT_EQ(chat.field(1), "First I **read** the notes.\n");
    EXPECT_EQ(kinds[2], c.kind);
    EXPECT_EQ(kinds[kinds.size() - 2], "assistant");
    EXPECT_EQ(chat.field(kinds.size() - 2), "They say **hello**.");
  }
}

TEST(ChatScreen, ApprovalKeysAnswerOnceTheQuestionHasBeenReadAndOtherKeysAreTyped) {
  struct Case {
    std::string key;
    std::string info;
    std::string result;
  };
  for (const Case& c :
       {Case{"1", "Allowed: bash", "removed"}, Case{"2", "Denied: bash", "Denied by user"}}) {
    SCOPED_TRACE(c.key);
    Chat chat(APPROVAL);
    ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
    EXPECT_EQ(chat.kinds().back(), "approval");
    chat.pilot.type("xy3");
    chat.pilot.paste(" pasted");
    EXPECT_EQ(chat.screen().input().value(), "xy3 pasted");
    EXPECT_TRUE(chat.screen().approval_open());
    chat.later(1.0);
    chat.pilot.press(c.key);
    EXPECT_FALSE(chat.screen().approval_open());
    EXPECT_EQ(chat.screen().input().value(), "xy3 pasted");
    ASSERT_TRUE(chat.idle());
    const auto kinds = chat.kinds();
    const auto approval = std::find(kinds.begin(), kinds.end(), "approval") - kinds.begin();
    ASSERT_LT(approval + 2, static_cast<long>(kinds.size()));
    EXPECT_EQ(chat.field(approval + 1), c.info);
    EXPECT_EQ(chat.field(approval + 2), c.result);
  }
}

TEST(ChatScreen, TypeAheadNeverAnswersAQuestion) {
  struct Case {
    std::string name;
    std::function<void(Chat&)> before;  // what happens between the question and the "1"
    std::string prompt;                 // the prompt field afterwards
  };
  const std::vector<Case> cases{
      {"pressed as the question opens", [](Chat&) {}, "1"},
      {"pressed a moment too soon", [](Chat& c) { c.later(0.3); }, "1"},
      {"the end of a burst of typing",
       [](Chat& c) {
         c.later(2.0);
         c.pilot.type("rm -rf ");
       },
       "rm -rf 1"},
      {"right after a paste",
       [](Chat& c) {
         c.later(2.0);
         c.pilot.paste("ls ");
       },
       "ls 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Chat chat(APPROVAL);
    ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
    c.before(chat);
    chat.pilot.press("1");
    EXPECT_TRUE(chat.screen().approval_open());
    EXPECT_EQ(chat.screen().input().value(), c.prompt);
    chat.later(1.0);  // the same key, once the user has read the question, answers it
    chat.pilot.press("2");
    EXPECT_FALSE(chat.screen().approval_open());
  }
}

TEST(ChatScreen, APasteThatEndsItsOwnMarkerEarlyDoesNotAnswer) {
  // A pasted text holding the paste-end marker and then "1": the terminal ends the paste at
  // the first marker, so the "1" arrives as a key, in the same read as the paste.
  Chat chat(APPROVAL);
  ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
  chat.later(2.0);
  termui::InputParser parser;
  for (termui::InputEvent& e : parser.feed("\x1b[200~ls\x1b[201~1\x1b[201~")) {
    if (auto* paste = std::get_if<termui::PasteEvent>(&e)) chat.pilot.paste(paste->text);
    if (auto* key = std::get_if<termui::KeyEvent>(&e)) chat.pilot.press(key->key);
  }
  EXPECT_TRUE(chat.screen().approval_open());
  EXPECT_EQ(chat.screen().input().value(), "ls1");
}

TEST(ChatScreen, PromptsSentWhileBusyQueueAndRunInOrder) {
  Chat chat(APPROVAL);
  ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
  chat.screen().submit("first");
  chat.screen().submit("second");
  chat.screen().submit("   ");  // blank prompts are not sent
  EXPECT_EQ(chat.screen().queued(), 2U);
  chat.later(1.0);
  chat.pilot.press("1");
  ASSERT_TRUE(chat.settle([&] { return !chat.screen().busy() && chat.screen().queued() == 0; }));
  std::vector<std::string> prompts;
  for (const auto& e : chat.log().history()) {
    if (e.kind() == "queued" || e.kind() == "user") {
      prompts.push_back(std::string(e.kind()) + " " + zell::tui::widgets::testing::entry_text(e));
    }
  }
  const std::vector<std::string> expected{"user clean up", "queued first", "queued second",
                                          "user first", "user second"};
  EXPECT_EQ(prompts, expected);
  // With the script played out, a typed prompt gets the demo runtime's answer.
  const auto& last_answer = chat.field(chat.kinds().size() - 2);
  EXPECT_NE(last_answer.find("demo runtime"), std::string::npos) << last_answer;
  EXPECT_NE(last_answer.find("/tmp/config.toml"), std::string::npos);
}

TEST(ChatScreen, CtrlCStopsARunningTurnAndQuitsAnIdleApp) {
  Chat chat(R"({"op": "user", "text": "wait"}
{"op": "start_thinking"}
{"op": "say", "text": "part one\n"}
{"op": "sleep", "seconds": 3600}
{"op": "say", "text": "never shown"}
{"op": "done"}
)",
            {100, 30}, 1.0);  // at speed 1 the hour-long pause waits for the interrupt
  ASSERT_TRUE(chat.settle([&] { return chat.screen().busy(); }));
  chat.pilot.press("ctrl+c");
  EXPECT_FALSE(chat.app.exiting());
  // Stopped in the transcript with the key, and said once when the agent has wound down.
  EXPECT_EQ(chat.kinds().back(), "error");
  ASSERT_TRUE(chat.idle());
  const std::vector<std::string> kinds = chat.kinds();
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "error"), 1);
  EXPECT_EQ(chat.field(chat.kinds().size() - 1), "Interrupted");
  chat.pilot.press("ctrl+c");
  EXPECT_TRUE(chat.app.exiting());
}

TEST(ChatScreen, TheStatusLineShowsTheTokensTheOutputManagerCounted) {
  // One thinking chunk of 2,500 characters: the manager counts all of them (625 tokens), while
  // the event carries the first 2,000 only.
  nlohmann::json think{{"op", "think"}, {"text", std::string(2500, 'a')}, {"chunk_chars", 3000}};
  Chat chat("{\"op\": \"user\", \"text\": \"go\"}\n{\"op\": \"start_thinking\"}\n" + think.dump() +
                "\n{\"op\": \"sleep\", \"seconds\": 3600}\n{\"op\": \"done\"}\n",
            {100, 30}, 1.0);
  ASSERT_TRUE(chat.settle(
      [&] { return chat.screen().status().text().find("tokens") != std::string::npos; }));
  EXPECT_NE(chat.screen().status().text().find("~625 tokens"), std::string::npos)
      << chat.screen().status().text();
  chat.pilot.press("ctrl+c");
  ASSERT_TRUE(chat.idle());
}

TEST(ChatScreen, PromptsQueuedBeforeCtrlCWaitUntilTheUserSendsAgain) {
  Chat chat(R"({"op": "user", "text": "wait"}
{"op": "start_thinking"}
{"op": "sleep", "seconds": 3600}
{"op": "done"}
)",
            {100, 30}, 1.0);
  ASSERT_TRUE(chat.settle([&] { return chat.screen().busy(); }));
  chat.screen().submit("first");
  chat.screen().submit("second");
  chat.pilot.press("ctrl+c");
  ASSERT_TRUE(chat.idle());
  EXPECT_TRUE(chat.screen().holding());
  EXPECT_EQ(chat.screen().queued(), 2U);
  EXPECT_EQ(chat.kinds().back(), "error");  // "Interrupted", and no new turn after it
  EXPECT_NE(chat.screen().status().text().find("2 queued"), std::string::npos);

  chat.pilot.press("enter");  // on the empty prompt: the queue goes
  EXPECT_TRUE(chat.screen().busy());
  EXPECT_EQ(chat.screen().queued(), 1U);
  EXPECT_EQ(chat.kinds().back(), "user");
  EXPECT_EQ(chat.field(chat.kinds().size() - 1), "first");
}

TEST(ChatScreen, AnAnswerInOneHugePieceReachesTheTranscriptWhole) {
  // 50,000 characters in a single chunk: lines of 60 letters, drawn one row each.
  std::string answer;
  std::vector<std::string> lines;
  for (int i = 0; answer.size() < 50000; ++i) {
    std::string line;
    for (int j = 0; j < 60; ++j) line += static_cast<char>('a' + (i * 7 + j) % 26);
    lines.push_back(line);
    answer += line + "\n";
  }
  nlohmann::json stream{{"op", "stream"}, {"chunk", answer}};
  Chat chat("{\"op\": \"user\", \"text\": \"long\"}\n{\"op\": \"start_thinking\"}\n" +
                stream.dump() + "\n{\"op\": \"done\"}\n",
            {100, 30});
  ASSERT_TRUE(chat.idle());
  const auto kinds = chat.kinds();
  const auto at = std::find(kinds.begin(), kinds.end(), "assistant") - kinds.begin();
  ASSERT_LT(at, static_cast<long>(kinds.size()));
  EXPECT_EQ(chat.field(at), answer);
  // Every line is on display, in order.
  std::vector<std::string> shown;
  for (int y = 0; y < static_cast<int>(chat.log().lines().size()); ++y) {
    const std::string row = chat.log().lines()[y].text();
    const auto first = row.find_first_not_of(' ');
    if (first == std::string::npos || row.size() - first < 60) continue;
    const std::string text = row.substr(first, 60);
    if (std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; })) {
      shown.push_back(text);
    }
  }
  EXPECT_EQ(shown, lines);
}

TEST(ChatScreen, TheViewFollowsTheEndOnlyWhileItIsThere) {
  Chat chat("", {60, 12});
  auto stream = [&](int lines) {
    for (int i = 0; i < lines; ++i) {
      chat.app.post_message(std::make_unique<zell::tui::AgentEvent>(
          "content", std::make_shared<zell::Payload>(
                         zell::Payload{{"chunk", "line " + std::to_string(i) + "\n"}})));
    }
    chat.pilot.pause();
  };
  auto& log = chat.log();
  stream(40);
  EXPECT_TRUE(log.at_end());
  EXPECT_GT(log.scroll_offset().y, 0);

  chat.pilot.press("pageup");
  const int top = log.scroll_offset().y;
  ASSERT_FALSE(log.at_end());
  stream(5);
  EXPECT_EQ(log.scroll_offset().y, top);  // the reader's place is kept
  EXPECT_TRUE(log.new_output_below());
  EXPECT_NE(chat.screen().status().text().find("new output below"), std::string::npos);

  chat.pilot.press("end");
  EXPECT_TRUE(log.at_end());
  EXPECT_FALSE(log.new_output_below());
  EXPECT_FALSE(chat.screen().status().shown());
  stream(5);
  EXPECT_TRUE(log.at_end());

  // Scrolling back down to the end with the wheel follows again too.
  chat.pilot.scroll_up(5, 5, 3);
  ASSERT_FALSE(log.at_end());
  stream(1);
  EXPECT_TRUE(log.new_output_below());
  chat.pilot.scroll_down(5, 5, 10);
  EXPECT_TRUE(log.at_end());
  EXPECT_FALSE(log.new_output_below());
}

TEST(ChatScreen, AFailedSaveOfTheModeIsSaidInTheChatAndTheModeStillApplies) {
  struct ReadOnly : zell::ports::ConfigStore {
    void save_config(const zell::ports::ZellConfig&) override {
      throw std::runtime_error("config.toml: permission denied");
    }
  } store;
  zell::ports::ZellConfig config;
  host::tui::TuiOptions options;
  options.speed = 0;
  VellumineTUI app(
      config, store, [](const auto&) { return std::make_unique<Ready>(); }, options);
  termui::Pilot pilot(app, {100, 30});
  pilot.press("2");
  ASSERT_NE(app.chat(), nullptr);
  EXPECT_EQ(config.runtime.laptop_26b_runtime_mode, "turbo-think");
  const auto& history = app.chat()->log().history();
  ASSERT_FALSE(history.empty());
  ASSERT_EQ(history.front().kind(), "error");
  EXPECT_NE(history.front().as<entries::Error>()->text.find("permission denied"),
            std::string::npos);
}

}  // namespace

// Ctrl+F searches the transcript in a bar above the prompt: the query as typed with its count,
// Enter and n moving on, Escape giving the keys back to the prompt.
TEST(ChatScreen, CtrlFSearchesTheTranscriptAndEscapeGivesTheKeysBack) {
  Chat chat(TURN);
  ASSERT_TRUE(chat.idle());
  const auto bar = [&] {
    for (const std::string& row : chat.pilot.lines()) {
      if (row.find("Find:") != std::string::npos) return row;
    }
    return std::string();
  };
  chat.pilot.press("ctrl+f");
  chat.pilot.type("pars1");  // a digit is typed into the query, never an answer
  EXPECT_NE(bar().find("Find: pars1▏  no matches"), std::string::npos) << bar();
  chat.pilot.press("backspace");
  // "parse" in the tool's argument and its result, and "parser" in the thinking block.
  EXPECT_NE(bar().find("Find: pars▏  1 of 3"), std::string::npos) << bar();
  chat.pilot.press("enter");
  EXPECT_NE(bar().find("Find: pars  2 of 3  n/N"), std::string::npos) << bar();
  chat.pilot.press({"n", "n"});
  EXPECT_NE(bar().find("1 of 3"), std::string::npos) << bar();
  chat.pilot.press("N");
  EXPECT_NE(bar().find("3 of 3"), std::string::npos) << bar();
  chat.pilot.press("escape");
  EXPECT_EQ(bar(), "");
  chat.pilot.type("ok");
  EXPECT_EQ(chat.screen().input().value(), "ok");
}

TEST(ChatScreen, DigitsTypedIntoTheSearchAnswerNoQuestion) {
  Chat chat(APPROVAL);
  ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
  chat.later(1.0);
  chat.pilot.press("ctrl+f");
  chat.pilot.type("1");
  EXPECT_TRUE(chat.screen().approval_open());
  EXPECT_EQ(chat.screen().search_bar().query(), "1");
  chat.pilot.press("escape");
  chat.pilot.press("1");  // back at the prompt, the key answers
  EXPECT_FALSE(chat.screen().approval_open());
}
