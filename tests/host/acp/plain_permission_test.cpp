// The permission question of the plain presentation: every option numbered, the command whole
// and escape-proof, and what each typed answer selects.

#include "host/acp/plain_permission.h"

#include <gtest/gtest.h>

namespace {

using namespace host::acp;

PermissionQuestion question() {
  PermissionQuestion q;
  q.title = "Run rm";
  q.detail = "rm -rf build\x1b]0;owned\x07\nsecond line";
  q.options = {{"yes", "Allow", "allow_once"},
               {"no", "Reject", "reject_once"},
               {"always", "Always allow", "allow_always"}};
  return q;
}

TEST(PlainPermission, ShowsTheWholeCommandAndNumbersEveryOption) {
  EXPECT_EQ(plain_permission_question(question()),
            "\n\x1b[1;33m▪ Approve Run rm\x1b[0m\n"
            "    \x1b[36mrm -rf build␛]0;owned␇\x1b[0m\n"
            "    \x1b[36msecond line\x1b[0m\n"
            "  1 Allow · 2 Reject · 3 Always allow\n"
            "  Choice: ");
}

TEST(PlainPermission, ADiffIsShownInItsColoursAndEscapeProof) {
  PermissionQuestion q = question();
  q.detail = "--- a.txt\n+++ a.txt\n@@ -1 +1 @@\n-old\n+new\x1b[2J\n same";
  q.diff = true;
  const std::string text = plain_permission_question(q);
  EXPECT_NE(text.find("    \x1b[36m--- a.txt\x1b[0m\n"
                      "    \x1b[36m+++ a.txt\x1b[0m\n"
                      "    \x1b[1;36m@@ -1 +1 @@\x1b[0m\n"
                      "    \x1b[31m-old\x1b[0m\n"
                      "    \x1b[32m+new␛[2J\x1b[0m\n"
                      "    \x1b[36m same\x1b[0m\n"),
            std::string::npos)
      << text;
}

TEST(PlainPermission, AnswersSelectByNumberAndAnythingElseRejects) {
  const PermissionQuestion q = question();
  for (const auto& [answer, chosen] :
       std::vector<std::pair<std::string, std::string>>{{"1", "yes"},
                                                        {" 3 ", "always"},
                                                        {"2", "no"},
                                                        {"", "no"},
                                                        {"4", "no"},
                                                        {"y", "no"},
                                                        {"0", "no"},
                                                        {"99999999999999999999", "no"}}) {
    EXPECT_EQ(plain_permission_choice(q, answer), chosen) << answer;
  }
  PermissionQuestion allow_only = q;
  allow_only.options.erase(allow_only.options.begin() + 1);
  EXPECT_EQ(plain_permission_choice(allow_only, "x"), std::nullopt);  // cancelled
}

}  // namespace
