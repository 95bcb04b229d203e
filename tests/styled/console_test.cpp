#include "styled/console.h"

#include <gtest/gtest.h>

#include "styled/markdown/markdown.h"
#include "styled/text.h"

namespace styled {
namespace {

TEST(ConsolePrint, ForcedTerminalWritesSgrAndEndsEveryLine) {
  std::string buf;
  Console console({.width = 10, .force_terminal = true, .file = &buf});
  Text t;
  t.append("ab", "bold").append(" cd");
  console.print(t);
  EXPECT_EQ(buf, "\x1b[1mab\x1b[0m cd\n");
}

TEST(ConsolePrint, NotATerminalWritesPlainText) {
  Console console({.width = 5});
  console.print(Text("hello world", "bold red"));
  EXPECT_EQ(console.output(), "hello\nworld\n");
}

TEST(ConsoleRenderLines, PadsAndCropsToTheWidth) {
  Console console;
  const Lines lines = console.render_lines(Text("ab\n日本語"), 5);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text(), "ab   ");
  EXPECT_EQ(lines[1].text(), "日本 ");
  EXPECT_EQ(lines[1].cells, 5u);
  EXPECT_EQ(lines[2].text(), "語   ");
  Text long_line = Text::one_line();
  long_line.set_overflow(Overflow::crop);
  long_line.append("abcdefgh");
  EXPECT_EQ(console.render_lines(long_line, 3)[0].text(), "abc");
}

TEST(ConsoleTheme, PushedThemeWinsThenFallsBackToDefaults) {
  Console console;
  EXPECT_EQ(console.get_style("markdown.code"), Style::parse("bold cyan on black"));
  console.push_theme(Theme{{"markdown.code", "#d72b6b on #2a2a2a"}});
  EXPECT_EQ(console.get_style("markdown.code"), Style::parse("#d72b6b on #2a2a2a"));
  EXPECT_EQ(console.get_style("markdown.em"), Style::parse("italic"));
  console.pop_theme();
  EXPECT_EQ(console.get_style("markdown.code"), Style::parse("bold cyan on black"));
}

TEST(ConsoleTheme, DefaultThemeHoldsTheReferenceStyles) {
  const Theme& t = Theme::default_theme();
  EXPECT_EQ(t.get("markdown.h2"), Style::parse("bold underline"));
  EXPECT_EQ(t.get("markdown.item.bullet"), Style::parse("bold yellow"));
  EXPECT_EQ(t.get("markdown.link_url"), Style::parse("underline blue"));
  EXPECT_EQ(t.get("markdown.block_quote"), Style::parse("magenta"));
}

TEST(ConsolePrint, ControlBytesNeverReachTheOutput) {
  std::string buf;
  Console console({.width = 40, .force_terminal = true, .file = &buf});
  console.print(
      Text::from_ansi("\x1b]52;c;aGk=\x07"
                      "a\x1b[31mb\x9b"
                      "c\x7f"));
  for (std::size_t i = 0; i < buf.size(); ++i) {
    const auto c = static_cast<unsigned char>(buf[i]);
    if (c == 0x1b) {
      ASSERT_EQ(buf[i + 1], '[') << buf;  // only our own SGR sequences
      continue;
    }
    EXPECT_TRUE(c >= 0x20 || c == '\n') << "raw control " << int(c) << " in " << buf;
    EXPECT_NE(c, 0x7f);
  }
}

TEST(ConsolePrint, WritesLineByLineWhatRenderLinesWouldGive) {
  // print hands each Markdown row to the output as soon as it is drawn; the bytes must be
  // those of the lines drawn all at once (crops included) for every kind of block.
  const std::string md =
      "# Title\n\nSome *text* with `code` and a www.link.org.\n\n> quoted\n> - nested item\n\n"
      "1. one\n2. two\n\n```python\ndef f(x):\n    return x + 1\n```\n\n| a | b |\n|---|---|\n"
      "| 1 | 2 |\n\n---\n\n" +
      std::string(300, 'w') + "\n";
  for (int width : {12, 40, 92}) {
    std::string printed;
    Console console({.width = width, .force_terminal = true, .file = &printed});
    console.print(Markdown(md));
    std::string expected;
    for (const Line& line : console.render_lines(Markdown(md), width, false)) {
      console.encode_line(line, expected);
      expected += '\n';
    }
    EXPECT_EQ(printed, expected) << width;
  }
}

// A renderable that prints to another console while it is drawn.
class PrintsWhileDrawn : public Renderable {
 public:
  explicit PrintsWhileDrawn(Console& other) : other_(other) {}
  void render(const Console&, int, Lines& out) const override {
    other_.print("inner");
    Line line;
    line.push("outer", Style());
    out.push_back(std::move(line));
  }

 private:
  Console& other_;
};

TEST(ConsolePrint, APrintMadeWhileDrawingAnotherKeepsBothOutputsWhole) {
  std::string inner_out, outer_out;
  Console inner({.width = 20, .file = &inner_out});
  Console outer({.width = 20, .file = &outer_out});
  outer.print(PrintsWhileDrawn(inner));
  outer.print(PrintsWhileDrawn(inner));
  EXPECT_EQ(outer_out, "outer\nouter\n");
  EXPECT_EQ(inner_out, "inner\ninner\n");
}

}  // namespace
}  // namespace styled
