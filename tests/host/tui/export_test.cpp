// Exporting the transcript: Markdown that parses back into the blocks it was written as,
// whatever the agent's text holds; HTML without anything a hostile answer could run; an SVG of
// the screen that is well-formed XML; files written whole and atomically.

#include "host/tui/export_transcript.h"

#include <cmark-gfm.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "host/temp_folder.h"
#include "host/tui/export_html.h"
#include "host/tui/export_markdown.h"
#include "host/tui/export_svg.h"
#include "styled/syntax/syntax.h"
#include "unicode/text_ops.h"

namespace {

namespace e = zell::tui::widgets::entries;
using zell::tui::widgets::HistoryEntry;

std::vector<HistoryEntry> transcript(std::vector<zell::tui::widgets::EntryRecord> records) {
  std::vector<HistoryEntry> out;
  for (auto& r : records) out.push_back(HistoryEntry{std::move(r), {}});
  return out;
}

struct Block {
  std::string type;
  std::string info;     // a code block's info string
  std::string literal;  // a code block's text
};

// The document's top-level blocks as cmark reads them.
std::vector<Block> blocks(const std::string& markdown) {
  cmark_node* doc = cmark_parse_document(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT);
  std::vector<Block> out;
  for (cmark_node* n = cmark_node_first_child(doc); n; n = cmark_node_next(n)) {
    Block b{cmark_node_get_type_string(n), "", ""};
    if (cmark_node_get_type(n) == CMARK_NODE_CODE_BLOCK) {
      b.info = cmark_node_get_fence_info(n);
      b.literal = cmark_node_get_literal(n);
    }
    out.push_back(b);
  }
  cmark_node_free(doc);
  return out;
}

// Text that tries to break out of every block it is put in.
const std::string HOSTILE = "```\n# not a heading\n</details>\n<script>x()</script>\n> q";

TEST(MarkdownExport, parses_back_into_the_same_blocks_whatever_the_text) {
  const std::string diff = "--- a/x\n+++ b/x\n@@ -1 +1 @@\n-old\n+new\n";
  const auto history = transcript({
      e::User{HOSTILE},
      e::Thinking{HOSTILE, false},
      e::Tool{"bash", "echo ```"},
      e::ToolResult{HOSTILE, false},
      e::ToolResult{diff, false},
      e::ToolResult{"boom", true},
      e::Info{"* not a list"},
      e::Assistant{"Done: **fixed**.\n\n```py\nx = 1\n```"},
      e::TurnSummary{"1.0s · 1 tool"},
  });
  const auto got = blocks(host::tui::transcript_markdown(history));
  std::vector<std::string> types;
  for (const auto& b : got) types.push_back(b.type);
  EXPECT_EQ(types,
            (std::vector<std::string>{"heading", "block_quote",                  // title, prompt
                                      "html_block", "code_block", "html_block",  // thinking
                                      "code_block", "code_block", "code_block",  // tool, results
                                      "code_block", "paragraph",  // error result, info
                                      "paragraph", "code_block", "paragraph"}));  // answer, summary
  // Fenced text comes back exactly, fences inside it and all.
  EXPECT_EQ(got[3].literal, HOSTILE + "\n");
  EXPECT_EQ(got[5].info, "tool");
  EXPECT_EQ(got[5].literal, "bash echo ```\n");
  EXPECT_EQ(got[6].literal, HOSTILE + "\n");
  EXPECT_EQ(got[7].info, "diff");
  EXPECT_EQ(got[7].literal, diff);
  EXPECT_EQ(got[8].info, "error");
  EXPECT_EQ(got[11].info, "py");
}

TEST(MarkdownExport, nothing_is_cut_and_no_terminal_control_survives) {
  std::string huge(20 * 1024 * 1024, 'x');
  huge[12345] = '\n';
  const std::string md = host::tui::transcript_markdown(
      transcript({e::ToolResult{huge, false}, e::Assistant{"a\x1b]52;c;AAAA\x07 b"}}));
  EXPECT_NE(md.find(huge), std::string::npos);
  EXPECT_EQ(md.find('\x1b'), std::string::npos);
  EXPECT_EQ(md.find('\x07'), std::string::npos);
}

TEST(HtmlExport, a_hostile_answer_cannot_bring_script) {
  const std::string attack =
      "<script>alert(1)</script>\n\n[click](javascript:alert(1)) "
      "<img src=x onerror=alert(1)> <a href=\"javascript:x\">y</a>\n\n"
      "<iframe src=\"http://evil\"></iframe>";
  const std::string html = host::tui::transcript_html(transcript({
      e::User{attack},
      e::Assistant{attack},
      e::Tool{"<script>", attack},
      e::ToolResult{attack, false},
      e::Thinking{attack, true},
  }));
  const std::regex forbidden("<script|<img|<iframe|<a href=\"javascript|href=\"javascript",
                             std::regex::icase);
  EXPECT_FALSE(std::regex_search(html, forbidden)) << html;
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(html.find("Content-Security-Policy"), std::string::npos);
  // The answer's own Markdown still renders.
  const std::string answer = host::tui::transcript_html(
      transcript({e::Assistant{"**bold** and [site](https://example.org)"}}));
  EXPECT_NE(answer.find("<strong>bold</strong>"), std::string::npos);
  EXPECT_NE(answer.find("<a href=\"https://example.org\">site</a>"), std::string::npos);
}

// The text of an HTML fragment: tags dropped, entities read back.
std::string html_text(std::string html) {
  html = std::regex_replace(html, std::regex("<[^>]*>"), "");
  for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{
           {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    html = std::regex_replace(html, std::regex(entity), c);
  }
  return html;
}

TEST(HtmlExport, code_blocks_carry_the_transcripts_code_colours_with_their_text_intact) {
  const std::string code =
      "def f(x):\n    return \"</code></pre><script>x()</script>\" & x  # \x01"
      "0\x01\n";
  const std::string html = host::tui::transcript_html(transcript(
      {e::Assistant{"Try:\n\n```python\n" + code +
                    "```\n\nand `inline`.\n\n- in a list:\n\n  ```sh\n  ls -l\n  ```\n"}}));
  const std::size_t open = html.find("<code class=\"language-python\">");
  ASSERT_NE(open, std::string::npos) << html;
  const std::size_t start = html.find('>', open) + 1;
  const std::string block = html.substr(start, html.find("</code>", start) - start);
  // Every character is there (the control made visible), escaped: no element of the code's own.
  EXPECT_EQ(html_text(block), unicode::visible_controls(code)) << block;
  EXPECT_EQ(block.find("<script"), std::string::npos);
  EXPECT_EQ(html.find('\x01'), std::string::npos);
  EXPECT_NE(html_text(html).find("ls -l\n"), std::string::npos) << html;  // a block in a list
  // Tokens in the colours the transcript draws them with.
  const auto& theme = styled::CodeTheme::named("monokai");
  const auto hex = [](styled::Color c) {
    const styled::Color rgb = c.to_rgb();
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", rgb.r(), rgb.g(), rgb.b());
    return std::string(s);
  };
  EXPECT_NE(block.find("color:" + hex(theme.keyword.fg())), std::string::npos) << block;
  EXPECT_NE(block.find("color:" + hex(theme.comment.fg())), std::string::npos) << block;
  EXPECT_NE(html.find("background: " + hex(theme.background.bg())), std::string::npos);
  // Inline code is not a block: no spans in it.
  EXPECT_NE(html.find("<code>inline</code>"), std::string::npos);
}

termui::CellBuffer sample_screen() {
  termui::CellBuffer screen({20, 2});
  screen.put_text(0, 0, "a<b & \"c\"", styled::Style::parse("bold #32cd32"), 20);
  screen.put_text(0, 1, "界]]>", styled::Style::parse("white on #2a2a2a"), 20);
  return screen;
}

TEST(SvgExport, shows_the_screens_text_escaped_in_its_colours) {
  const std::string svg = host::tui::screen_svg(sample_screen());
  EXPECT_TRUE(svg.starts_with("<svg xmlns=\"http://www.w3.org/2000/svg\""));
  EXPECT_NE(svg.find("fill=\"#32cd32\" font-weight=\"bold\" xml:space=\"preserve\">a&lt;b &amp; "
                     "&quot;c&quot;</text>"),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find(">界</text>"), std::string::npos);
  EXPECT_NE(svg.find("]]&gt;"), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#2a2a2a\""), std::string::npos);
  // Light scheme: the same screen in the light colours.
  const std::string light = host::tui::screen_svg(sample_screen(), styled::ColorScheme::light);
  EXPECT_EQ(light.find("fill=\"#2a2a2a\""), std::string::npos);
}

TEST(ExportFile, format_follows_the_name_and_the_file_is_replaced_whole) {
  host_test::TempFolder dir;
  const auto history = transcript({e::User{"hi"}, e::Assistant{"hello"}});
  const termui::CellBuffer screen = sample_screen();
  for (const char* name : {"t.md", "t.HTML", "t.svg"}) {
    const auto path = dir.path() / name;
    host_test::write_text(path, "old");
    host::tui::export_transcript(history, screen, path);
    const std::string text = host_test::slurp(path);
    EXPECT_NE(text, "old");
    EXPECT_TRUE(text.ends_with("\n")) << name;
  }
  EXPECT_NE(host_test::slurp(dir.path() / "t.md").find("hello"), std::string::npos);
  EXPECT_THROW(host::tui::export_transcript(history, screen, dir.path() / "t.pdf"),
               host::tui::ExportError);
  EXPECT_THROW(host::tui::export_transcript(history, screen, dir.path() / "t.md" / "x.md"),
               host::tui::ExportError);
  // Only the files asked for are left: no temporary file beside them.
  int files = 0;
  for ([[maybe_unused]] const auto& f : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 3);
  EXPECT_TRUE(host::tui::default_export_name().starts_with("vellumine-"));
}

}  // namespace
