#include "host/acp/chunk_line.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace host::acp {
namespace {

// Deeper values go to the full parser, which says how deep is too deep.
constexpr int kMaxQuickDepth = 200;
// Longer numbers go to the full parser, which converts them (and reports an overflow).
constexpr std::size_t kMaxQuickNumberBytes = 300;

// Bytes a string holds as they are: ASCII but control characters, the quote and the backslash.
constexpr auto kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

// Where the run of plain bytes from `p` ends. Eight bytes at a time while none of them is a
// quote, a backslash, a control character or beyond ASCII (the word tests below may also stop
// early, never late); then byte by byte.
std::size_t plain_run_end(std::string_view s, std::size_t p) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighs = 0x8080808080808080;
  const auto has_zero = [](std::uint64_t v) { return (v - kOnes) & ~v; };
  while (p + 8 <= s.size()) {
    std::uint64_t x = 0;
    std::memcpy(&x, s.data() + p, 8);
    const std::uint64_t special =
        has_zero(x ^ (kOnes * '"')) | has_zero(x ^ (kOnes * '\\')) | (x - kOnes * 0x20) | x;
    if ((special & kHighs) != 0) break;
    p += 8;
  }
  while (p < s.size() && kPlainBytes[static_cast<unsigned char>(s[p])]) ++p;
  return p;
}

void append_code_point(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// One pass over a line. Every member function returns false when the line is not what this
// reader accepts; the caller then leaves the line to the full parser.
class ChunkScanner {
 public:
  explicit ChunkScanner(std::string_view s) : s_(s) {}

  std::optional<TextChunk> read() {
    skip_space();
    if (!at('{') || !object([this](std::string_view key) { return top_member(key); }, 1)) {
      return std::nullopt;
    }
    skip_space();
    const unsigned needed = kContent | kText;
    if (p_ != s_.size() || !method_ok_ || (seen_ & needed) != needed || !text_type_) {
      return std::nullopt;
    }
    TextChunk chunk;
    if (kind_ == Kind::answer) {
      chunk.kind = TextChunk::Kind::answer;
    } else if (kind_ == Kind::thought) {
      chunk.kind = TextChunk::Kind::thought;
    } else {
      return std::nullopt;
    }
    chunk.text = std::move(text_);
    return chunk;
  }

 private:
  // Seen-once flags for the members this reader takes: a second one (which the full parser
  // lets win) is left to it.
  enum Seen : unsigned {
    kMethod = 1,
    kId = 2,
    kParams = 4,
    kUpdate = 8,
    kKind = 16,
    kContent = 32,
    kType = 64,
    kText = 128
  };

  bool first_time(Seen which) {
    if ((seen_ & which) != 0) return false;
    seen_ |= which;
    return true;
  }

  bool top_member(std::string_view key) {
    if (key == "method") {
      std::string_view method;
      if (!first_time(kMethod) || !at('"') || !word(method)) return false;
      method_ok_ = method == "session/update";
      return true;
    }
    // A request (an id that is not null) is answered, so it takes the full road.
    if (key == "id") return first_time(kId) && literal("null");
    if (key == "params") {
      return first_time(kParams) && at('{') &&
             object([this](std::string_view k) { return params_member(k); }, 2);
    }
    return value(1);
  }

  bool params_member(std::string_view key) {
    if (key == "update") {
      return first_time(kUpdate) && at('{') &&
             object([this](std::string_view k) { return update_member(k); }, 3);
    }
    return value(2);
  }

  bool update_member(std::string_view key) {
    if (key == "sessionUpdate") {
      std::string_view kind;
      if (!first_time(kKind) || !at('"') || !word(kind)) return false;
      kind_ = kind == "agent_message_chunk"   ? Kind::answer
              : kind == "agent_thought_chunk" ? Kind::thought
                                              : Kind::other;
      return true;
    }
    if (key == "content") {
      return first_time(kContent) && at('{') &&
             object([this](std::string_view k) { return content_member(k); }, 4);
    }
    return value(3);
  }

  bool content_member(std::string_view key) {
    if (key == "type") {
      std::string_view type;
      if (!first_time(kType) || !at('"') || !word(type)) return false;
      text_type_ = type == "text";
      return true;
    }
    if (key == "text") return first_time(kText) && at('"') && string(&text_);
    return value(4);
  }

  [[nodiscard]] bool at(char c) const { return p_ < s_.size() && s_[p_] == c; }

  void skip_space() {
    if (p_ < s_.size() && static_cast<unsigned char>(s_[p_]) > ' ') return;  // the usual case
    while (p_ < s_.size()) {
      const char c = s_[p_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
      ++p_;
    }
  }

  // At '{': the members, each handed to `member` with the parser at its value.
  template <typename Member>
  bool object(Member&& member, int depth) {
    if (depth > kMaxQuickDepth) return false;
    ++p_;
    skip_space();
    if (at('}')) {
      ++p_;
      return true;
    }
    std::string_view key;
    for (;;) {
      skip_space();
      if (!at('"') || !word(key)) return false;
      skip_space();
      if (!at(':')) return false;
      ++p_;
      skip_space();
      if (!member(key)) return false;
      skip_space();
      if (at(',')) {
        ++p_;
        continue;
      }
      if (!at('}')) return false;
      ++p_;
      return true;
    }
  }

  // Any value, checked and passed over.
  bool value(int depth) {
    if (p_ >= s_.size()) return false;
    switch (s_[p_]) {
      case '{':
        return object([this, depth](std::string_view) { return value(depth + 1); }, depth + 1);
      case '[':
        return array(depth + 1);
      case '"':
        return string(nullptr);
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default:
        return number();
    }
  }

  bool array(int depth) {
    if (depth > kMaxQuickDepth) return false;
    ++p_;
    skip_space();
    if (at(']')) {
      ++p_;
      return true;
    }
    for (;;) {
      skip_space();
      if (!value(depth)) return false;
      skip_space();
      if (at(',')) {
        ++p_;
        continue;
      }
      if (!at(']')) return false;
      ++p_;
      return true;
    }
  }

  bool literal(std::string_view word) {
    if (s_.substr(p_, word.size()) != word) return false;
    p_ += word.size();
    return true;
  }

  bool digits() {
    const std::size_t start = p_;
    while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
    return p_ > start;
  }

  bool number() {
    const std::size_t start = p_;
    if (at('-')) ++p_;
    if (at('0')) {
      ++p_;
    } else if (p_ >= s_.size() || s_[p_] < '1' || s_[p_] > '9' || !digits()) {
      return false;
    }
    if (at('.')) {
      ++p_;
      if (!digits()) return false;
    }
    if (at('e') || at('E')) return false;
    return p_ - start <= kMaxQuickNumberBytes;
  }

  bool hex4(std::uint32_t& out) {
    if (s_.size() - p_ < 4) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[p_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        out |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        out |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  // After a backslash.
  bool escape(std::string* out) {
    if (p_ >= s_.size()) return false;
    const char e = s_[p_++];
    char plain = 0;
    switch (e) {
      case '"':
      case '\\':
      case '/':
        plain = e;
        break;
      case 'b':
        plain = '\b';
        break;
      case 'f':
        plain = '\f';
        break;
      case 'n':
        plain = '\n';
        break;
      case 'r':
        plain = '\r';
        break;
      case 't':
        plain = '\t';
        break;
      case 'u': {
        std::uint32_t cp = 0;
        if (!hex4(cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return false;  // a low surrogate alone
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          std::uint32_t low = 0;
          if (s_.substr(p_, 2) != "\\u") return false;
          p_ += 2;
          if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        if (out) append_code_point(*out, cp);
        return true;
      }
      default:
        return false;
    }
    if (out) *out += plain;
    return true;
  }

  // The length of the well-formed UTF-8 sequence of two to four bytes at p_, or 0.
  [[nodiscard]] std::size_t utf8_length() const {
    const auto byte = [this](std::size_t i) {
      return p_ + i < s_.size() ? static_cast<unsigned char>(s_[p_ + i]) : 0u;
    };
    const auto tail = [](unsigned b) { return b >= 0x80 && b <= 0xBF; };
    const unsigned b0 = byte(0);
    const unsigned b1 = byte(1);
    if (b0 >= 0xC2 && b0 <= 0xDF) return tail(b1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
      const bool second = b0 == 0xE0   ? (b1 >= 0xA0 && b1 <= 0xBF)
                          : b0 == 0xED ? (b1 >= 0x80 && b1 <= 0x9F)
                                       : tail(b1);
      return second && tail(byte(2)) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
      const bool second = b0 == 0xF0   ? (b1 >= 0x90 && b1 <= 0xBF)
                          : b0 == 0xF4 ? (b1 >= 0x80 && b1 <= 0x8F)
                                       : tail(b1);
      return second && tail(byte(2)) && tail(byte(3)) ? 4 : 0;
    }
    return 0;
  }

  // At '"': a string to compare, as it stands in the line when it has no escapes (the usual
  // case), else decoded into `scratch_`, which the next word with escapes overwrites: compare it
  // before reading on.
  bool word(std::string_view& out) {
    const std::size_t start = p_ + 1;
    const std::size_t end = plain_run_end(s_, start);
    if (end < s_.size() && s_[end] == '"') {
      out = s_.substr(start, end - start);
      p_ = end + 1;
      return true;
    }
    scratch_.clear();
    if (!string(&scratch_)) return false;
    out = scratch_;
    return true;
  }

  // At '"': the string, decoded into `out` when given.
  bool string(std::string* out) {
    ++p_;
    for (;;) {
      const std::size_t run = p_;
      p_ = plain_run_end(s_, p_);
      if (out) out->append(s_.data() + run, p_ - run);
      if (p_ >= s_.size()) return false;
      const auto c = static_cast<unsigned char>(s_[p_]);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c == '\\') {
        ++p_;
        if (!escape(out)) return false;
        continue;
      }
      const std::size_t len = utf8_length();  // 0 for control characters too
      if (len == 0) return false;
      if (out) out->append(s_.data() + p_, len);
      p_ += len;
    }
  }

  std::string_view s_;
  std::size_t p_ = 0;
  unsigned seen_ = 0;
  bool method_ok_ = false;
  enum class Kind { other, answer, thought };
  Kind kind_ = Kind::other;
  bool text_type_ = false;
  std::string scratch_;  // a word with escapes, decoded
  std::string text_;
};

}  // namespace

std::optional<TextChunk> read_chunk_line(std::string_view line) {
  return ChunkScanner(line).read();
}

}  // namespace host::acp
