// The fast highlighter: the highlighting loop of source-highlight's SourceHighlighter (with
// output merging on) driven here: the same states, rules, best-match choice and state changes,
// but each rule's next match is remembered for the rest of the line (syntax_memory.h), rules
// of the common shapes match through hand-written matchers (syntax_fast_rules.h), and merged
// output goes straight into the Text being built.
//
// It reads the library's states, rules and tokens and repeats its loop, so it is built only
// against the library version it was checked with (see CMakeLists.txt); any other version
// gets syntax_highlighter_library.cpp instead.

#include <srchilite/highlightrule.h>
#include <srchilite/highlightstate.h>
#include <srchilite/highlighttoken.h>
#include <srchilite/matchingparameters.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "styled/syntax/syntax_context.h"
#include "styled/syntax/syntax_fast_rules.h"
#include "styled/syntax/syntax_highlighter.h"
#include "styled/syntax/syntax_lines.h"
#include "styled/syntax/syntax_memory.h"
#include "styled/syntax/syntax_token_style.h"

namespace styled::syntax_highlighter {

using syntax_memory::FastRule;
using syntax_memory::is_word_byte;
using syntax_memory::Remembered;

namespace fast_detail {  // named: CodeHighlighter::Workspaces holds these types

// What the highlighter knows of one rule of its definition: its place in a workspace's
// memory, how its pattern looks back, and its hand-written matcher when it has one.
struct RuleInfo {
  std::size_t slot = 0;
  syntax_context::Context context = syntax_context::Context::any;
  std::unique_ptr<syntax_fast::Matcher> matcher;
  const std::string* element = nullptr;  // the element of its matches, for the matcher
};

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

// What one highlighting run works in: the number of the current line (counted on from run to
// run, so that memory of an earlier line never passes for the current one), each rule's
// memory, the tables of the definition's states pointing into it, and the token a regular
// expression's search fills. Kept by the highlighter for the next run.
struct Workspace {
  explicit Workspace(std::size_t rules) : memory(rules) {}
  std::uint64_t line = 0;
  std::vector<Remembered> memory;
  std::unordered_map<const srchilite::HighlightState*, KnownState> tables;
  srchilite::HighlightToken fresh;
};

using RuleTable = std::unordered_map<const srchilite::HighlightRule*, RuleInfo>;

class Driver {
 public:
  Driver(const srchilite::HighlightStatePtr& main, const RuleTable& rules, Workspace& workspace,
         const CodeTheme& theme, Text& out)
      : main_(main), current_(main), rules_(rules), ws_(workspace), theme_(theme), out_(out) {
    state_ = &state_for(current_);
  }

  void paragraph(const std::string& line) {
    auto start = line.begin();
    const auto end = line.end();
    srchilite::MatchingParameters params;
    line_ = ++ws_.line;
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
        if (!syntax_memory::still_holds(r, line_, asked.context, start, end, after_word,
                                        before_word) &&
            (asked.fast.matcher == nullptr ||
             !syntax_memory::refresh_fast(asked.fast, *asked.memory, line_, start, end, plain_end_,
                                          params.beginningOfLine, line_bytes_))) {
          refresh_by_regex(asked, start, end, params);
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

  // The first match of the rule from `start` by its regular expression, searched afresh and
  // remembered. The remembered token is refilled in place, reusing its strings and list node,
  // and its suffix is left empty: nothing downstream reads it, and copying the rest of the
  // line at every fresh search was a large part of highlighting.
  void refresh_by_regex(const Asked& asked, std::string::const_iterator start,
                        std::string::const_iterator end,
                        const srchilite::MatchingParameters& params) {
    srchilite::HighlightToken& fresh = ws_.fresh;
    fresh.clearMatched();
    fresh.matchedSize = 0;  // clearMatched leaves it when the list is already empty
    Remembered& m = *asked.memory;
    m.matched = asked.rule->tryToMatch(start, end, fresh, params);
    m.settled = false;
    m.line = line_;
    m.from = start;
    m.end = end;
    if (m.matched) {
      m.at = start + static_cast<std::ptrdiff_t>(fresh.prefix.size());
      m.stop = m.at + static_cast<std::ptrdiff_t>(fresh.matchedSize);
      m.element = nullptr;
      m.token.matched.swap(fresh.matched);
      m.token.matchedSize = fresh.matchedSize;
      m.token.matchedSubExps.swap(fresh.matchedSubExps);
      m.token.suffix.clear();
      m.token.prefix.clear();
      m.token.rule = fresh.rule;
    }
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
  // token (the library keeps its rules in a deque). The definition's states live as long as
  // the highlighter, so their tables are kept in the workspace from one text to the next.
  // States copied for back-references are new objects each time, so their table is this
  // text's and kept small; it holds the states it describes, so their addresses are not reused.
  KnownState& state_for(const srchilite::HighlightStatePtr& state) {
    if (!state->getOriginalState()) {
      KnownState& k = ws_.tables[state.get()];
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

  // Rules copied for back-references are not the definition's: they match without memory,
  // as in the library.
  void fill(KnownState& k, const srchilite::HighlightStatePtr& state) {
    k.state = state;
    for (const srchilite::HighlightRulePtr& rule : state->getRuleList()) {
      k.all.push_back(static_cast<std::uint32_t>(k.rules.size()));
      Asked asked;
      asked.rule = rule.get();
      if (const auto it = rules_.find(rule.get()); it != rules_.end()) {
        const RuleInfo& info = it->second;
        asked.memory = &ws_.memory[info.slot];
        asked.context = info.context;
        if (info.matcher) {
          asked.fast = {info.matcher.get(), info.element, info.matcher->anchored(),
                        info.matcher->needs()};
        }
      }
      k.rules.push_back(asked);
    }
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
  const RuleTable& rules_;
  Workspace& ws_;
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
};

}  // namespace fast_detail

using fast_detail::Driver;
using fast_detail::RuleInfo;
using fast_detail::RuleTable;
using fast_detail::Workspace;

struct CodeHighlighter::Workspaces {
  RuleTable rules;
  std::mutex mutex;
  std::vector<std::unique_ptr<Workspace>> idle;  // guarded by mutex
};

CodeHighlighter::CodeHighlighter(srchilite::HighlightStatePtr definition)
    : definition_(std::move(definition)), workspaces_(std::make_unique<Workspaces>()) {
  // Every rule of every state reachable from the main one, numbered.
  RuleTable& rules = workspaces_->rules;
  std::set<const srchilite::HighlightState*> seen;
  std::vector<srchilite::HighlightStatePtr> todo{definition_};
  while (!todo.empty()) {
    const srchilite::HighlightStatePtr state = todo.back();
    todo.pop_back();
    if (!state || !seen.insert(state.get()).second) continue;
    for (const srchilite::HighlightRulePtr& rule : state->getRuleList()) {
      if (rule->getNextState()) todo.push_back(rule->getNextState());
      if (rules.contains(rule.get())) continue;
      RuleInfo info;
      info.slot = rules.size();
      info.context = syntax_context::of(rule->toString());
      // Only rules that give one element for the whole match can use a hand-written matcher.
      if (rule->getElemList().size() == 1 && !rule->getHasSubexpressions() &&
          !rule->getNeedsReferenceReplacement()) {
        info.matcher = syntax_fast::matcher_for(rule->toString());
        info.element = &rule->getElemList().front();
      }
      rules.emplace(rule.get(), std::move(info));
    }
  }
}

CodeHighlighter::~CodeHighlighter() = default;

Text CodeHighlighter::highlight(const std::string& code, const CodeTheme& theme) const {
  // A run takes an idle workspace (or makes one) and gives it back when it ends, also when a
  // search gives up: runs on other threads at the same time each have their own.
  std::unique_ptr<Workspace> ws;
  {
    const std::lock_guard lock(workspaces_->mutex);
    if (!workspaces_->idle.empty()) {
      ws = std::move(workspaces_->idle.back());
      workspaces_->idle.pop_back();
    }
  }
  if (!ws) ws = std::make_unique<Workspace>(workspaces_->rules.size());
  struct GiveBack {
    Workspaces& to;
    std::unique_ptr<Workspace>& ws;
    ~GiveBack() {
      const std::lock_guard lock(to.mutex);
      to.idle.push_back(std::move(ws));
    }
  } give_back{*workspaces_, ws};
  Text out;
  Driver driver(definition_, workspaces_->rules, *ws, theme, out);
  std::string line;  // the driver reads the line through string iterators
  syntax_lines::for_each_line(code, [&](std::string_view view, bool more) {
    line.assign(view);
    driver.paragraph(line);
    if (more) out.append("\n");
  });
  return out;
}

}  // namespace styled::syntax_highlighter
