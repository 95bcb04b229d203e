#pragma once
// The CSS subset widgets declare in DEFAULT_CSS: selectors by class name or `#id`, and the
// declarations below. Anything else is a CssError when the stylesheet is parsed (start-up),
// never silently ignored.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace termui {

class CssError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Scalar {
  enum class Unit { cells, fr, percent, automatic };
  Unit unit = Unit::cells;
  double value = 0;
  friend bool operator==(const Scalar&, const Scalar&) = default;
};

struct Spacing {
  int top = 0, right = 0, bottom = 0, left = 0;
  friend bool operator==(const Spacing&, const Spacing&) = default;
};

enum class Overflow { hidden, scroll, automatic };
enum class AlignH { left, center, right };
enum class AlignV { top, middle, bottom };

// Declared values; an unset field takes the value of a less specific rule or the default.
struct Styles {
  std::optional<bool> dock_top;
  std::optional<Scalar> width, height;
  std::optional<Spacing> padding;
  std::optional<AlignH> align_h;
  std::optional<AlignV> align_v;
  std::optional<Overflow> overflow_x, overflow_y;
  std::optional<int> scrollbar_h, scrollbar_v;   // thickness of the horizontal / vertical bar
  std::optional<std::string> border_color;       // set: a rounded border in that colour
  std::optional<std::string> color, background;  // style-string colours, variables resolved

  // Fields set in `over` replace ours.
  void merge(const Styles& over);
};

struct CssRule {
  std::string type_name;  // class-name selector, or empty
  std::string id;         // `#id` selector, or empty
  Styles styles;
};

// Colours behind `$name` variables (the App's dark theme).
[[nodiscard]] std::optional<std::string> theme_variable(std::string_view name);

// Parses a stylesheet; throws CssError naming the offending text.
[[nodiscard]] std::vector<CssRule> parse_css(std::string_view source);

}  // namespace termui
