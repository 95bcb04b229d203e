#pragma once
// Syntax: source code highlighted through GNU source-highlight, drawn on the code theme's
// background with optional padding. A language it does not know is drawn unhighlighted on the
// same background — never an error.
//
//   Syntax code(source, "py");                    // aliases: py, js, ts, sh, c++, rs, yml, ...
//   console.print(code);                          // or render_lines(code, width)
//   Text t = code.highlight();                    // the tokens as styled text, no background
//   Syntax::resolve_language("tsx")               // the definition file it maps to, or ""
//
// Definitions are loaded once per process and shared (the project's own definition files are
// built into the library); tokens become styled text directly (token class → Style), so no
// ANSI text is produced and parsed back.

#include <string>
#include <string_view>

#include "styled/renderable.h"
#include "styled/style.h"
#include "styled/text.h"

namespace styled {

// Colours of a code theme by token class.
struct CodeTheme {
  Style background;  // text colour on the background colour: the default of every token
  Style comment, keyword, import_keyword, operator_, tag, function, number, string, escape, type,
      deleted, inserted, hunk;

  // "monokai" (the default; unknown names also give it).
  [[nodiscard]] static const CodeTheme& named(std::string_view name);
};

class Syntax : public Renderable {
 public:
  Syntax(std::string code, std::string_view language, std::string_view theme = "monokai",
         bool word_wrap = true, int padding = 0);

  [[nodiscard]] Text highlight() const;
  void render(const Console& console, int width, Lines& out) const override;

  // The definition file for a language name or alias ("" when none fits).
  [[nodiscard]] static std::string resolve_language(std::string_view language);

  [[nodiscard]] const std::string& code() const { return code_; }
  [[nodiscard]] const CodeTheme& theme() const { return *theme_; }

 private:
  std::string code_;
  std::string language_;
  const CodeTheme* theme_;
  bool word_wrap_;
  int padding_;
};

}  // namespace styled
