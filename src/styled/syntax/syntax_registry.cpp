#include "styled/syntax/syntax_registry.h"

#include <srchilite/langdefmanager.h>
#include <srchilite/regexrulefactory.h>

#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <utility>

#include "styled/syntax/syntax_embedded.h"
#include "styled/syntax/syntax_highlighter.h"

#ifndef VELLUMINE_SOURCE_HIGHLIGHT_DIR
#define VELLUMINE_SOURCE_HIGHLIGHT_DIR "/usr/share/source-highlight"
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

namespace fs = std::filesystem;

// The text of a definition file of our own, built into the library; empty when there is none.
std::string_view embedded_text(std::string_view file) {
  for (const syntax_embedded::File& f : syntax_embedded::files()) {
    if (f.name == file) return f.text;
  }
  return {};
}

// source-highlight reads definitions from files only: one of ours is written into a fresh
// private directory for the parser and removed once it is read.
srchilite::HighlightStatePtr load_embedded(srchilite::LangDefManager& manager,
                                           const Definition& def) {
  std::string dir = (fs::temp_directory_path() / "vellumine-lang-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return {};
  struct Remove {
    const std::string& dir;
    ~Remove() {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  } remove{dir};
  {
    std::ofstream out(fs::path(dir) / def.file, std::ios::binary);
    out.write(def.text.data(), static_cast<std::streamsize>(def.text.size()));
    if (!out) return {};
  }
  return manager.getHighlightState(dir, def.file);
}

// Every definition loaded so far, by file, and the answer for every name asked (the answer
// for a name never changes: definitions are installed or built in, loaded once).
class Registry {
 public:
  std::shared_ptr<const syntax_highlighter::CodeHighlighter> load(std::string_view language) {
    const std::lock_guard lock(mutex_);
    if (const auto it = by_name_.find(language); it != by_name_.end()) return it->second;
    const Definition def = find(language);
    std::shared_ptr<const syntax_highlighter::CodeHighlighter> loaded;
    if (!def.file.empty()) loaded = load_file(def);
    // Names come from the text being drawn: the table of names is not left to grow for ever.
    if (by_name_.size() >= 256) by_name_.clear();
    by_name_.emplace(std::string(language), loaded);
    return loaded;
  }

 private:
  std::shared_ptr<const syntax_highlighter::CodeHighlighter> load_file(const Definition& def) {
    const std::string key = (def.text.empty() ? def.dir : "<built in>") + "/" + def.file;
    if (const auto it = by_file_.find(key); it != by_file_.end()) return it->second;
    std::shared_ptr<const syntax_highlighter::CodeHighlighter> loaded;
    try {
      const srchilite::HighlightStatePtr state = def.text.empty()
                                                     ? manager_.getHighlightState(def.dir, def.file)
                                                     : load_embedded(manager_, def);
      if (state) loaded = std::make_shared<const syntax_highlighter::CodeHighlighter>(state);
    } catch (const std::exception&) {
      // A definition that does not load leaves the language unhighlighted; the failure is
      // remembered so it is not retried for every block.
    }
    by_file_.emplace(key, loaded);
    return loaded;
  }

  std::mutex mutex_;
  srchilite::RegexRuleFactory factory_;
  srchilite::LangDefManager manager_{&factory_};
  std::map<std::string, std::shared_ptr<const syntax_highlighter::CodeHighlighter>, std::less<>>
      by_file_, by_name_;  // null: no definition, or it failed to load
};

}  // namespace

Definition find(std::string_view language) {
  const std::string name = lower(language);
  for (const Alias& a : ALIASES) {
    if (a.name == name) {
      if (a.own) return {"", std::string(a.file), embedded_text(a.file)};
      return {VELLUMINE_SOURCE_HIGHLIGHT_DIR, std::string(a.file), {}};
    }
  }
  // Any other language source-highlight ships under its own name ("ada", "scheme", ...). The
  // "tml_*" files are pieces that tml.lang includes: alone they do not parse, and the library
  // leaks what it had built when a definition fails.
  if (safe_name(name) && !name.starts_with("tml_")) {
    const std::string file = name + ".lang";
    std::error_code ec;
    if (fs::exists(fs::path(VELLUMINE_SOURCE_HIGHLIGHT_DIR) / file, ec)) {
      return {VELLUMINE_SOURCE_HIGHLIGHT_DIR, file, {}};
    }
  }
  return {};
}

std::shared_ptr<const syntax_highlighter::CodeHighlighter> load(std::string_view language) {
  static Registry registry;  // the definitions are shared by every caller, loaded once
  return registry.load(language);
}

}  // namespace styled::syntax_registry
