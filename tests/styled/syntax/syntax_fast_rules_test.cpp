// The hand-written matchers must find exactly what the rules' regular expressions find, for
// every rule shape they take over, in every definition we use, from every start position.

#include "styled/syntax/syntax_fast_rules.h"

#include <gtest/gtest.h>
#include <srchilite/highlightrule.h>
#include <srchilite/highlighttoken.h>
#include <srchilite/matchingparameters.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "styled/syntax/syntax_highlighter.h"
#include "styled/syntax/syntax_srchilite_highlight.h"
#include "styled/syntax/syntax_registry.h"

namespace styled {
namespace {

// Every rule of the language's definition.
std::vector<srchilite::HighlightRulePtr> all_rules(const char* language) {
  std::vector<srchilite::HighlightRulePtr> out;
  std::set<const srchilite::HighlightState*> seen;
  const auto highlighter = syntax_registry::load(language);
  if (!highlighter) return out;
  std::vector<srchilite::HighlightStatePtr> todo{highlighter->definition()};
  while (!todo.empty()) {
    auto s = todo.back();
    todo.pop_back();
    if (!s || !seen.insert(s.get()).second) continue;
    for (const auto& r : s->getRuleList()) {
      out.push_back(r);
      if (r->getNextState()) todo.push_back(r->getNextState());
    }
  }
  return out;
}

std::vector<std::string> sample_lines() {
  std::vector<std::string> lines = {
      "import os, sys  # comment with 'quote'",
      "def greet(name: str) -> str:",
      "    return f\"hello {name}\" + str(42) + 'it\\'s' + \"a\\\\\"",
      "  '''doc string''' and \"\"\"more\"\"\" x = 0x1F + 3.5e-3",
      "int main(int argc, char** argv) { return printf(\"%d\\n\", argc) >= 0; }",
      "for f in *.txt; do echo \"$f\" | grep -v '^#'; done",
      "const f = async (a) => { await g (a); }; // done /* c */",
      "xprint(1) sprint print_ in_ in(x) _f(2) 9abc( f  (",
      "1 12 3.14 .5 5. 0x1F 0x 0xg 1e5 1e+5 1E-x 7u 7uL 7int16 7int8x 3.1e2L 0x1Fu 08 1.2.3 a1 _1",
      "   '''doc''' \t\"\"\" x",
      "\t'''",
      "\"unterminated \\\" string",
      "\"a \"\f\"\"\"f ): x\v\"\"\"\r y",
      "'''",
      "  'lone docstring'  ",
      "\t\"a \\\" b\"\t",
      "'x' y",
      "'unclosed \\'",
      "\"\"",
      "'it''s'",
      "  \"a\\\\\" ",
      "",
      "   ",
  };
  std::mt19937 rng(12345);
  const std::string alphabet = "abcdefpirntmxyzuLE_01869 ()'\"\\#{}[]<>=+-*/.,:;!?&|^%~@$\t";
  for (int i = 0; i < 400; ++i) {
    std::string line;
    const int len = static_cast<int>(rng() % 40);
    for (int k = 0; k < len; ++k) line += alphabet[rng() % alphabet.size()];
    lines.push_back(line);
  }
  return lines;
}

TEST(SyntaxFastRules, MatchExactlyWhatTheRegularExpressionsMatch) {
  const std::vector<std::string> lines = sample_lines();
  int fast_rules = 0;
  long compared = 0;
  long without_needed = 0;
  for (const char* file : {"python", "cpp", "c", "javascript", "sh", "java", "rust", "go", "json",
                           "ruby", "sql", "diff", "typescript", "yaml", "toml", "dockerfile"}) {
    const auto rules = all_rules(file);
    ASSERT_FALSE(rules.empty()) << file;
    for (const auto& rule : rules) {
      if (rule->getElemList().size() != 1 || rule->getHasSubexpressions() ||
          rule->getNeedsReferenceReplacement()) {
        continue;
      }
      const auto fast = syntax_fast::matcher_for(rule->toString());
      if (!fast) continue;
      ++fast_rules;
      for (const std::string& line : lines) {
        for (std::size_t from = 0; from <= line.size(); ++from) {
          for (bool bol : {true, false}) {
            if (bol && from != 0) continue;
            const auto start = line.begin() + static_cast<std::ptrdiff_t>(from);
            srchilite::HighlightToken token;
            srchilite::MatchingParameters params;
            params.beginningOfLine = bol;
            const bool expected = rule->tryToMatch(start, line.end(), token, params);
            std::string::const_iterator b, e;
            bool unsure = false;
            const auto plain_end = syntax_fast::first_unusual(start, line.end());
            const bool got = fast->find(start, line.end(), plain_end, bol, b, e, unsure);
            // What the highlighter concludes from an anchored rule: away from the beginning of
            // a plain line, nothing matches.
            if (fast->anchored() && !bol && plain_end == line.end()) {
              ASSERT_FALSE(expected)
                  << file << " " << rule->toString() << " on [" << line << "] from " << from;
            }
            // And from what it needs: a line holding none of those bytes has no match.
            if (fast->needs() != nullptr &&
                !syntax_fast::bytes_of(line.begin(), line.end()).meets(*fast->needs())) {
              ++without_needed;
              ASSERT_FALSE(expected)
                  << file << " " << rule->toString() << " on [" << line << "] from " << from;
            }
            if (unsure) continue;
            ++compared;
            ASSERT_EQ(got, expected)
                << file << " " << rule->toString() << " on [" << line << "] from " << from;
            if (!got) continue;
            ASSERT_EQ(static_cast<std::size_t>(b - start), token.prefix.size())
                << file << " " << rule->toString() << " on [" << line << "] from " << from;
            ASSERT_EQ(std::string(b, e), token.matched.front().second)
                << file << " " << rule->toString() << " on [" << line << "] from " << from;
          }
        }
      }
    }
  }
  EXPECT_GE(fast_rules, 30);
  EXPECT_GE(compared, 100000);
  EXPECT_GE(without_needed, 1000);
}

// "" when both texts colour every byte alike, else where they first differ.
std::string first_difference(const Text& a, const Text& b) {
  const auto ra = a.runs(), rb = b.runs();
  auto style_at = [](const std::vector<StyleRun>& runs, std::uint32_t pos) {
    for (const StyleRun& r : runs) {
      if (r.start <= pos && pos < r.end) return r.style;
    }
    return Style();
  };
  for (std::uint32_t pos = 0; pos < a.plain().size(); ++pos) {
    if (style_at(ra, pos) != style_at(rb, pos)) {
      const std::size_t from = a.plain().rfind('\n', pos) + 1;
      const std::size_t to = a.plain().find('\n', pos);
      return "at " + std::to_string(pos - from) + " of [" + a.plain().substr(from, to - from) +
             "]: " + style_at(ra, pos).to_string() + " instead of " + style_at(rb, pos).to_string();
    }
  }
  return "";
}

// End to end: the fast highlighter, with its per-line memory and hand-written matchers,
// colours every character as the library's own highlighter does, over multi-line code.
TEST(SyntaxFastRules, HighlightingMatchesTheLibrarysHighlighter) {
  const std::vector<std::string> lines = sample_lines();
  std::string code;
  for (const auto& l : lines) code += l + "\n";
  const std::string extra =
      "/* open\n still */ x = 1; // c\n\"\"\"py doc\nmore\"\"\" y\n--[==[ lua\n]==] z\n"
      "cat <<EOF\nbody $x\nEOF\nr#\"raw\"# 0x1Fu 3.5e-2L\n";
  for (const char* lang :
       {"python", "cpp",  "c",    "js",  "ts",       "sh",      "java", "rust",       "go",
        "json",   "ruby", "sql",  "lua", "diff",     "yaml",    "toml", "dockerfile", "php",
        "perl",   "css",  "html", "xml", "makefile", "haskell", "scala"}) {
    const auto highlighter = syntax_registry::load(lang);
    ASSERT_TRUE(highlighter) << lang;
    const CodeTheme& theme = CodeTheme::named("monokai");
    for (const std::string& sample : {code, extra}) {
      const Text expected = syntax_library::highlight(sample, highlighter->definition(), theme);
      const Text got = Syntax(sample, lang).highlight();
      ASSERT_EQ(got.plain(), expected.plain()) << lang;
      EXPECT_EQ(first_difference(got, expected), "") << lang;
    }
  }
}

}  // namespace
}  // namespace styled
