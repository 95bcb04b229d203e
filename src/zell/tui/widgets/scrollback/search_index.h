#pragma once
// The transcript's search over its entries: the query, how many matches each entry holds, and
// which match is the current one. Entries are read through their text as searched
// (search_text.h), kept per entry once read, so that a query typed letter by letter costs a
// scan of the entries' text, not a drawing of them; entries not drawn at the current width yet
// are searched all the same.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zell/tui/widgets/scrollback/history_entry.h"
#include "zell/tui/widgets/scrollback/search_match.h"

namespace zell::tui::widgets {

class TranscriptSearch {
 public:
  // A match: its entry, and its place among that entry's matches.
  struct Match {
    std::size_t entry = 0;
    std::size_t ordinal = 0;
    friend bool operator==(const Match&, const Match&) = default;
  };

  [[nodiscard]] const SearchQuery& query() const { return query_; }
  // Counts the matches of `query` in every entry; a query that extends the last one is looked
  // for only in the entries that held matches of it.
  void set_query(std::string_view query, std::span<const HistoryEntry> history);
  // Counts the entries added since the last count, and those drawn again whose text is read
  // from their rows.
  void sync(std::span<const HistoryEntry> history);
  // Entry `i` holds something else now: its text is read and counted again.
  void changed(std::size_t i, const HistoryEntry& entry);
  // The history was emptied.
  void forget_entries();

  [[nodiscard]] std::size_t total() const { return total_; }
  [[nodiscard]] std::size_t count_in(std::size_t entry) const {
    return entry < counts_.size() ? counts_[entry] : 0;
  }
  // The match's place among all of them, from 1.
  [[nodiscard]] std::size_t rank(Match m) const;
  // The first match in entry `from` or after it, else the first from the top.
  [[nodiscard]] std::optional<Match> first_from(std::size_t from) const;
  // The match after (direction > 0) or before `m`, round from the end to the top and back.
  [[nodiscard]] std::optional<Match> step(Match m, int direction) const;

  // Entry `i`'s text as searched (the one its matches are counted in).
  [[nodiscard]] std::string_view text(std::size_t i, const HistoryEntry& entry) {
    return i < texts_.size() ? text_of(i, entry) : std::string_view();
  }

  std::optional<Match> current;

 private:
  // The entry's text as searched: its shown field in place, or the text put together for it.
  std::string_view text_of(std::size_t i, const HistoryEntry& entry);
  void count(std::size_t i, const HistoryEntry& entry);

  // Whether the text counted is no longer what entry `i` drew (its rows were drawn again).
  [[nodiscard]] bool stale(std::size_t i, const HistoryEntry& entry) const;

  struct Text {
    bool read = false;
    bool in_place = false;  // the record's own field is the text
    bool in_rows = false;   // the text is the drawing's, when the entry's rows are kept
    int rows_width = -1;    // the drawing counted: its width and rows
    std::size_t rows = 0;
    std::string own;
  };
  SearchQuery query_;
  std::vector<Text> texts_;
  std::vector<std::uint32_t> counts_;
  std::size_t total_ = 0;
};

}  // namespace zell::tui::widgets
