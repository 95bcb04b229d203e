#include "unicode/visible_command.h"

#include <gtest/gtest.h>

namespace unicode {
namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(VisibleCommand, shows_every_character_that_could_disguise_the_text) {
  for (const Case c : {
           Case{"rm -rf build", "rm -rf build"},
           Case{"a\nb\tc", "a\nb\tc"},  // line feed and tab are the caller's business
           Case{"\x1b[2J\x7f\xC2\x9b", "␛[2J␡\xEF\xBF\xBD"},
           Case{"ls \u202Etxt.exe", "ls <U+202E>txt.exe"},
           Case{"\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069",
                "<U+202A><U+202B><U+202C><U+202D><U+2066><U+2067><U+2068><U+2069>"},
           Case{"a\u200Bb\u200Cc\u200Dd\u2060e\uFEFF",
                "a<U+200B>b<U+200C>c<U+200D>d<U+2060>e<U+FEFF>"},
           Case{"\u200E\u200F\u061C\u2028\u2029", "<U+200E><U+200F><U+061C><U+2028><U+2029>"},
           Case{"ok \u2067\xE2\x80", "ok <U+2067>\xEF\xBF\xBD\xEF\xBF\xBD"},  // cut sequence
           Case{"é → ✓ 中", "é → ✓ 中"},  // other characters of the same lead bytes stay
       }) {
    EXPECT_EQ(visible_command(c.in), c.out) << c.in;
  }
}

}  // namespace
}  // namespace unicode
