#include "termui/notification.h"

#include "unicode/utf8.h"

namespace termui {
namespace {

// The text with every control turned into a space (and `;` too when `no_semicolon`), cut to
// MAX_NOTIFICATION code points; invalid UTF-8 becomes U+FFFD.
std::string inert(std::string_view text, bool no_semicolon) {
  std::string out;
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size() && count < MAX_NOTIFICATION; ++count) {
    const unicode::Decoded d = unicode::decode_at(text, i);
    i += d.len;
    const char32_t cp = d.cp;
    const bool control = cp < 0x20 || (cp >= 0x7f && cp <= 0x9f);
    if (control || (no_semicolon && cp == U';')) {
      out += ' ';
    } else {
      unicode::append_utf8(out, cp);
    }
  }
  return out;
}

bool starts_with(const char* value, std::string_view prefix) {
  return value != nullptr && std::string_view(value).starts_with(prefix);
}

bool equals(const char* value, std::string_view word) {
  return value != nullptr && std::string_view(value) == word;
}

}  // namespace

std::optional<NotifyMethod> notify_method_named(std::string_view name) {
  if (name == "bell") return NotifyMethod::bell;
  if (name == "off") return NotifyMethod::off;
  return std::nullopt;
}

NotifyMethod detect_notify_method(const std::function<const char*(const char*)>& getenv) {
  const char* term = getenv("TERM");
  const char* program = getenv("TERM_PROGRAM");
  if (getenv("TMUX") != nullptr || starts_with(term, "screen") || starts_with(term, "tmux")) {
    return NotifyMethod::bell;
  }
  if (equals(program, "iTerm.app") || equals(program, "WezTerm") || equals(program, "ghostty") ||
      equals(term, "xterm-kitty") || equals(term, "xterm-ghostty")) {
    return NotifyMethod::osc9;
  }
  if (starts_with(term, "rxvt") || starts_with(term, "foot") || getenv("VTE_VERSION") != nullptr) {
    return NotifyMethod::osc777;
  }
  return NotifyMethod::bell;
}

std::string notification_sequence(NotifyMethod method, std::string_view title,
                                  std::string_view body) {
  switch (method) {
    case NotifyMethod::off:
      return {};
    case NotifyMethod::bell:
      return "\x07";
    case NotifyMethod::osc9: {
      // One message; a leading digit could read as one of the sub-commands some terminals
      // hang on OSC 9 (progress "4;…"), and the title always comes first.
      std::string message = inert(title, false);
      if (!message.empty() && !body.empty()) message += ": ";
      message += inert(body, false);
      if (!message.empty() && message[0] >= '0' && message[0] <= '9') {
        message = std::string(" ") + message;
      }
      return "\x1b]9;" + message + "\x1b\\";
    }
    case NotifyMethod::osc777:
      return "\x1b]777;notify;" + inert(title, true) + ";" + inert(body, false) + "\x1b\\";
  }
  return {};
}

}  // namespace termui
