// Finding text in the transcript: the query is counted through the entries' text (search
// index), the rows drawn mark its matches as they are painted (a style laid over the row, the
// entries untouched), and the current match is brought into view: a folded thinking block
// holding it opens, the view scrolls to it (laying its entry out at the current width).
//
// The current match is found in its entry's rows by pairing the text's matches with the rows'
// (search_spot.h), so words the rows add or repeat do not take its place. A match folded away
// in a long result marks the row that says how many lines are folded: results do not open, and
// that row is where the hidden lines are. A match cut by a row's end (the width folding the
// line) marks its two pieces; one a long line's cut leaves out marks nothing, and the view
// still goes to its entry.

#include <algorithm>

#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/search_spot.h"

namespace zell::tui::widgets {
namespace {

const styled::Style& match_style() {
  static const styled::Style style = styled::Style::parse("#1c1c1c on #d7af5f");
  return style;
}

const styled::Style& current_match_style() {
  static const styled::Style style = styled::Style::parse("bold #1c1c1c on #ff8700");
  return style;
}

struct Mark {
  std::size_t begin;
  std::size_t end;
  bool current;
};

// The strip's segments cut at the marks, each marked piece in its mark's style.
termui::Strip marked(const termui::Strip& strip, const std::vector<Mark>& marks) {
  std::vector<styled::Segment> pieces;
  pieces.reserve(strip.segment_count() + 2 * marks.size());
  std::size_t at = 0;
  std::size_t k = 0;
  strip.for_each_segment([&](std::string_view seg, const styled::Style& style) {
    for (std::size_t pos = 0; pos < seg.size();) {
      while (k < marks.size() && marks[k].end <= at + pos) ++k;
      if (k < marks.size() && marks[k].begin <= at + pos) {
        const std::size_t stop = std::min(marks[k].end - at, seg.size());
        pieces.push_back({std::string(seg.substr(pos, stop - pos)),
                          marks[k].current ? current_match_style() : match_style()});
        pos = stop;
      } else {
        const std::size_t stop =
            k < marks.size() ? std::min(marks[k].begin - at, seg.size()) : seg.size();
        pieces.push_back({std::string(seg.substr(pos, stop - pos)), style});
        pos = stop;
      }
    }
    at += seg.size();
  });
  return termui::Strip(pieces);
}

// The row a long result ends with, saying how many of its lines are not shown.
bool is_fold_row(std::string_view text) {
  return text.starts_with("      … +") &&
         text.substr(0, text.find_last_not_of(' ') + 1).ends_with(" more lines");
}

}  // namespace

void Scrollback::search(std::string_view query) {
  searching_ = true;
  const std::optional<TranscriptSearch::Match> was = search_.current;
  search_.set_query(query, _history);
  spot_.reset();
  search_.current.reset();
  if (was && search_.count_in(was->entry) > 0) {
    search_.current = TranscriptSearch::Match{
        was->entry, std::min(was->ordinal, search_.count_in(was->entry) - 1)};
  } else if (!_history.empty()) {
    const std::size_t from =
        was ? was->entry : entry_at_row(static_cast<std::size_t>(scroll_offset().y));
    search_.current = search_.first_from(from);
  }
  show_current_match();
  refresh();
}

void Scrollback::search_step(int direction) {
  if (!searching_) return;
  search_.sync(_history);
  if (search_.current) {
    search_.current = search_.step(*search_.current, direction);
  } else if (!_history.empty()) {
    search_.current = search_.first_from(entry_at_row(static_cast<std::size_t>(scroll_offset().y)));
  }
  show_current_match();
  refresh();
}

void Scrollback::end_search() {
  searching_ = false;
  search_.set_query({}, _history);
  search_.current.reset();
  spot_.reset();
  refresh();
}

Scrollback::SearchStatus Scrollback::search_status() {
  if (!searching_) return {};
  search_.sync(_history);
  return {search_.current ? search_.rank(*search_.current) : 0, search_.total()};
}

void Scrollback::show_current_match() {
  if (!search_.current || search_.current->entry >= _history.size()) return;
  const std::size_t i = search_.current->entry;
  const auto* thinking = _history[i].as<entries::Thinking>();
  if (thinking != nullptr && !thinking->expanded) toggle_thinking(i);
  // Scrolling lays out the rows around the new view (the entry's among them) at the current
  // width, which can move the entry's rows: looked at again until the match stays in view.
  for (int pass = 0; pass < 3; ++pass) {
    const SearchSpot* spot = current_spot();
    const std::size_t row = _history[i].first_row + (spot ? spot->row_in_entry : 0);
    const int top = scroll_offset().y;
    const int height = std::max(1, size().height);
    if (static_cast<int>(row) >= top && static_cast<int>(row) < top + height) return;
    scroll_to(std::max(0, static_cast<int>(row) - height / 3), false);
    lay_out_view(view_anchor());
  }
}

const Scrollback::SearchSpot* Scrollback::current_spot() {
  if (!search_.current || search_.current->entry >= _history.size()) return nullptr;
  const TranscriptSearch::Match m = *search_.current;
  const std::size_t first = _history[m.entry].first_row;
  const std::size_t end = std::min(entry_end_row(m.entry), lines().size());
  if (spot_ && spot_->match == m && spot_->rows == end - first) {
    const std::size_t row = first + spot_->row_in_entry;
    const bool placed = spot_->drawn || spot_->under_fold;
    if (!placed || (row < end && lines()[row] == spot_->row)) return &*spot_;
  }
  SearchSpot spot;
  spot.match = m;
  spot.rows = end - first;
  // A thinking block's header ("thinking (12 lines)") is not its text: its body starts below.
  std::size_t from = first;
  if (_history[m.entry].as<entries::Thinking>() != nullptr) {
    for (auto it = _thinking_line_map.lower_bound(static_cast<int>(first));
         it != _thinking_line_map.end() && static_cast<std::size_t>(it->first) < end; ++it) {
      if (it->second == static_cast<int>(m.entry)) from = static_cast<std::size_t>(it->first) + 1;
    }
  }
  std::vector<std::string> rows(end - first);
  for (std::size_t r = from; r < end; ++r) rows[r - first] = lines()[r].text();
  const bool folds = !rows.empty() && is_fold_row(rows.back());
  if (folds) rows.back().clear();  // the row's own words, not the entry's text
  const std::string_view text = search_.text(m.entry, _history[m.entry]);
  if (const auto at = match_in_rows(search_.query(), text, m.ordinal, rows)) {
    spot.drawn = true;
    spot.row_in_entry = at->start.row;
    spot.begin = at->start.begin;
    spot.end = at->start.end;
    if (at->rest) spot.rest = std::pair{at->rest->begin, at->rest->end};
  } else if (folds) {
    spot.under_fold = true;
    spot.row_in_entry = rows.size() - 1;
  }
  if (spot.drawn || spot.under_fold) spot.row = lines()[first + spot.row_in_entry];
  spot_ = std::move(spot);
  return &*spot_;
}

termui::Strip Scrollback::with_search_marks(termui::Strip strip, std::size_t content_row) {
  if (!searching_ || search_.query().empty()) return strip;
  const std::string text = strip.text();
  std::vector<Mark> marks;
  if (is_fold_row(text)) {
    // Its words are not the entry's: only the current match folded under it marks it.
    const SearchSpot* spot = current_spot();
    if (spot == nullptr || !spot->under_fold ||
        _history[spot->match.entry].first_row + spot->row_in_entry != content_row) {
      return strip;
    }
    marks.push_back({text.find_first_not_of(' '), text.find_last_not_of(' ') + 1, true});
    return marked(strip, marks);
  }
  const SearchSpot* spot = nullptr;
  search_.query().for_each_match(text, [&](std::size_t b, std::size_t e) {
    if (marks.empty()) spot = current_spot();
    const bool current = spot != nullptr && spot->drawn && spot->begin == b &&
                         _history[spot->match.entry].first_row + spot->row_in_entry == content_row;
    marks.push_back({b, e, current});
  });
  // A current match cut by the row's end is no match of the query in either row: its two
  // pieces are marked in their place.
  if (spot == nullptr) spot = current_spot();
  if (spot != nullptr && spot->drawn && spot->rest) {
    const std::size_t start_row = _history[spot->match.entry].first_row + spot->row_in_entry;
    std::optional<Mark> piece;
    if (content_row == start_row) piece = Mark{spot->begin, spot->end, true};
    if (content_row == start_row + 1) piece = Mark{spot->rest->first, spot->rest->second, true};
    if (piece) {
      std::erase_if(marks,
                    [&](const Mark& m) { return m.end > piece->begin && m.begin < piece->end; });
      marks.insert(
          std::ranges::find_if(marks, [&](const Mark& m) { return m.begin > piece->begin; }),
          *piece);
    }
  }
  if (marks.empty()) return strip;
  return marked(strip, marks);
}

}  // namespace zell::tui::widgets
