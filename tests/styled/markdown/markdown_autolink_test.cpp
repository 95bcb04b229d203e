// Links in bare text: compared with cmark-gfm's own autolink extension on the same
// paragraphs, then checked where the two are meant to differ (linear time) and as drawn.

#include "styled/markdown/markdown_autolink.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>
#include <gtest/gtest.h>

#include "styled/link.h"

#include <cstring>
#include <string>
#include <vector>

#include "styled/markdown/markdown.h"
#include "styled/render_helpers.h"

namespace styled::markdown_detail {
namespace {

struct Shown {
  std::string text, url;
  friend bool operator==(const Shown&, const Shown&) = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
  *os << "{" << s.text << " -> " << s.url << "}";
}

// The links the parser's autolink extension makes of a one-paragraph text.
std::vector<Shown> by_extension(const std::string& md) {
  cmark_gfm_core_extensions_ensure_registered();
  cmark_parser* parser = cmark_parser_new(CMARK_OPT_DEFAULT);
  cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension("autolink"));
  cmark_parser_feed(parser, md.data(), md.size());
  cmark_node* root = cmark_parser_finish(parser);
  cmark_parser_free(parser);
  std::vector<Shown> out;
  cmark_iter* it = cmark_iter_new(root);
  for (cmark_event_type ev; (ev = cmark_iter_next(it)) != CMARK_EVENT_DONE;) {
    cmark_node* n = cmark_iter_get_node(it);
    if (ev != CMARK_EVENT_ENTER || cmark_node_get_type(n) != CMARK_NODE_LINK) continue;
    std::string text;
    for (cmark_node* c = cmark_node_first_child(n); c != nullptr; c = cmark_node_next(c)) {
      if (const char* s = cmark_node_get_literal(c)) text += s;
    }
    out.push_back({text, cmark_node_get_url(n)});
  }
  cmark_iter_free(it);
  cmark_node_free(root);
  return out;
}

std::vector<Shown> by_us(const std::string& text) {
  std::vector<Shown> out;
  for (const Autolink& a : find_autolinks(text)) {
    out.push_back({text.substr(a.begin, a.end - a.begin), a.url});
  }
  return out;
}

class AutolinksAgreeWithTheParser : public ::testing::TestWithParam<const char*> {};

TEST_P(AutolinksAgreeWithTheParser, SameLinksSameUrls) {
  const std::string text = GetParam();
  EXPECT_EQ(by_us(text), by_extension(text)) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AutolinksAgreeWithTheParser,
    ::testing::Values(
        // Schemes, case, what may come before.
        "see https://x.org/a now", "HTTP://X.ORG/Path and ftp://files.x.org/f.txt",
        "mailto:me@x.org", "xhttp://x.org", "1http://x.org", "http://", "http://x",
        "https:// x.org", "gopher://x.org", "http://localhost:8080/api?q=1",
        "at http://x.org/a,http://y.org/b",
        // www. addresses.
        "go to www.x.org today", "(www.x.org)", "~www.x.org~", "awww.x.org", "www.x", "www.a_b.org",
        "www.a_b.x.org", "www.x.a_b.org", "www.x.org/a_b_c", "www..org", "http://a.org<www.b.org",
        "www.x.org<b>",
        // What comes off the end.
        "see www.x.org.", "is it http://x.org/a?!", "quoted 'http://x.org/q'",
        "(see http://x.org/a_(b))", "http://x.org/a_(b))))", "http://x.org/((a)",
        "http://x.org/a&b;", "http://x.org/a;", "http://x.org/:*_~",
        // E-mail addresses.
        "write to me@x.org.", "a.b+c-d_e@x.y.org", "x/me@x.org", "me@x", "me@x.", "a@b@c.org",
        "@x.org", "me@x.org and you@y.org", "me@-x.org", "me@x.o1",
        "http://x.org/me@y.org and z@w.org", "xmailto:me@x.org", "a.mailto:me@x.org",
        "xmpp:me@x.org/phone now", "me@x.org/phone", "MAILTO:me@x.org",
        // Nothing.
        "", "plain words with w and : and @ in them", "www", "w"));

TEST(Autolinks, LongRunsOfCandidatesGiveTheRightLinks) {
  // Each of these costs the parser's own extension tens of seconds (it rescans per candidate);
  // here they are linear, so a regression shows as this test running into its time limit.
  std::string www, at;
  for (int i = 0; i < 40000; ++i) www += "_www.";
  for (int i = 0; i < 40000; ++i) at += "a@";
  const std::string parens = "http://x.org/" + std::string(200000, ')');
  EXPECT_TRUE(find_autolinks(www).empty());
  EXPECT_TRUE(find_autolinks(at).empty());
  const auto links = find_autolinks(parens);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].url, "http://x.org/");
  // Balanced parentheses stay part of the link however many there are.
  const std::string nested = "http://x.org/" + std::string(1000, '(') + std::string(1000, ')');
  const auto whole = find_autolinks(nested + ") end");
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].url, nested);
}

TEST(Autolinks, AreDrawnAsLinksAcrossTheParsersTextPieces) {
  using styled::testing::style_at;
  // The parser splits this text at each "_": the link is found across the pieces.
  const Lines lines = Console().render_lines(Markdown("see https://x.org/a_b_c now"), 60);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text().substr(0, 28), "see https://x.org/a_b_c now ");
  const Style link = Console().get_style("markdown.link").with_link(link_id("https://x.org/a_b_c"));
  for (std::size_t col = 4; col < 23; ++col) EXPECT_EQ(style_at(lines[0], col), link) << col;
  EXPECT_NE(style_at(lines[0], 24), link);
}

TEST(Autolinks, WwwAddressesShowWhereTheyLead) {
  const Lines lines = Console().render_lines(Markdown("at www.x.org"), 60);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text().substr(0, 32), "at www.x.org (http://www.x.org) ");
}

TEST(Autolinks, NotInsideALinkOrCode) {
  const Lines lines =
      Console().render_lines(Markdown("[www.x.org](https://y.org) `http://z.org`"), 80);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text().substr(0, 42), "www.x.org (https://y.org) http://z.org    ");
  const Style code = Console().get_style("markdown.code");
  EXPECT_EQ(styled::testing::style_of(lines[0], "z.org"), code);
}

}  // namespace
}  // namespace styled::markdown_detail
