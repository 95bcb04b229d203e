#include "styled/syntax_registry.h"

#include "styled/syntax_context.h"
#include "styled/syntax_fast_rules.h"

#include <srchilite/highlightrule.h>
#include <srchilite/highlighttoken.h>
#include <srchilite/langdefmanager.h>
#include <srchilite/matchingparameters.h>
#include <srchilite/regexrulefactory.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <typeinfo>
#include <utility>
#include <vector>

#ifndef VELLUMINE_SOURCE_HIGHLIGHT_DIR
#define VELLUMINE_SOURCE_HIGHLIGHT_DIR "/usr/share/source-highlight"
#endif
#ifndef VELLUMINE_LANG_DIR
#define VELLUMINE_LANG_DIR ""
#endif

namespace styled::syntax_registry {

namespace {

// Common names for a language, mapped to the nearest definition; files we ship ourselves
// (for languages source-highlight lacks) are marked `own`.
struct Alias {
  std::string_view name;
  std::string_view file;
  bool own;
};

constexpr std::array ALIASES = {
    Alias{"py", "python.lang", false},
    Alias{"python", "python.lang", false},
    Alias{"python3", "python.lang", false},
    Alias{"py3", "python.lang", false},
    Alias{"pycon", "python.lang", false},
    Alias{"js", "javascript.lang", false},
    Alias{"javascript", "javascript.lang", false},
    Alias{"jsx", "typescript.lang", true},
    Alias{"mjs", "javascript.lang", false},
    Alias{"cjs", "javascript.lang", false},
    Alias{"node", "javascript.lang", false},
    Alias{"ts", "typescript.lang", true},
    Alias{"typescript", "typescript.lang", true},
    Alias{"tsx", "typescript.lang", true},
    Alias{"mts", "typescript.lang", true},
    Alias{"sh", "sh.lang", false},
    Alias{"bash", "sh.lang", false},
    Alias{"shell", "sh.lang", false},
    Alias{"zsh", "sh.lang", false},
    Alias{"ksh", "sh.lang", false},
    Alias{"console", "sh.lang", false},
    Alias{"shellsession", "sh.lang", false},
    Alias{"c++", "cpp.lang", false},
    Alias{"cpp", "cpp.lang", false},
    Alias{"cxx", "cpp.lang", false},
    Alias{"cc", "cpp.lang", false},
    Alias{"hpp", "cpp.lang", false},
    Alias{"h", "cpp.lang", false},
    Alias{"c", "c.lang", false},
    Alias{"rs", "rust.lang", false},
    Alias{"rust", "rust.lang", false},
    Alias{"yml", "yaml.lang", true},
    Alias{"yaml", "yaml.lang", true},
    Alias{"toml", "toml.lang", true},
    Alias{"json", "json.lang", false},
    Alias{"jsonc", "json.lang", false},
    Alias{"json5", "json.lang", false},
    Alias{"diff", "diff.lang", false},
    Alias{"patch", "diff.lang", false},
    Alias{"udiff", "diff.lang", false},
    Alias{"dockerfile", "dockerfile.lang", true},
    Alias{"docker", "dockerfile.lang", true},
    Alias{"containerfile", "dockerfile.lang", true},
    Alias{"go", "go.lang", false},
    Alias{"golang", "go.lang", false},
    Alias{"java", "java.lang", false},
    Alias{"kotlin", "java.lang", false},
    Alias{"kt", "java.lang", false},
    Alias{"swift", "scala.lang", false},
    Alias{"scala", "scala.lang", false},
    Alias{"rb", "ruby.lang", false},
    Alias{"ruby", "ruby.lang", false},
    Alias{"php", "php.lang", false},
    Alias{"sql", "sql.lang", false},
    Alias{"html", "html.lang", false},
    Alias{"xml", "xml.lang", false},
    Alias{"svg", "xml.lang", false},
    Alias{"css", "css.lang", false},
    Alias{"scss", "css.lang", false},
    Alias{"lua", "lua.lang", false},
    Alias{"perl", "perl.lang", false},
    Alias{"pl", "perl.lang", false},
    Alias{"make", "makefile.lang", false},
    Alias{"makefile", "makefile.lang", false},
    Alias{"cmake", "makefile.lang", false},
    Alias{"cs", "csharp.lang", false},
    Alias{"csharp", "csharp.lang", false},
    Alias{"c#", "csharp.lang", false},
    Alias{"hs", "haskell.lang", false},
    Alias{"haskell", "haskell.lang", false},
    Alias{"ini", "conf.lang", false},
    Alias{"conf", "conf.lang", false},
    Alias{"cfg", "conf.lang", false},
    Alias{"properties", "properties.lang", false},
    Alias{"tex", "latex.lang", false},
    Alias{"latex", "latex.lang", false},
    Alias{"erl", "erlang.lang", false},
    Alias{"erlang", "erlang.lang", false},
    Alias{"ml", "caml.lang", false},
    Alias{"ocaml", "caml.lang", false},
    Alias{"proto", "proto.lang", false},
    Alias{"protobuf", "proto.lang", false},
    Alias{"r", "r.lang", false},
    Alias{"tcl", "tcl.lang", false},
    Alias{"vim", "vim.lang", false},
    Alias{"d", "d.lang", false},
    Alias{"pascal", "pascal.lang", false},
    Alias{"fortran", "fortran.lang", false},
    Alias{"groovy", "groovy.lang", false},
    Alias{"coffee", "coffeescript.lang", false},
    Alias{"coffeescript", "coffeescript.lang", false},
    Alias{"asm", "asm.lang", false},
    Alias{"awk", "awk.lang", false},
    Alias{"bat", "bat.lang", false},
    Alias{"batch", "bat.lang", false},
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool safe_name(std::string_view s) {
  if (s.empty() || s.size() > 32) return false;
  for (char c : s) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) return false;
  }
  return true;
}

// source-highlight asks every rule of the current state for its first match in the rest of
// the line after each token, so a line of T tokens costs T × (number of rules) regex searches.
// A rule's first match from an earlier position is still its first match from any later
// position up to where it starts (matching at a position depends only on the line, not on
// where the search began), so each rule here remembers its last answer for the current line
// and searches again only once the line has moved past it. The memory is per thread because
// loaded definitions are shared.
thread_local std::uint64_t line_generation = 1;

std::atomic<std::size_t> next_rule_slot{0};

class CachingRule final : public srchilite::HighlightRule {
 public:
  CachingRule(srchilite::HighlightRulePtr inner, const srchilite::HighlightState* owner,
              std::size_t index)
      : inner_(std::move(inner)),
        owner_(owner),
        index_(index),
        slot_(next_rule_slot++),
        context_(syntax_context::of(inner_->toString())) {
    for (const std::string& e : inner_->getElemList()) addElem(e);
    setNextState(inner_->getNextState());
    setAdditionalInfo(inner_->getAdditionalInfo());
    setExitLevel(inner_->getExitLevel());
    setNested(inner_->isNested());
    setNeedsReferenceReplacement(inner_->getNeedsReferenceReplacement());
    setHasSubexpressions(inner_->getHasSubexpressions());
    // Only rules that give one element for the whole match can use a hand-written matcher.
    if (inner_->getElemList().size() == 1 && !inner_->getHasSubexpressions() &&
        !inner_->getNeedsReferenceReplacement()) {
      fast_ = syntax_fast::matcher_for(inner_->toString());
    }
  }

  // This rule's first match from `start`, remembered for the rest of the line.
  const Remembered& recall(std::string::const_iterator start, std::string::const_iterator end,
                           const srchilite::MatchingParameters& params) {
    return recall(thread_memory()[slot_], start, end, syntax_fast::first_unusual(start, end),
                  params);
  }

  // The same, with this rule's entry of the thread's memory already looked up.
  const Remembered& recall(Remembered& m, std::string::const_iterator start,
                           std::string::const_iterator end, std::string::const_iterator plain_end,
                           const srchilite::MatchingParameters& params) {
    if (still_holds(m, line_generation, context_, start, end)) return m;
    return refresh(m, start, end, plain_end, params);
  }

  // The first match from `start`, searched afresh and remembered in `m`.
  const Remembered& refresh(Remembered& m, std::string::const_iterator start,
                            std::string::const_iterator end, std::string::const_iterator plain_end,
                            const srchilite::MatchingParameters& params) {
    if (fast_ &&
        refresh_fast(fast(), m, line_generation, start, end, plain_end, params.beginningOfLine)) {
      return m;
    }
    return refresh_by_regex(m, start, end, params);
  }

  // The same by the regular expression.
  const Remembered& refresh_by_regex(Remembered& m, std::string::const_iterator start,
                                     std::string::const_iterator end,
                                     const srchilite::MatchingParameters& params) {
    // The remembered token is refilled in place, reusing its strings and list node, and its
    // suffix is left empty: nothing downstream reads it, and copying the rest of the line at
    // every fresh search was a large part of highlighting.
    thread_local srchilite::HighlightToken fresh;
    fresh.clearMatched();
    fresh.matchedSize = 0;  // clearMatched leaves it when the list is already empty
    m.matched = inner_->tryToMatch(start, end, fresh, params);
    m.settled = false;
    m.generation = line_generation;
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
    return m;
  }

  bool tryToMatch(std::string::const_iterator start, std::string::const_iterator end,
                  srchilite::HighlightToken& token,
                  const srchilite::MatchingParameters& params) override {
    const Remembered& m = recall(start, end, params);
    if (!m.matched) return false;
    // The highlighter keeps the match with the shortest prefix among the rules of a state; a
    // match starting later than one already reported in this round cannot win, so it is not
    // copied out. (Ties are the library's to break: those are always reported.)
    thread_local Round round;
    if (round.generation != line_generation || round.start != start || round.owner != owner_ ||
        round.index >= index_) {
      round = Round{line_generation, start, owner_, index_, false, {}};
    }
    round.index = index_;
    if (round.reported && m.at > round.best) return false;
    if (!round.reported || m.at < round.best) round.best = m.at;
    round.reported = true;
    if (m.element != nullptr) {
      token.clearMatched();
      token.matchedSubExps.clear();
      token.suffix.clear();
      token.rule = nullptr;
      token.addMatched(*m.element, std::string(m.at, m.stop));
      token.matchedSize = static_cast<unsigned int>(m.stop - m.at);
    } else {
      token.copyFrom(m.token);
    }
    token.prefix.assign(start, m.at);
    // The library's own test: space, tab and vertical tab only (form feed and CR do not count).
    token.prefixOnlySpaces = std::all_of(token.prefix.begin(), token.prefix.end(),
                                         [](char c) { return c == ' ' || c == '\t' || c == '\v'; });
    return true;
  }

  [[nodiscard]] std::size_t slot() const { return slot_; }
  [[nodiscard]] FastRule fast() const {
    if (!fast_) return {};
    return {fast_.get(), &inner_->getElemList().front(), fast_->anchored(), fast_->needs()};
  }
  [[nodiscard]] syntax_context::Context context() const { return context_; }

  const std::string toString() const override { return inner_->toString(); }
  void replaceReferences(const srchilite::ReplacementList& rep) override {
    inner_->replaceReferences(rep);
  }
  // Copies are made for states rebuilt with back-references; they match without memory.
  HighlightRule* clone() override { return inner_->clone(); }

 private:
  struct Round {
    std::uint64_t generation = 0;
    std::string::const_iterator start;
    const srchilite::HighlightState* owner = nullptr;
    std::size_t index = 0;
    bool reported = false;
    std::string::const_iterator best;
  };

  srchilite::HighlightRulePtr inner_;
  const srchilite::HighlightState* owner_;
  std::size_t index_;
  std::unique_ptr<syntax_fast::Matcher> fast_;
  std::size_t slot_;
  syntax_context::Context context_;
};

// Wraps every rule of every state reachable from `main`, once.
void add_memory(const srchilite::HighlightStatePtr& main) {
  std::set<const srchilite::HighlightState*> seen;
  std::vector<srchilite::HighlightStatePtr> todo{main};
  while (!todo.empty()) {
    srchilite::HighlightStatePtr state = todo.back();
    todo.pop_back();
    if (!state || !seen.insert(state.get()).second) continue;
    const srchilite::RuleList& rules = state->getRuleList();
    for (srchilite::RuleList::size_type i = 0; i < rules.size(); ++i) {
      srchilite::HighlightRulePtr rule = rules[i];
      if (rule->getNextState()) todo.push_back(rule->getNextState());
      if (dynamic_cast<CachingRule*>(rule.get()) == nullptr) {
        state->replaceRule(i, srchilite::HighlightRulePtr(new CachingRule(rule, state.get(), i)));
      }
    }
  }
}

struct Cache {
  std::mutex mutex;
  srchilite::RegexRuleFactory factory;
  srchilite::LangDefManager manager{&factory};
  std::map<std::string, srchilite::HighlightStatePtr, std::less<>> loaded;  // null = failed
};

Cache& cache() {
  static Cache c;
  return c;
}

}  // namespace

Definition find(std::string_view language) {
  const std::string name = lower(language);
  for (const Alias& a : ALIASES) {
    if (a.name == name) {
      return {a.own ? VELLUMINE_LANG_DIR : VELLUMINE_SOURCE_HIGHLIGHT_DIR, std::string(a.file)};
    }
  }
  // Any other language source-highlight ships under its own name ("ada", "scheme", ...). The
  // "tml_*" files are pieces that tml.lang includes: alone they do not parse, and the library
  // leaks what it had built when a definition fails.
  if (safe_name(name) && !name.starts_with("tml_")) {
    const std::string file = name + ".lang";
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::path(VELLUMINE_SOURCE_HIGHLIGHT_DIR) / file, ec)) {
      return {VELLUMINE_SOURCE_HIGHLIGHT_DIR, file};
    }
  }
  return {};
}

namespace {

srchilite::HighlightStatePtr load_shared(const Definition& def) {
  const std::string key = def.dir + "/" + def.file;
  Cache& c = cache();
  std::lock_guard lock(c.mutex);
  if (auto it = c.loaded.find(key); it != c.loaded.end()) return it->second;
  srchilite::HighlightStatePtr state;
  try {
    state = c.manager.getHighlightState(def.dir, def.file);
    add_memory(state);
  } catch (const std::exception&) {
    // A definition that does not load leaves the language unhighlighted; the failure is
    // remembered so it is not retried for every block.
    state.reset();
  }
  c.loaded.emplace(key, state);
  return state;
}

}  // namespace

srchilite::HighlightStatePtr load(std::string_view language) {
  // Each thread remembers the names it has asked for (the answer for a name never changes:
  // definitions are installed files, loaded once), sparing every code block the name lookup,
  // a file-system check for unknown names and the shared cache's lock.
  struct Asked {
    std::string name;
    srchilite::HighlightStatePtr state;
  };
  thread_local std::vector<Asked> asked;
  for (const Asked& a : asked) {
    if (a.name == language) return a.state;
  }
  const Definition def = find(language);
  srchilite::HighlightStatePtr state = def.file.empty() ? nullptr : load_shared(def);
  if (asked.size() >= 64) asked.clear();
  asked.push_back({std::string(language), state});
  return state;
}

srchilite::HighlightStatePtr load_unmodified(std::string_view language) {
  const Definition def = find(language);
  if (def.file.empty()) return {};
  srchilite::RegexRuleFactory factory;
  srchilite::LangDefManager manager(&factory);
  return manager.getHighlightState(def.dir, def.file);
}

std::size_t memory_slot(srchilite::HighlightRule* rule) {
  // CachingRule is final, so comparing the exact type is enough.
  if (typeid(*rule) != typeid(CachingRule)) return NO_SLOT;
  return static_cast<CachingRule*>(rule)->slot();
}

FastRule fast_rule(srchilite::HighlightRule* rule) {
  if (typeid(*rule) != typeid(CachingRule)) return {};
  return static_cast<CachingRule*>(rule)->fast();
}

syntax_context::Context memory_context(srchilite::HighlightRule* rule) {
  if (typeid(*rule) != typeid(CachingRule)) return syntax_context::Context::any;
  return static_cast<CachingRule*>(rule)->context();
}

Remembered* thread_memory() {
  thread_local std::vector<Remembered> memory;
  const std::size_t slots = next_rule_slot.load();
  if (memory.size() < slots) memory.resize(slots);
  return memory.data();
}

const Remembered& refresh_by_regex(srchilite::HighlightRule* rule, Remembered& m,
                                   std::string::const_iterator start,
                                   std::string::const_iterator end,
                                   const srchilite::MatchingParameters& params) {
  return static_cast<CachingRule*>(rule)->refresh_by_regex(m, start, end, params);
}

void begin_line() noexcept {
  ++line_generation;
}

std::uint64_t current_line() noexcept {
  return line_generation;
}

}  // namespace styled::syntax_registry
