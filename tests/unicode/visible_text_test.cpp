#include "unicode/visible_text.h"
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
           Case{"\u2061\u2062\u2063\u2064\u180E\u034F",
                "<U+2061><U+2062><U+2063><U+2064><U+180E><U+034F>"},
           Case{"\u115F\u3164\uFFA0\u00AD", "<U+115F><U+3164><U+FFA0><U+00AD>"},
           Case{"curl x\U000E0001\U000E0063\U000E007F", "curl x<U+E0001><U+E0063><U+E007F>"},
           Case{"\u2065\u206F\U0001BCA0\U0001D173", "<U+2065><U+206F><U+1BCA0><U+1D173>"},
           Case{"\u00AC\u3163\uFFA1\u2070", "\u00AC\u3163\uFFA1\u2070"},  // their neighbours
       }) {
    EXPECT_EQ(visible_command(c.in), c.out) << c.in;
  }
}

// Any line of agent, tool or server text: what reorders or breaks the line is revealed,
// invisible characters that matter only in commands are left to the text.
TEST(VisibleText, reveals_reordering_characters_in_every_line) {
  for (const Case c : {
           Case{"ok \u202Egnp.exe", "ok <U+202E>gnp.exe"},
           Case{"\u2066a\u2069\u200E\u200F\u061C\u2028\u2029",
                "<U+2066>a<U+2069><U+200E><U+200F><U+061C><U+2028><U+2029>"},
           Case{"\x1b]0;x\x07", "␛]0;x␇"},
           Case{"soft\u00ADhyphen, zero\u200Bwidth, \U0001F44D\u200D",
                "soft\u00ADhyphen, zero\u200Bwidth, \U0001F44D\u200D"},
       }) {
    EXPECT_EQ(visible_text(c.in, Reveal::reordering), c.out) << c.in;
  }
}

}  // namespace
}  // namespace unicode
