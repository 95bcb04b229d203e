// Which rule patterns may reuse a remembered match after a search start in mid-word.
#include "styled/syntax/syntax_context.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "styled/syntax/syntax.h"
#include "styled/syntax/syntax_highlighter.h"
#include "styled/syntax/syntax_srchilite_highlight.h"
#include "styled/syntax/syntax_registry.h"

namespace styled {
namespace {

using syntax_context::Context;

struct ContextCase {
  std::string_view pattern;
  Context expected;
};

class SyntaxContextCases : public ::testing::TestWithParam<ContextCase> {};

TEST_P(SyntaxContextCases, Classifies) {
  EXPECT_EQ(syntax_context::of(GetParam().pattern), GetParam().expected) << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, SyntaxContextCases,
    ::testing::Values(
        // Nothing that looks back.
        ContextCase{R"("(?:[^\\"]|\\.)*")", Context::none},
        ContextCase{R"((?:~|!|%|\^|\*|\(|\)|-|\+|=))", Context::none},
        ContextCase{R"((?:[[:alpha:]]|_)[[:word:]]*(?=[[:blank:]]*\())", Context::none},
        ContextCase{R"(\z)", Context::none},
        ContextCase{R"([]^|(])", Context::none},  // all literal members of one class
        // Led by a word start; later boundaries are read with context by both searches.
        ContextCase{R"(\<(?:import|from)\>)", Context::word_start},
        ContextCase{R"(\<(?:a|b)\b)", Context::word_start},
        // Groups around the lead, with alternatives only deeper in.
        ContextCase{R"((?:\<[+-]?[0-9]+))", Context::word_start},
        ContextCase{R"((?:(?:\<a)(?:b|c)))", Context::word_start},
        ContextCase{
            R"((?:\<[+-]?(?:(?:0x[[:xdigit:]]+)|(?:[[:digit:]]+))u?(?:(?:int(?:8|16))|L)?\>))",
            Context::word_start},
        // Anything else that may read before the start.
        ContextCase{R"(\<foo|bar)", Context::any},  // the word start binds to one alternative
        ContextCase{R"((?:\<a|b))", Context::any},  // the alternative is the group's own
        ContextCase{R"((?:\<a)|b)", Context::any},  // or the pattern's
        ContextCase{R"((?:\<a)?b)", Context::any},  // the lead may be skipped
        ContextCase{R"((?:\<a)*)", Context::any}, ContextCase{R"((?:\<a){0,1}b)", Context::any},
        ContextCase{R"(^(?:[[:space:]]*'{3}))", Context::any}, ContextCase{R"(x\b)", Context::any},
        ContextCase{R"(\Bx)", Context::any}, ContextCase{R"((?<=a)b)", Context::any},
        ContextCase{R"(\<(?<!_)a)", Context::any},  // a look-behind rules out even a word start
        ContextCase{R"([\b]x)", Context::any},      // conservative inside classes
        ContextCase{R"(\Gx)", Context::any},
        // Malformed patterns are never trusted.
        ContextCase{R"((a)", Context::any}, ContextCase{R"(a))", Context::any},
        ContextCase{R"([a)", Context::any}, ContextCase{R"(a\)", Context::any},
        ContextCase{R"([[:alpha)", Context::any}));

// A line whose first byte follows a line of the same rules' memory: the memory of the earlier
// line must not make the search read before the new line (caught by the sanitizers), and the
// colours stay those of the library's own highlighter.
TEST(SyntaxContext, FreshLineAfterRememberedMatches) {
  const std::string code("\xdd\x96\x91\x01\xdd\x96\x91\0\0\0\0\0\0\0\0\r\nx\n", 19);
  for (const char* lang : {"cpp", "python", "sh"}) {
    const Text got = Syntax(code, lang).highlight();
    const Text expected = syntax_library::highlight(code, syntax_registry::load(lang)->definition(),
                                                    CodeTheme::named("monokai"));
    EXPECT_EQ(got.plain(), expected.plain()) << lang;
    EXPECT_EQ(got.runs(), expected.runs()) << lang;
  }
}

// Highlighting runs of one language between runs of many others (each definition keeps its
// own memory) still colour as the library's own highlighter does.
TEST(SyntaxRegistry, HighlightingBetweenOtherDefinitions) {
  const std::string code = "import os\ndef f(x):\n    return \"s\" + 42  # c\n'''doc\n'''\n";
  const Text expected = syntax_library::highlight(
      code, syntax_registry::load("python")->definition(), CodeTheme::named("monokai"));
  EXPECT_EQ(Syntax(code, "python").highlight().runs(), expected.runs());
  for (const char* lang : {"ada", "pascal", "tcl", "erlang", "vim", "d", "fortran", "groovy",
                           "scheme", "sml", "prolog", "haxe", "oz"}) {
    (void)Syntax("x := 1;\n", lang).highlight();
    const Text got = Syntax(code, "python").highlight();
    EXPECT_EQ(got.plain(), expected.plain()) << "after " << lang;
    EXPECT_EQ(got.runs(), expected.runs()) << "after " << lang;
  }
}

}  // namespace
}  // namespace styled
