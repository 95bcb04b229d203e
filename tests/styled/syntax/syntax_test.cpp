#include "styled/syntax/syntax.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "styled/render_helpers.h"
#include "styled/syntax/syntax_registry.h"

namespace styled {
namespace {

// The colour the highlighter gave to the first occurrence of `token`.
std::optional<Color> colour_of(const Text& t, std::string_view token) {
  const std::size_t at = t.plain().find(token);
  if (at == std::string::npos) return std::nullopt;
  for (const StyleRun& r : t.runs()) {
    if (r.start <= at && at < r.end) return r.style.fg();
  }
  return Color();
}

struct TokenCase {
  const char* language;
  const char* code;
  const char* token;
  const char* colour;
};

class SyntaxTokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(SyntaxTokens, CarryThePaletteColours) {
  const auto& c = GetParam();
  const Text t = Syntax(c.code, c.language).highlight();
  std::string code = c.code;
  if (!code.empty() && code.back() == '\n') code.pop_back();  // a final line feed adds no row
  EXPECT_EQ(t.plain(), code);
  EXPECT_EQ(colour_of(t, c.token), Color::parse(c.colour)) << c.language << ": " << c.token;
}

constexpr const char* PY = "import os\ndef f(x):\n    # note\n    return \"s\" + 42\n";
constexpr const char* CPP =
    "#include <vector>\nint main() {\n  // c\n  return 0x1f + \"s\"[0];\n}\n";
constexpr const char* JS = "const f = function (a) { return 'q' + 7; }; // done\n";
constexpr const char* SH = "for f in *.txt; do echo \"$f\"; done # loop\n";

INSTANTIATE_TEST_SUITE_P(
    Languages, SyntaxTokens,
    ::testing::Values(
        TokenCase{"python", PY, "import", "#f92672"}, TokenCase{"py", PY, "def", "#66d9ef"},
        TokenCase{"python", PY, "# note", "#75715e"}, TokenCase{"python", PY, "\"s\"", "#e6db74"},
        TokenCase{"python", PY, "42", "#ae81ff"}, TokenCase{"python", PY, "+", "#f92672"},
        TokenCase{"python", PY, "f(", "#a6e22e"}, TokenCase{"cpp", CPP, "int", "#66d9ef"},
        TokenCase{"c++", CPP, "// c", "#75715e"}, TokenCase{"cpp", CPP, "return", "#66d9ef"},
        TokenCase{"cpp", CPP, "0x1f", "#ae81ff"}, TokenCase{"cpp", CPP, "main", "#a6e22e"},
        TokenCase{"js", JS, "const", "#66d9ef"}, TokenCase{"javascript", JS, "'q'", "#e6db74"},
        TokenCase{"js", JS, "7", "#ae81ff"}, TokenCase{"js", JS, "// done", "#75715e"},
        TokenCase{"sh", SH, "for", "#66d9ef"}, TokenCase{"bash", SH, "# loop", "#75715e"},
        TokenCase{"shell", SH, "done", "#66d9ef"},
        TokenCase{"ts", "import x from 'y';\n", "import", "#f92672"},
        TokenCase{"diff", "--- a\n+++ b\n@@ -1 +1 @@\n-old\n+new\n", "-old", "#f92672"},
        TokenCase{"diff", "--- a\n+++ b\n@@ -1 +1 @@\n-old\n+new\n", "+new", "#a6e22e"},
        TokenCase{"yaml", "key: 12\n", "12", "#ae81ff"},
        TokenCase{"toml", "name = \"x\"\n", "\"x\"", "#e6db74"}));

struct AliasCase {
  const char* alias;
  const char* file;
};

class SyntaxAliases : public ::testing::TestWithParam<AliasCase> {};

TEST_P(SyntaxAliases, MapToTheNearestDefinition) {
  EXPECT_EQ(Syntax::resolve_language(GetParam().alias), GetParam().file) << GetParam().alias;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SyntaxAliases,
    ::testing::Values(AliasCase{"py", "python.lang"}, AliasCase{"Python", "python.lang"},
                      AliasCase{"js", "javascript.lang"}, AliasCase{"ts", "typescript.lang"},
                      AliasCase{"tsx", "typescript.lang"}, AliasCase{"sh", "sh.lang"},
                      AliasCase{"shell", "sh.lang"}, AliasCase{"zsh", "sh.lang"},
                      AliasCase{"c++", "cpp.lang"}, AliasCase{"rs", "rust.lang"},
                      AliasCase{"yml", "yaml.lang"}, AliasCase{"toml", "toml.lang"},
                      AliasCase{"json", "json.lang"}, AliasCase{"diff", "diff.lang"},
                      AliasCase{"dockerfile", "dockerfile.lang"}, AliasCase{"ada", "ada.lang"},
                      AliasCase{"nosuchlang", ""}, AliasCase{"../../etc/passwd", ""}));

// The project's own definition files are built into the library, byte for byte, so that
// nothing of the source tree is read at run time.
TEST(SyntaxAliases, OwnDefinitionsAreBuiltIn) {
  for (const char* file : {"typescript.lang", "yaml.lang", "toml.lang", "dockerfile.lang"}) {
    const syntax_registry::Definition def =
        syntax_registry::find(std::string(file).substr(0, std::string(file).find('.')));
    EXPECT_EQ(def.file, file);
    EXPECT_EQ(def.dir, "");
    std::ifstream in(std::string(VELLUMINE_SOURCE_DIR "/src/styled/syntax/lang/") + file,
                     std::ios::binary);
    const std::string source((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(source.empty()) << file;
    EXPECT_EQ(def.text, source) << file;
  }
}

// Definition files that only exist to be included by another are not languages of their own.
TEST(SyntaxAliases, IncludedPiecesAreNotLanguages) {
  EXPECT_EQ(Syntax::resolve_language("tml_macros1"), "");
  EXPECT_EQ(Syntax("a b", "tml_formatting").highlight().plain(), "a b");
  EXPECT_EQ(Syntax::resolve_language("tml"), "tml.lang");
}

TEST(SyntaxDefinitions, EveryAliasedDefinitionLoadsAndHighlights) {
  for (const char* lang : {"ts", "yaml", "toml", "dockerfile", "go", "rust", "json", "java", "ruby",
                           "sql", "css", "lua", "makefile", "kotlin", "swift"}) {
    const Text t = Syntax("x = 1 # y\n", lang).highlight();
    EXPECT_EQ(t.plain(), "x = 1 # y") << lang;
    bool coloured = false;
    for (const StyleRun& r : t.runs()) coloured |= r.style.fg().is_set();
    EXPECT_TRUE(coloured) << lang << " gave no token a colour";
  }
}

TEST(SyntaxUnknown, UnknownLanguageIsPlainOnTheBackground) {
  Console console;
  const Lines lines = console.render_lines(Syntax("a < b", "klingon", "monokai", true, 1), 12);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].text(), " a < b      ");
  for (std::size_t col = 0; col < 12; ++col) {
    EXPECT_EQ(testing::style_at(lines[1], col)->normalized(), Style::parse("#f8f8f2 on #272822"));
  }
}

struct FrameCase {
  const char* language;
  const char* code;
  int padding;
};

class SyntaxFrames : public ::testing::TestWithParam<FrameCase> {};

// Each row is the highlighted text's wrapped row between the padding, filled to the width on
// the background, as Line::push and Line::append put it together.
TEST_P(SyntaxFrames, RowsAreTheWrappedTextBetweenThePadding) {
  const auto& c = GetParam();
  const int width = 24;
  const Syntax syntax(c.code, c.language, "monokai", true, c.padding);
  const Style& bg = syntax.theme().background;
  Text text = syntax.highlight();
  text.set_base_style(bg);
  const int inner = width - 2 * c.padding;
  const Lines rows = text.wrap(inner);
  const std::string side(static_cast<std::size_t>(c.padding), ' ');
  Lines expected;
  if (c.padding > 0) {
    Line blank;
    pad_line(blank, width, bg);
    expected.push_back(blank);
  }
  for (const Line& row : rows) {
    Line line;
    line.push(side, bg, side.size());
    line.append(row);
    pad_line(line, static_cast<std::size_t>(width - c.padding), bg);
    line.push(side, bg, side.size());
    expected.push_back(line);
  }
  if (c.padding > 0) expected.push_back(expected.front());
  Console console;
  const Lines got = console.render_lines(syntax, width);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].segments, expected[i].segments) << "row " << i;
    EXPECT_EQ(got[i].cells, expected[i].cells) << "row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SyntaxFrames,
    ::testing::Values(FrameCase{"python", PY, 1}, FrameCase{"python", PY, 0},
                      FrameCase{"python", PY, 3}, FrameCase{"cpp", CPP, 1},
                      FrameCase{"python", "x = 1\n\n    y\n",
                                1},  // plain first tokens, a blank row
                      FrameCase{"python", "def averyveryverylongname(a, b, c, d): pass\n", 1},
                      FrameCase{"klingon", "a < b\n", 2}));

// A line on which the regular expression library runs out of its matching stack (found by
// fuzzing): the code is drawn unhighlighted instead of the exception ending the render.
TEST(SyntaxUnknown, CodeTheMatcherGivesUpOnIsPlain) {
  const std::string a16(16, 'A');
  const std::string ff = "\xff";
  std::string code = ff + a16 + a16 + ff + "comment" + std::string(76, 'A') + ff + "regexp";
  for (int i = 0; i < 23; ++i) code += ff;
  code += "preprocN9srchilite18StateStartLangElem" + std::string("\0\0\0\x13", 4);
  code += ff + ff + ff + ff + a16;
  for (int i = 0; i < 53; ++i) code += ff;
  code += std::string("\x01\0\0\x08//$\n", 8);
  Text t;
  ASSERT_NO_THROW(t = Syntax(code, "cpp").highlight());
  EXPECT_EQ(t.plain(), Text(code).plain());
  Console console;
  Lines lines;
  ASSERT_NO_THROW(lines = console.render_lines(Syntax(code, "cpp", "monokai", true, 1), 40));
  EXPECT_GT(lines.size(), 2u);
}

TEST(SyntaxLines, MultiLineStateCarriesAcrossLines) {
  const Text t = Syntax("/* open\nstill comment */ int x;\n", "cpp").highlight();
  EXPECT_EQ(colour_of(t, "still"), Color::parse("#75715e"));
  EXPECT_EQ(colour_of(t, "int"), Color::parse("#66d9ef"));
}

}  // namespace
}  // namespace styled
