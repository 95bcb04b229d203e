// Replacing a recorded entry in place: the transcript then shows exactly what it would have
// shown had the new record been appended in the first place, wherever the entry stands.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scrollback_fixture.h"

namespace zell::tui::widgets::testing {
namespace {

std::vector<EntryRecord> base_history() {
  return {entries::User{"list the files"}, entries::Tool{"bash", "ls"},
          entries::ToolResult{"a.txt\nb.txt", false}, entries::Info{"note"},
          entries::Thinking{"first thought\nsecond thought", false}};
}

void fill(Scrollback& log, const std::vector<EntryRecord>& records) {
  for (const EntryRecord& r : records) log.append(r);
}

struct ReplaceCase {
  const char* name;
  std::size_t index;
  EntryRecord record;
  friend void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }
};

class ReplaceEntry : public ::testing::TestWithParam<ReplaceCase> {};

// `mid_stream`: an answer streams below the entries while one of them is replaced.
void expect_as_if_appended(const ReplaceCase& c, bool mid_stream) {
  std::vector<EntryRecord> final_records = base_history();
  final_records[c.index] = c.record;
  Transcript want({60, 12});
  fill(want.log(), final_records);
  Transcript t({60, 12});
  fill(t.log(), base_history());
  for (Transcript* side : {&want, &t}) {
    if (mid_stream) side->log().stream_token("streamed line\nstill open");
  }
  t.log().replace_entry(c.index, c.record);
  EXPECT_EQ(t.texts(), want.texts());
  EXPECT_EQ(t.log().lines(), want.log().lines());  // styles too
  EXPECT_EQ(t.log().line_count(), want.log().line_count());
  EXPECT_EQ(t.log().thinking_headers(), want.log().thinking_headers());
  ASSERT_EQ(t.log().history().size(), final_records.size());
  EXPECT_EQ(t.log().history()[c.index].kind(), kind_of(c.record));
  if (mid_stream) {
    for (Transcript* side : {&want, &t}) {
      side->log().stream_token(" now\n");
      side->log().finish_stream("streamed line\nstill open now\n");
    }
    EXPECT_EQ(t.texts(), want.texts());
  }
}

TEST_P(ReplaceEntry, shows_what_appending_the_new_record_would_have_shown) {
  expect_as_if_appended(GetParam(), false);
}

TEST_P(ReplaceEntry, keeps_an_open_stream_below_once) {
  expect_as_if_appended(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(
    Places, ReplaceEntry,
    ::testing::Values(
        ReplaceCase{"first_shrinks", 0, entries::Spacer{}},
        ReplaceCase{"tool_call_finishes", 1, entries::ToolDone{"bash", "ls", "2 files"}},
        ReplaceCase{"tool_call_grows_to_two_rows", 1, entries::Tool{"bash", std::string(70, 'x')}},
        ReplaceCase{"result_becomes_an_error", 2, entries::ToolResult{"no such file", true}},
        ReplaceCase{"result_draws_nothing", 2, entries::ToolResult{"", false}},
        ReplaceCase{"kind_changes", 3, entries::Error{"failed"}},
        ReplaceCase{"last_opens", 4, entries::Thinking{"first thought\nsecond thought", true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceEntryView, the_reader_keeps_their_place_or_keeps_following_the_end) {
  Transcript t({60, 8});
  auto& log = t.log();
  for (int i = 0; i < 20; ++i) log.append_info("entry " + std::to_string(i));
  log.append_tool("bash", "make");
  log.scroll_to(6);
  log.replace_entry(3, entries::Info{"entry 3\nnow two lines"});
  EXPECT_EQ(log.scroll_offset().y, 6);

  log.scroll_end();
  log.replace_entry(20, entries::ToolResult{"one\ntwo\nthree", false});
  EXPECT_EQ(log.scroll_offset().y, log.max_scroll_y());
  EXPECT_EQ(t.texts().back(), "    ⎿ three");
}

TEST(ReplaceEntryView, an_index_past_the_history_changes_nothing) {
  Transcript t;
  t.log().append_user("only");
  const auto before = t.log().lines();
  t.log().replace_entry(1, entries::Info{"nowhere"});
  EXPECT_EQ(t.log().lines(), before);
  EXPECT_EQ(t.log().history().size(), 1u);
}

}  // namespace
}  // namespace zell::tui::widgets::testing
