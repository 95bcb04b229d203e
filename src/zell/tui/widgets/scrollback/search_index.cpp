#include "zell/tui/widgets/scrollback/search_index.h"

#include <limits>

#include "unicode/text_ops.h"
#include "zell/tui/widgets/scrollback/search_text.h"

namespace zell::tui::widgets {

bool TranscriptSearch::stale(std::size_t i, const HistoryEntry& entry) const {
  const Text& t = texts_[i];
  return t.read && t.in_rows &&
         (entry.drawn.widget_width != t.rows_width || entry.drawn.strips.size() != t.rows);
}

std::string_view TranscriptSearch::text_of(std::size_t i, const HistoryEntry& entry) {
  Text& t = texts_[i];
  if (!t.read) {
    t.read = true;
    t.in_rows = searched_in_rows(entry.record);
    const std::optional<std::string_view> field = shown_field(entry.record);
    t.in_place = field && !unicode::has_controls(*field);
    if (!t.in_place) t.own = search_text(entry.record);
  }
  if (t.in_rows) {
    t.rows_width = entry.drawn.widget_width;
    t.rows = entry.drawn.strips.size();
    // Rows hold visible symbols already.
    if (entry.drawn.widget_width > 0) return entry.drawn.text;
  }
  // The record's field is asked for again: the history may have moved its strings.
  return t.in_place ? *shown_field(entry.record) : std::string_view(t.own);
}

void TranscriptSearch::count(std::size_t i, const HistoryEntry& entry) {
  total_ -= counts_[i];
  const std::size_t n = query_.empty() ? 0 : query_.count(text_of(i, entry));
  counts_[i] = static_cast<std::uint32_t>(
      std::min<std::size_t>(n, std::numeric_limits<std::uint32_t>::max()));
  total_ += counts_[i];
}

void TranscriptSearch::set_query(std::string_view query, std::span<const HistoryEntry> history) {
  // Every match of the longer query starts with a match of the shorter one.
  const bool narrower = !query_.empty() && query.starts_with(query_.text());
  query_ = SearchQuery(query);
  sync(history);
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    if (!narrower || counts_[i] > 0 || stale(i, history[i])) count(i, history[i]);
  }
  if (current && current->entry >= counts_.size()) current.reset();
}

void TranscriptSearch::sync(std::span<const HistoryEntry> history) {
  if (history.size() < counts_.size()) forget_entries();
  const std::size_t from = counts_.size();
  for (std::size_t i = 0; i < from; ++i) {
    if (stale(i, history[i])) count(i, history[i]);
  }
  texts_.resize(history.size());
  counts_.resize(history.size(), 0);
  for (std::size_t i = from; i < history.size(); ++i) {
    // Read even for the empty query: a search opens with it, so the first letter typed finds
    // every entry read.
    (void)text_of(i, history[i]);
    count(i, history[i]);
  }
}

void TranscriptSearch::changed(std::size_t i, const HistoryEntry& entry) {
  if (i >= counts_.size()) return;
  texts_[i] = {};
  count(i, entry);
  if (current && current->entry == i && current->ordinal >= counts_[i]) current.reset();
}

void TranscriptSearch::forget_entries() {
  texts_.clear();
  counts_.clear();
  total_ = 0;
  current.reset();
}

std::size_t TranscriptSearch::rank(Match m) const {
  std::size_t before = 0;
  for (std::size_t i = 0; i < m.entry && i < counts_.size(); ++i) before += counts_[i];
  return before + m.ordinal + 1;
}

std::optional<TranscriptSearch::Match> TranscriptSearch::first_from(std::size_t from) const {
  const std::size_t n = counts_.size();
  if (total_ == 0 || n == 0) return std::nullopt;
  from = std::min(from, n - 1);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = (from + k) % n;
    if (counts_[i] > 0) return Match{i, 0};
  }
  return std::nullopt;
}

std::optional<TranscriptSearch::Match> TranscriptSearch::step(Match m, int direction) const {
  const std::size_t n = counts_.size();
  if (total_ == 0 || m.entry >= n) return first_from(0);
  if (direction > 0 && m.ordinal + 1 < counts_[m.entry]) return Match{m.entry, m.ordinal + 1};
  if (direction <= 0 && m.ordinal > 0 && m.ordinal <= counts_[m.entry]) {
    return Match{m.entry, m.ordinal - 1};
  }
  for (std::size_t k = 1; k <= n; ++k) {
    const std::size_t i = direction > 0 ? (m.entry + k) % n : (m.entry + n - k) % n;
    if (counts_[i] > 0) return Match{i, direction > 0 ? 0 : counts_[i] - 1};
  }
  return std::nullopt;
}

}  // namespace zell::tui::widgets
