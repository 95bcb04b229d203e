// The highlighting loop of source-highlight's SourceHighlighter (with output merging on),
// driven here for the definitions load() returns: the same states, rules, best-match choice
// and state changes, but each rule's remembered match is read in place rather than copied
// token by token, and merged output goes straight into the Text being built.

#include <srchilite/highlightrule.h>
#include <srchilite/highlightstate.h>
#include <srchilite/highlighttoken.h>
#include <srchilite/matchingparameters.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "styled/syntax_fast_rules.h"
#include "styled/syntax_lines.h"
#include "styled/syntax_registry.h"

namespace styled::syntax_registry {

namespace {

// The winning rule of one position: how far its match starts after the position, how long it
// is, and the match itself: as the rule remembers it, or as a rule without memory gave it
// (whose prefix is not used).
struct Match {
  const srchilite::HighlightRule* rule = nullptr;
  std::size_t prefix = 0;
  std::size_t size = 0;
  const Remembered* memory = nullptr;
  const srchilite::HighlightToken* token = nullptr;
};

// The library's test for a prefix of spaces: space, tab and vertical tab (form feed and CR do
// not count).
bool is_prefix_space(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

// One rule of a state as the driver asks it: its memory (null for rules copied for
// back-references, which match without memory, as in the library) and how its pattern looks
// back, for checking the memory in place.
struct Asked {
  srchilite::HighlightRule* rule = nullptr;
  Remembered* memory = nullptr;
  syntax_context::Context context = syntax_context::Context::any;
  FastRule fast;
};

// A state's rules, all their indices, and those still worth asking in line number `line`.
struct KnownState {
  srchilite::HighlightStatePtr state;
  std::vector<Asked> rules;
  std::vector<std::uint32_t> all, live;
  std::uint64_t line = 0;
};

class Driver {
 public:
  Driver(const srchilite::HighlightStatePtr& main, const CodeTheme& theme, Text& out)
      : main_(main),
        current_(main),
        theme_(theme),
        out_(out),
        memory_(thread_memory()),
        shared_(shared_tables(memory_)) {
    state_ = &state_for(current_);
  }

  void paragraph(const std::string& line) {
    auto start = line.begin();
    const auto end = line.end();
    srchilite::MatchingParameters params;
    line_ = current_line();
    line_begin_ = start;
    line_bytes_ = syntax_fast::bytes_of(start, end);
    // Most lines hold no unusual byte, which their bytes tell without a scan.
    plain_end_ = line_bytes_.meets(syntax_fast::unusual_bytes())
                     ? syntax_fast::first_unusual(start, end)
                     : end;
    // Like the library, an empty rest is still offered to the rules (some match the end).
    while (true) {
      Match m;
      if (!best_match(start, end, params, m)) {
        if (start != end) format(current_->getDefaultElement(), view(start, end), loaded());
        break;
      }
      if (m.prefix > 0) {
        format(current_->getDefaultElement(),
               view(start, start + static_cast<std::ptrdiff_t>(m.prefix)), loaded());
      }
      if (m.memory != nullptr && m.memory->element != nullptr) {
        format(*m.memory->element, view(m.memory->at, m.memory->stop), true);
      } else {
        for (const auto& [element, text] : token_of(m).matched) format(element, text, false);
      }
      if (m.size != 0) params.beginningOfLine = false;
      const std::size_t advance = m.prefix + m.size;
      change_state(m);
      start += static_cast<std::ptrdiff_t>(advance);
    }
    flush();
  }

 private:
  static std::string_view view(std::string::const_iterator from, std::string::const_iterator to) {
    return {&*from, static_cast<std::size_t>(to - from)};
  }

  static const srchilite::HighlightToken& token_of(const Match& m) {
    return m.memory != nullptr ? m.memory->token : *m.token;
  }

  // HighlightState::findBestMatch: the match with the shortest prefix, then the longest; the
  // first rule in the list wins ties; a match after nothing but spaces stops the search.
  bool best_match(std::string::const_iterator start, std::string::const_iterator end,
                  const srchilite::MatchingParameters& params, Match& best) {
    // The first unusual byte of the rest of the line, looked for again only once passed.
    if (plain_end_ < start) plain_end_ = syntax_fast::first_unusual(start, end);
    // A prefix is all spaces when it is no longer than the run of spaces at the start.
    std::size_t spaces = 0;
    while (start + static_cast<std::ptrdiff_t>(spaces) != end &&
           is_prefix_space(start[static_cast<std::ptrdiff_t>(spaces)])) {
      ++spaces;
    }
    // How the rules that look back see the search start.
    const bool after_word = start != line_begin_ && is_word_byte(start[-1]);
    const bool before_word = start != end && is_word_byte(*start);
    bool found = false;
    KnownState& k = *state_;
    if (k.line != line_) {
      k.line = line_;
      k.live = k.all;
    }
    // The live list is compacted as it is read: `keep` entries stay.
    std::size_t keep = 0;
    std::size_t j = 0;
    const std::size_t count = k.live.size();
    for (; j < count; ++j) {
      const std::uint32_t i = k.live[j];
      k.live[keep++] = i;
      const Asked& asked = k.rules[i];
      Match m{asked.rule};
      bool spaces_only = false;
      if (asked.memory != nullptr) {
        const Remembered& r = *asked.memory;
        if (!still_holds(r, line_, asked.context, start, end, after_word, before_word) &&
            (asked.fast.matcher == nullptr ||
             !refresh_fast(asked.fast, *asked.memory, line_, start, end, plain_end_,
                           params.beginningOfLine, &line_bytes_))) {
          (void)refresh_by_regex(asked.rule, *asked.memory, start, end, params);
        }
        if (!r.matched) {
          // A rule that looks nowhere before its search start and has no match in the rest
          // of the line has none from any later position either (still_holds would keep
          // saying so), nor has a rule whose memory says it is settled: neither is asked
          // again in this line.
          if (asked.context == syntax_context::Context::none || r.settled) --keep;
          continue;
        }
        m.prefix = static_cast<std::size_t>(r.at - start);
        m.size = static_cast<std::size_t>(r.stop - r.at);
        m.memory = &r;
        spaces_only = m.prefix <= spaces;
      } else {
        temp_.clearMatched();
        temp_.matchedSize = 0;
        if (!asked.rule->tryToMatch(start, end, temp_, params)) continue;
        m.prefix = temp_.prefix.size();
        m.size = temp_.matchedSize;
        m.token = &best_temp_;
        spaces_only = temp_.prefixOnlySpaces;
      }
      if (found && !(m.prefix < best.prefix || (m.prefix == best.prefix && m.size > best.size))) {
        continue;
      }
      if (m.token != nullptr) best_temp_.copyFrom(temp_);
      found = true;
      best = m;
      if (spaces_only) {
        ++j;
        break;
      }
    }
    for (; j < count; ++j) k.live[keep++] = k.live[j];
    k.live.resize(keep);
    return found;
  }

  // SourceHighlighter::getNextState, enterState, exitState and exitAll.
  void change_state(const Match& m) {
    srchilite::HighlightStatePtr next = m.rule->getNextState();
    if (m.rule->isNested()) next = current_;
    if (next && next->getNeedsReferenceReplacement()) {
      if (next->getOriginalState()) next = next->getOriginalState();
      srchilite::HighlightStatePtr copy(new srchilite::HighlightState(*next));
      copy->setOriginalState(next);
      // Only regular expressions with subexpressions (never a hand-written matcher) refer to
      // parts of their match.
      static const srchilite::MatchedSubExps none;
      const bool whole = m.memory != nullptr && m.memory->element != nullptr;
      copy->replaceReferences(whole ? none : token_of(m).matchedSubExps);
      next = copy;
    }
    if (next) {
      stack_.push_back(current_);
      current_ = next;
    } else if (const int level = m.rule->getExitLevel(); level < 0) {
      current_ = main_;
      stack_.clear();
    } else if (level > 0) {
      for (int l = 1; l < level && !stack_.empty(); ++l) stack_.pop_back();
      // Leaving more states than were entered returns to the main one.
      current_ = stack_.empty() ? main_ : stack_.back();
      if (!stack_.empty()) stack_.pop_back();
    } else {
      return;
    }
    state_ = &state_for(current_);
  }

  // A state's rules and their memory, looked up once per state rather than per rule and
  // token (the library keeps its rules in a deque). The states of loaded definitions live as
  // long as the process, so their tables are kept per thread from one text to the next.
  // States copied for back-references are new objects each time, so their table is this
  // text's and kept small; it holds the states it describes, so their addresses are not reused.
  KnownState& state_for(const srchilite::HighlightStatePtr& state) {
    if (!state->getOriginalState()) {
      KnownState& k = shared_[state.get()];
      if (!k.state) fill(k, state);
      return k;
    }
    for (const auto& k : copies_) {
      if (k->state == state) return *k;
    }
    if (copies_.size() >= 16) copies_.clear();  // no reference into it is kept past this call
    KnownState& k = *copies_.emplace_back(std::make_unique<KnownState>());
    fill(k, state);
    return k;
  }

  void fill(KnownState& k, const srchilite::HighlightStatePtr& state) {
    k.state = state;
    for (const srchilite::HighlightRulePtr& rule : state->getRuleList()) {
      k.all.push_back(static_cast<std::uint32_t>(k.rules.size()));
      const std::size_t slot = memory_slot(rule.get());
      k.rules.push_back(Asked{rule.get(), slot == NO_SLOT ? nullptr : &memory_[slot],
                              memory_context(rule.get()), fast_rule(rule.get())});
    }
  }

  // The tables of loaded states for this thread, pointing into its memory: dropped when the
  // memory has moved (it grows when definitions are loaded).
  static std::unordered_map<const srchilite::HighlightState*, KnownState>& shared_tables(
      const Remembered* memory) {
    thread_local std::unordered_map<const srchilite::HighlightState*, KnownState> tables;
    thread_local const Remembered* tables_memory = nullptr;
    if (tables_memory != memory) {
      tables.clear();
      tables_memory = memory;
    }
    return tables;
  }

  // Whether the current state belongs to a loaded definition (not a copy made for
  // back-references): its strings keep their address and text for good.
  [[nodiscard]] bool loaded() const { return !current_->getOriginalState(); }

  // SourceHighlighter::format with merging: text of one element is held until another
  // element comes or the line ends. `stable` says that `element` is a string of a loaded
  // definition, so that the element held can be recognised by its address rather than by
  // comparing names (most element names are six letters long).
  void format(const std::string& element, std::string_view text, bool stable) {
    if (text.empty()) return;
    if ((!stable || &element != element_source_) && element != element_) {
      if (!element_.empty()) flush();
      element_ = element;
    }
    element_source_ = stable ? &element : nullptr;  // when set, it holds element_'s name
    buffer_.append(text);
  }

  void flush() {
    out_.append(buffer_, style_of(element_, element_source_, buffer_));
    element_.clear();
    element_source_ = nullptr;
    buffer_.clear();
  }

  // token_style, remembered per element for this text (a definition uses a handful): by the
  // address of a definition's string when there is one, else by name. Keywords are looked up
  // every time, their style depends on the word.
  Style style_of(const std::string& element, const std::string* source, std::string_view text) {
    if (source != nullptr) {
      for (const Known& k : by_source_) {
        if (k.source == source) return k.keyword ? token_style(theme_, element, text) : k.style;
      }
    }
    const bool keyword = element == "keyword";
    Style style;
    if (keyword) {
      style = token_style(theme_, element, text);
    } else {
      const auto named = std::find_if(styles_.begin(), styles_.end(),
                                      [&](const auto& s) { return s.first == element; });
      style = named != styles_.end()
                  ? named->second
                  : styles_.emplace_back(element, token_style(theme_, element, text)).second;
    }
    if (source != nullptr) by_source_.push_back(Known{source, keyword, style});
    return style;
  }

  struct Known {
    const std::string* source;
    bool keyword;
    Style style;
  };

  srchilite::HighlightStatePtr main_, current_;
  std::vector<std::pair<std::string, Style>> styles_;
  std::vector<Known> by_source_;
  std::vector<srchilite::HighlightStatePtr> stack_;
  std::vector<std::unique_ptr<KnownState>> copies_;  // unlike a deque, free until used
  KnownState* state_ = nullptr;
  std::uint64_t line_ = 0;
  std::string::const_iterator line_begin_, plain_end_;
  syntax_fast::ByteSet line_bytes_;
  const CodeTheme& theme_;
  Text& out_;
  std::string element_, buffer_;
  const std::string* element_source_ = nullptr;
  srchilite::HighlightToken temp_, best_temp_;
  Remembered* memory_;
  std::unordered_map<const srchilite::HighlightState*, KnownState>& shared_;
};

}  // namespace

Text highlight_loaded(const std::string& code, const srchilite::HighlightStatePtr& state,
                      const CodeTheme& theme) {
  Text out;
  Driver driver(state, theme, out);
  std::string line;  // the driver reads the line through string iterators
  syntax_lines::for_each_line(code, [&](std::string_view view, bool more) {
    line.assign(view);
    begin_line();
    driver.paragraph(line);
    if (more) out.append("\n");
  });
  return out;
}

}  // namespace styled::syntax_registry
