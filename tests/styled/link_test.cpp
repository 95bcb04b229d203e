// Hyperlink targets: only safe forms are ever stored, and Markdown links carry theirs.

#include "styled/link.h"

#include <gtest/gtest.h>

#include "styled/markdown/markdown.h"
#include "styled/render_helpers.h"

namespace styled {
namespace {

struct SafeCase {
  const char* name;
  std::string url;
  std::string safe;
};

class SafeTargets : public ::testing::TestWithParam<SafeCase> {};

TEST_P(SafeTargets, hold_nothing_that_ends_or_changes_the_escape) {
  const std::string safe = safe_link_target(GetParam().url);
  EXPECT_EQ(safe, GetParam().safe);
  for (const char c : safe) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b > 0x20 && b < 0x7f && c != ';' && c != '\\') << safe;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SafeTargets,
    ::testing::Values(
        SafeCase{"plain", "https://example.org/a?b=1&c#d", "https://example.org/a?b=1&c#d"},
        SafeCase{"escape_and_st", "http://a/\x1b\\\x1b]8;;http://evil\x07",
                 "http://a/%1B%5C%1B]8%3B%3Bhttp://evil%07"},
        SafeCase{"c1_and_utf8", "http://a/\xc2\x9c\xc3\xa9", "http://a/%C2%9C%C3%A9"},
        SafeCase{"spaces_quotes", "http://a/b c\"d<e>", "http://a/b%20c%22d%3Ce%3E"},
        SafeCase{"percent_kept_only_as_escape", "http://a/%41%zz%", "http://a/%41%25zz%25"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Links, same_target_same_number_and_unsafe_schemes_get_none) {
  const auto a = link_id("https://example.org/x");
  EXPECT_NE(a, 0);
  EXPECT_EQ(link_id("https://example.org/x"), a);
  EXPECT_NE(link_id("https://example.org/y"), a);
  EXPECT_EQ(link_target(a), "https://example.org/x");
  EXPECT_EQ(link_id("javascript:alert(1)"), 0);
  EXPECT_EQ(link_id("data:text/html,x"), 0);
  EXPECT_EQ(link_id("https://a/" + std::string(MAX_LINK, 'x')), 0);
  EXPECT_EQ(link_target(0), "");
  EXPECT_EQ(link_target(65535), "");
}

TEST(Links, file_urls_of_absolute_paths) {
  EXPECT_EQ(file_url("/src/a b.c", "12"), "file:///src/a%20b.c#12");
  EXPECT_EQ(file_url("/x;y"), "file:///x%3By");
  EXPECT_EQ(file_url("relative/path"), "");
}

// Written links, bare URLs and the URL shown after a link's text all carry the target; the
// text around them does not.
TEST(Links, markdown_links_carry_their_targets) {
  const Lines lines = Console().render_lines(
      Markdown("see [docs](https://d.example/a) and https://b.example/x now"), 80);
  ASSERT_FALSE(lines.empty());
  const auto target_of = [&](std::string_view needle) {
    const auto style = testing::style_of(lines[0], needle);
    return style ? std::string(link_target(style->link())) : std::string("(absent)");
  };
  EXPECT_EQ(target_of("docs"), "https://d.example/a");
  EXPECT_EQ(target_of("https://d.example/a"), "https://d.example/a");
  EXPECT_EQ(target_of("https://b.example/x"), "https://b.example/x");
  EXPECT_EQ(target_of("see"), "");
  EXPECT_EQ(target_of(" now"), "");
}

}  // namespace
}  // namespace styled

namespace styled {
namespace {

// Links survive the trip through a terminal console's ANSI and back, only when asked for, and
// a target the link table refuses stays no link.
TEST(Links, travel_through_ansi_only_when_asked) {
  std::string ansi;
  Console console({.width = 60, .force_terminal = true, .file = &ansi, .hyperlinks = true});
  console.print(Markdown("see [docs](https://d.example/a)"));
  EXPECT_NE(ansi.find("\x1b]8;;https://d.example/a\x1b\\"), std::string::npos) << ansi;
  const Text linked = Text::from_ansi(ansi, true);
  const Text unlinked = Text::from_ansi(ansi);
  const auto docs = linked.plain().find("docs");
  ASSERT_NE(docs, std::string::npos);
  const auto link_at = [](const Text& t, std::size_t at) {
    for (const auto& span : t.runs()) {
      if (span.start <= at && at < span.end && span.style.link() != 0) return span.style.link();
    }
    return std::uint16_t{0};
  };
  EXPECT_EQ(link_target(link_at(linked, docs)), "https://d.example/a");
  EXPECT_EQ(link_at(linked, 0), 0);
  EXPECT_EQ(link_at(unlinked, docs), 0);
  EXPECT_EQ(unlinked.plain(), linked.plain());
  const Text hostile = Text::from_ansi("\x1b]8;;javascript:alert(1)\x1b\\x\x1b]8;;\x1b\\", true);
  EXPECT_EQ(link_at(hostile, 0), 0);
  EXPECT_EQ(hostile.plain(), "x");
  // Without hyperlinks the console writes none.
  std::string plain;
  Console({.width = 60, .force_terminal = true, .file = &plain})
      .print(Markdown("see [docs](https://d.example/a)"));
  EXPECT_EQ(plain.find("\x1b]8"), std::string::npos);
}

}  // namespace
}  // namespace styled

namespace styled {
namespace {

TEST(Links, tool_arguments_that_are_one_path_link_to_the_file) {
  struct Case {
    const char* argument;
    const char* target;  // "" for no link
  };
  for (const Case& c :
       {Case{"src/parse.c", "file:///work/src/parse.c"},
        Case{" ./src/parse.c:12 ", "file:///work/src/parse.c#12"},
        Case{"main.cpp:3:7", "file:///work/main.cpp#3"}, Case{"/etc/hosts", "file:///etc/hosts"},
        Case{"notes/a b.md", ""},  // two words
        Case{"make", ""},          // a bare word
        Case{"-rf", ""},           // an option
        Case{"rm -rf build", ""},  // a command
        Case{"https://x.org/a", "https://x.org/a"}, Case{"javascript://x", ""},
        Case{"src/a;b.c", "file:///work/src/a%3Bb.c"}}) {
    EXPECT_EQ(link_target(path_link(c.argument, "/work")), c.target) << c.argument;
  }
  EXPECT_EQ(path_link("src/a.c", "relative/folder"), 0);
}

}  // namespace
}  // namespace styled
