// The turn logic without a screen: what runs, what waits, and which key answers a question.

#include "host/tui/turn_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using host::PendingTurn;
using host::tui::TurnController;
using namespace std::chrono_literals;

// Records what the controller asked for, as lines.
struct Recorder {
  std::vector<std::string> said;
  std::vector<std::string> script;  // prompts of the script turns still to come

  TurnController make() {
    return TurnController({
        [this](const PendingTurn& t) { said.push_back("start " + t.prompt); },
        [this] { said.push_back("interrupt"); },
        [this](std::optional<std::size_t> choice, const TurnController::Question& q) {
          said.push_back((choice ? "answer " + std::to_string(*choice + 1) : "cancel") + " " +
                         q.tool);
        },
        [this]() -> std::optional<PendingTurn> {
          if (script.empty()) return std::nullopt;
          PendingTurn t{script.front(), true, nullptr};
          script.erase(script.begin());
          return t;
        },
    });
  }
};

TEST(TurnController, QueuedPromptsRunInOrderThenTheScriptGoesOn) {
  Recorder r;
  r.script = {"scripted"};
  TurnController c = r.make();
  EXPECT_EQ(c.send("one"), TurnController::Sent::started);
  EXPECT_EQ(c.send("two"), TurnController::Sent::queued);
  EXPECT_EQ(c.send("  "), TurnController::Sent::ignored);
  c.finished();
  c.finished();
  c.finished();
  EXPECT_FALSE(c.busy());
  EXPECT_EQ(r.said, (std::vector<std::string>{"start one", "start two", "start scripted"}));
}

TEST(TurnController, CtrlCHoldsTheQueueUntilTheUserSendsAgain) {
  for (const std::string resend : {"", "three"}) {
    SCOPED_TRACE("sent: '" + resend + "'");
    Recorder r;
    r.script = {"scripted"};
    TurnController c = r.make();
    c.send("one");
    c.send("two");
    EXPECT_EQ(c.interrupt_or_quit(), TurnController::CtrlC::interrupted);
    c.finished();
    EXPECT_TRUE(c.holding());
    EXPECT_EQ(r.said, (std::vector<std::string>{"start one", "interrupt"}));
    EXPECT_EQ(c.send(resend), TurnController::Sent::released);
    c.finished();  // the new prompt waits its turn behind the held ones, then the script
    EXPECT_EQ(r.said,
              (std::vector<std::string>{"start one", "interrupt", "start two",
                                        resend.empty() ? "start scripted" : "start three"}));
  }
}

TEST(TurnController, CtrlCWithNothingQueuedLetsTheScriptGoOn) {
  Recorder r;
  r.script = {"scripted"};
  TurnController c = r.make();
  c.send("one");
  c.interrupt_or_quit();
  EXPECT_EQ(c.interrupt_or_quit(), TurnController::CtrlC::quit);  // a second one quits
  c.finished();
  EXPECT_FALSE(c.holding());
  EXPECT_EQ(r.said.back(), "start scripted");
  c.finished();
  EXPECT_EQ(c.interrupt_or_quit(), TurnController::CtrlC::quit);  // idle: quits
}

TEST(TurnController, AnAnswerKeyCountsOnlyAfterAMomentAndOutsideABurst) {
  const auto t0 = TurnController::Clock::time_point{} + 100s;
  struct Case {
    const char* name;
    std::optional<TurnController::Clock::duration> typed;  // since the question opened
    TurnController::Clock::duration pressed;
    bool counts;
  };
  const Case cases[] = {
      {"at once", std::nullopt, 0ms, false},
      {"just before the delay", std::nullopt, 499ms, false},
      {"after the delay", std::nullopt, 500ms, true},
      {"typing stopped long enough ago", 100ms, 600ms, true},
      {"typing just before", 700ms, 1000ms, false},
      {"typing before the question, read after", -50ms, 2s, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Recorder r;
    TurnController c = r.make();
    c.send("go");
    EXPECT_FALSE(c.answer_counts(0, t0 + 10s));  // no question open
    c.question_opened({"bash", "rm -rf ~/important", {}, t0});
    if (k.typed) c.typed(t0 + *k.typed);
    EXPECT_EQ(c.answer_counts(0, t0 + k.pressed), k.counts);
  }
}

TEST(TurnController, OnlyTheKeysOfTheQuestionsAnswersCount) {
  const auto t0 = TurnController::Clock::time_point{} + 100s;
  Recorder r;
  TurnController c = r.make();
  c.send("go");
  c.question_opened({"bash", "rm", {}, t0});  // yes/no: keys 1 and 2
  EXPECT_TRUE(c.answer_counts(1, t0 + 1s));
  EXPECT_FALSE(c.answer_counts(2, t0 + 1s));
  c.question_opened({"Run rm", "rm", {"Allow", "Reject", "Always allow", "Never"}, t0});
  EXPECT_TRUE(c.answer_counts(3, t0 + 1s));
  EXPECT_FALSE(c.answer_counts(4, t0 + 1s));
  c.answer(2);
  EXPECT_FALSE(c.question());
  EXPECT_EQ(r.said.back(), "answer 3 Run rm");
}

TEST(TurnController, CtrlCCancelsAnOpenQuestion) {
  Recorder r;
  TurnController c = r.make();
  c.send("go");
  c.question_opened({"bash", "rm", {}, {}});
  c.interrupt_or_quit();
  EXPECT_FALSE(c.question());
  EXPECT_EQ(r.said, (std::vector<std::string>{"start go", "cancel bash", "interrupt"}));
}

}  // namespace
