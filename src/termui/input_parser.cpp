#include "termui/input_parser.h"

#include <algorithm>

#include "termui/extended_keys.h"
#include "unicode/utf8.h"

namespace termui {
namespace {

constexpr char ESC = '\x1b';
constexpr std::string_view PASTE_END = "\x1b[201~";
// A CSI sequence longer than this is garbage: drop it instead of holding input hostage.
constexpr std::size_t MAX_CSI = 64;

KeyEvent key(std::string name, std::string character = {}) {
  return KeyEvent{std::move(name), std::move(character)};
}

// The key a single byte below 0x20 (or DEL) stands for.
KeyEvent control_key(unsigned char b) {
  switch (b) {
    case 0x00:
      return key("ctrl+space");
    case 0x09:
      return key("tab", "\t");
    case 0x0d:
      return key("enter");
    case 0x08:
      return key("ctrl+h");
    case 0x7f:
      return key("backspace");
    case 0x1c:
      return key("ctrl+\\");
    case 0x1d:
      return key("ctrl+]");
    case 0x1e:
      return key("ctrl+^");
    case 0x1f:
      return key("ctrl+_");
    default:
      break;
  }
  std::string name = "ctrl+";
  name += static_cast<char>('a' + (b - 1));
  return key(std::move(name));
}

// Bytes a UTF-8 sequence starting with `lead` should have; 1 for an invalid lead.
std::size_t utf8_length(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf4) return 4;
  return 1;
}

// Parameters of a CSI sequence; each clamped so that no input overflows.
std::vector<int> numbers(std::string_view params) {
  std::vector<int> out(1, 0);
  for (char c : params) {
    if (c == ';') {
      out.push_back(0);
    } else if (c >= '0' && c <= '9') {
      int& v = out.back();
      v = std::min(v * 10 + (c - '0'), 100000);
    }
  }
  return out;
}

// The first sub-field of each `;` field: the kitty protocol adds `:`-separated alternates
// (shifted key, event type) that this parser does not use.
std::vector<int> leading_numbers(std::string_view params) {
  std::vector<int> out(1, 0);
  bool skipping = false;
  for (char c : params) {
    if (c == ';') {
      out.push_back(0);
      skipping = false;
    } else if (c == ':') {
      skipping = true;
    } else if (c >= '0' && c <= '9' && !skipping) {
      int& v = out.back();
      v = std::min(v * 10 + (c - '0'), 0x110000);
    }
  }
  return out;
}

std::string modifier_prefix(int m) {
  if (m < 2) return {};
  const int bits = m - 1;
  std::string p;
  if (bits & 4) p += "ctrl+";
  if (bits & 2) p += "alt+";
  if (bits & 1) p += "shift+";
  return p;
}

// A mouse report: button code `b` (xterm's bits), 1-based cell, and whether it is a release.
MouseEvent mouse_event(int b, int x1, int y1, bool release) {
  MouseEvent e;
  e.screen_x = std::max(0, x1 - 1);
  e.screen_y = std::max(0, y1 - 1);
  e.shift = (b & 4) != 0;
  e.meta = (b & 8) != 0;
  e.ctrl = (b & 16) != 0;
  static constexpr MouseButton BUTTONS[] = {MouseButton::left, MouseButton::middle,
                                            MouseButton::right, MouseButton::none};
  e.button = BUTTONS[b & 3];
  if (b & 64) {
    static constexpr MouseAction WHEEL[] = {MouseAction::scroll_up, MouseAction::scroll_down,
                                            MouseAction::scroll_left, MouseAction::scroll_right};
    e.action = WHEEL[b & 3];
    e.button = MouseButton::none;
  } else if (release) {
    e.action = MouseAction::up;
  } else if (b & 32) {
    e.action = MouseAction::move;
  } else {
    e.action = MouseAction::down;
  }
  return e;
}

const char* tilde_key(int n) {
  switch (n) {
    case 1:
    case 7:
      return "home";
    case 2:
      return "insert";
    case 3:
      return "delete";
    case 4:
    case 8:
      return "end";
    case 5:
      return "pageup";
    case 6:
      return "pagedown";
    case 11:
      return "f1";
    case 12:
      return "f2";
    case 13:
      return "f3";
    case 14:
      return "f4";
    case 15:
      return "f5";
    case 17:
      return "f6";
    case 18:
      return "f7";
    case 19:
      return "f8";
    case 20:
      return "f9";
    case 21:
      return "f10";
    case 23:
      return "f11";
    case 24:
      return "f12";
    default:
      return nullptr;
  }
}

const char* letter_key(char final) {
  switch (final) {
    case 'A':
      return "up";
    case 'B':
      return "down";
    case 'C':
      return "right";
    case 'D':
      return "left";
    case 'H':
      return "home";
    case 'F':
      return "end";
    case 'P':
      return "f1";
    case 'Q':
      return "f2";
    case 'R':
      return "f3";
    case 'S':
      return "f4";
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<InputEvent> InputParser::feed(std::string_view bytes, Clock::time_point now) {
  std::vector<InputEvent> out;
  const bool was_holding = pos_ < buf_.size();
  if (!bytes.empty()) last_bytes_ = now;
  buf_.append(bytes);
  parse(out, false);
  if (pos_ < buf_.size() && (!was_holding || !out.empty())) held_since_ = now;
  return out;
}

std::vector<InputEvent> InputParser::flush(Clock::time_point now, bool force) {
  std::vector<InputEvent> out;
  if (in_paste_) {
    if (!force && now - last_bytes_ < PASTE_TIMEOUT) return out;
    // The end marker never came: deliver what there is (a held tail included) and go on.
    paste_.append(std::string_view(buf_).substr(pos_));
    buf_.clear();
    pos_ = 0;
    in_paste_ = false;
    out.emplace_back(PasteEvent{unicode::sanitize(paste_)});
    paste_.clear();
    return out;
  }
  if (pos_ >= buf_.size()) return out;
  if (!force && now - held_since_ < ESC_TIMEOUT) return out;
  parse(out, true);
  return out;
}

std::optional<InputParser::Clock::time_point> InputParser::deadline() const {
  if (in_paste_) return last_bytes_ + PASTE_TIMEOUT;
  if (pos_ >= buf_.size()) return std::nullopt;
  return held_since_ + ESC_TIMEOUT;
}

void InputParser::parse(std::vector<InputEvent>& out, bool force) {
  while (pos_ < buf_.size()) {
    if (in_paste_) {
      parse_paste(out);
      if (in_paste_) break;
      continue;
    }
    const auto b = static_cast<unsigned char>(buf_[pos_]);
    Step step;
    if (b == ESC) {
      step = parse_escape(out, force);
    } else if (b < 0x20 || b == 0x7f) {
      out.emplace_back(control_key(b));
      ++pos_;
      step = Step::done;
    } else {
      step = parse_text(out, force, false);
    }
    if (step == Step::incomplete) break;
  }
  // Drop what has been consumed; a paste keeps only the tail that may begin its end marker.
  if (pos_ > 0 && (pos_ >= buf_.size() || pos_ > 4096)) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
}

void InputParser::parse_paste(std::vector<InputEvent>& out) {
  const std::string_view rest = std::string_view(buf_).substr(pos_);
  const std::size_t end = rest.find(PASTE_END);
  if (end != std::string_view::npos) {
    paste_.append(rest.substr(0, end));
    pos_ += end + PASTE_END.size();
    in_paste_ = false;
    out.emplace_back(PasteEvent{unicode::sanitize(paste_)});
    paste_.clear();
    return;
  }
  // Keep back a tail that could be the start of the end marker split across reads.
  std::size_t keep = 0;
  for (std::size_t k = std::min(rest.size(), PASTE_END.size() - 1); k > 0; --k) {
    if (rest.substr(rest.size() - k) == PASTE_END.substr(0, k)) {
      keep = k;
      break;
    }
  }
  paste_.append(rest.substr(0, rest.size() - keep));
  pos_ += rest.size() - keep;
}

InputParser::Step InputParser::parse_text(std::vector<InputEvent>& out, bool force, bool alt) {
  const std::size_t start = pos_ + (alt ? 1 : 0);
  const auto lead = static_cast<unsigned char>(buf_[start]);
  const std::size_t want = utf8_length(lead);
  if (start + want > buf_.size() && !force) {
    // Hold an unfinished character only while every byte so far is a continuation byte.
    bool plausible = true;
    for (std::size_t i = start + 1; i < buf_.size(); ++i) {
      plausible = plausible && (static_cast<unsigned char>(buf_[i]) & 0xc0) == 0x80;
    }
    if (plausible) return Step::incomplete;
  }
  const unicode::Decoded d = unicode::decode_at(buf_, start);
  std::string ch;
  unicode::append_utf8(ch, d.cp);
  std::string name = ch == " " ? std::string("space") : ch;
  if (alt) {
    out.emplace_back(key("alt+" + name));
  } else {
    out.emplace_back(key(std::move(name), std::move(ch)));
  }
  pos_ = start + d.len;
  return Step::done;
}

InputParser::Step InputParser::parse_escape(std::vector<InputEvent>& out, bool force) {
  if (pos_ + 1 >= buf_.size()) {
    if (!force) return Step::incomplete;
    out.emplace_back(key("escape"));
    ++pos_;
    return Step::done;
  }
  const auto next = static_cast<unsigned char>(buf_[pos_ + 1]);
  if (next == '[') return parse_csi(out, force);
  if (next == ']') return parse_osc(out, force);
  if (next == 'O') {
    if (pos_ + 2 >= buf_.size()) {
      if (!force) return Step::incomplete;
      out.emplace_back(key("alt+O", ""));
      pos_ += 2;
      return Step::done;
    }
    const char final = buf_[pos_ + 2];
    if (const char* name = letter_key(final)) {
      out.emplace_back(key(name));
      pos_ += 3;
    } else if (final == 'M') {
      out.emplace_back(key("enter"));
      pos_ += 3;
    } else {
      // Not an SS3 key: read it as alt+O and parse the next byte on its own.
      out.emplace_back(key("alt+O"));
      pos_ += 2;
    }
    return Step::done;
  }
  if (next == ESC) {
    out.emplace_back(key("escape"));
    ++pos_;
    return Step::done;
  }
  if (next < 0x20 || next == 0x7f) {
    out.emplace_back(key("alt+" + control_key(next).key));
    pos_ += 2;
    return Step::done;
  }
  return parse_text(out, force, true);
}

InputParser::Step InputParser::parse_csi(std::vector<InputEvent>& out, bool force) {
  const std::size_t start = pos_ + 2;
  std::size_t i = start;
  while (i < buf_.size()) {
    const auto c = static_cast<unsigned char>(buf_[i]);
    if (c >= 0x40 && c <= 0x7e) break;                  // final byte
    if (c < 0x20 || c > 0x3f || i - start > MAX_CSI) {  // not part of a CSI sequence
      pos_ = i;  // drop the broken introducer and parameters; reparse the offending byte
      return Step::done;
    }
    ++i;
  }
  if (i >= buf_.size()) {
    if (!force) return Step::incomplete;
    pos_ = buf_.size();
    return Step::done;
  }
  const std::string_view params = std::string_view(buf_).substr(start, i - start);
  const char final = buf_[i];
  if (final == 'M' && params.empty()) {
    // A terminal that ignored SGR mouse mode reports X10 style: three raw bytes follow.
    if (i + 3 >= buf_.size()) {
      if (!force) return Step::incomplete;
      pos_ = buf_.size();
      return Step::done;
    }
    const int b = static_cast<unsigned char>(buf_[i + 1]) - 32;
    const int x = static_cast<unsigned char>(buf_[i + 2]) - 32;
    const int y = static_cast<unsigned char>(buf_[i + 3]) - 32;
    pos_ = i + 4;
    // X10 reports a release as button 3, without saying which button it was.
    const bool release = (b & 3) == 3 && !(b & 64) && !(b & 32);
    MouseEvent m = mouse_event(std::max(b, 0), x, y, release);
    if (release) m.button = MouseButton::none;
    out.emplace_back(m);
    return Step::done;
  }
  pos_ = i + 1;

  if ((final == 'M' || final == 'm') && !params.empty() && params[0] == '<') {
    const std::vector<int> n = numbers(params.substr(1));
    if (n.size() == 3) out.emplace_back(mouse_event(n[0], n[1], n[2], final == 'm'));
    return Step::done;
  }
  if (final == 'y' && params.size() > 2 && params.front() == '?' && params.back() == '$') {
    const std::vector<int> n = numbers(params.substr(1, params.size() - 2));
    if (n.size() == 2) mode_reports_.push_back({n[0], n[1]});
    return Step::done;
  }
  if (final == 'u' && !params.empty() && params.front() == '?') {
    kitty_flags_ = numbers(params.substr(1)).front();  // the keyboard protocol is there
    return Step::done;
  }
  if (!params.empty() && (params[0] < '0' || params[0] > ';')) return Step::done;  // private
  if (final == 'u') {
    const std::vector<int> n = leading_numbers(params);
    if (const auto k = extended_key(n[0], n.size() > 1 ? n[1] : 1)) out.emplace_back(*k);
    return Step::done;
  }
  const std::vector<int> n = numbers(params);
  const int mod = n.size() > 1 ? n[1] : 0;
  if (final == '~' && n[0] == 27 && n.size() == 3) {  // modifyOtherKeys
    if (const auto k = extended_key(n[2], n[1])) out.emplace_back(*k);
    return Step::done;
  }
  if (final == '~') {
    if (n[0] == 200) {
      in_paste_ = true;
      return Step::done;
    }
    if (const char* name = tilde_key(n[0])) out.emplace_back(key(modifier_prefix(mod) + name));
    return Step::done;
  }
  if ((final == 'I' || final == 'O') && params.empty()) {
    using Kind = TerminalReport::Kind;
    terminal_reports_.push_back({final == 'I' ? Kind::focus_in : Kind::focus_out, {}});
    return Step::done;
  }
  if (final == 'Z') {
    out.emplace_back(key("shift+tab"));
    return Step::done;
  }
  if (const char* name = letter_key(final)) out.emplace_back(key(modifier_prefix(mod) + name));
  return Step::done;
}

}  // namespace termui
