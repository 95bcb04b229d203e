// Operating system commands the terminal sends back (ESC ] … BEL, or ESC ] … ESC \): answers
// to the queries the App makes, never keys.

#include <optional>

#include "termui/input_parser.h"

namespace termui {
namespace {

// An answer longer than this is not one we asked for: dropped instead of holding input hostage.
constexpr std::size_t MAX_OSC = 512;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One component of an X11 colour value: 1 to 4 hex digits, scaled to 0–255.
std::optional<int> component(std::string_view digits) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    const int d = hex_digit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + d;
  }
  const int max = (1 << (4 * static_cast<int>(digits.size()))) - 1;
  return (value * 255 + max / 2) / max;
}

}  // namespace

std::optional<styled::Color> parse_x11_color(std::string_view value) {
  if (value.starts_with("rgb:")) {
    value.remove_prefix(4);
  } else if (value.starts_with("rgba:")) {
    value.remove_prefix(5);
  } else {
    return std::nullopt;
  }
  int rgb[3];
  for (int i = 0; i < 3; ++i) {
    const std::size_t slash = value.find('/');
    const auto c = component(value.substr(0, slash));
    if (!c) return std::nullopt;
    rgb[i] = *c;
    value = slash == std::string_view::npos ? std::string_view() : value.substr(slash + 1);
  }
  return styled::Color::rgb(static_cast<std::uint8_t>(rgb[0]), static_cast<std::uint8_t>(rgb[1]),
                            static_cast<std::uint8_t>(rgb[2]));
}

InputParser::Step InputParser::parse_osc(std::vector<InputEvent>& out, bool force) {
  const std::size_t start = pos_ + 2;
  std::size_t end = start;
  std::size_t after = 0;  // past the terminator
  for (; end < buf_.size() && end - start <= MAX_OSC; ++end) {
    if (buf_[end] == '\x07') {
      after = end + 1;
      break;
    }
    if (buf_[end] == '\x1b' && end + 1 < buf_.size() && buf_[end + 1] == '\\') {
      after = end + 2;
      break;
    }
  }
  if (after == 0) {
    if (end - start <= MAX_OSC && !force) return Step::incomplete;
    // Unfinished or too long: dropped. Nothing after the introducer means alt+] was typed.
    if (start >= buf_.size()) {
      out.emplace_back(KeyEvent{"alt+]", {}});
      pos_ = start;
      return Step::done;
    }
    pos_ = end;
    return Step::done;
  }
  const std::string_view body = std::string_view(buf_).substr(start, end - start);
  pos_ = after;
  if (body.starts_with("11;")) {
    if (const auto color = parse_x11_color(body.substr(3))) {
      terminal_reports_.push_back({TerminalReport::Kind::background, *color});
    }
  }
  return Step::done;
}

}  // namespace termui
