// Which rule patterns may reuse a remembered match after a search start in mid-word.
#include "styled/syntax_context.h"

#include <gtest/gtest.h>

#include <string_view>

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
        // Anything else that may read before the start.
        ContextCase{R"(\<foo|bar)", Context::any},  // the word start binds to one alternative
        ContextCase{R"((?:\<[+-]?[0-9]+))", Context::any},
        ContextCase{R"(^(?:[[:space:]]*'{3}))", Context::any}, ContextCase{R"(x\b)", Context::any},
        ContextCase{R"(\Bx)", Context::any}, ContextCase{R"((?<=a)b)", Context::any},
        ContextCase{R"(\<(?<!_)a)", Context::any},  // a look-behind rules out even a word start
        ContextCase{R"([\b]x)", Context::any},      // conservative inside classes
        ContextCase{R"(\Gx)", Context::any},
        // Malformed patterns are never trusted.
        ContextCase{R"((a)", Context::any}, ContextCase{R"(a))", Context::any},
        ContextCase{R"([a)", Context::any}, ContextCase{R"(a\)", Context::any},
        ContextCase{R"([[:alpha)", Context::any}));

}  // namespace
}  // namespace styled
