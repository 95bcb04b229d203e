#include "host/config/toml_depth.h"

#include <fmt/format.h>

#include <vector>

#include "host/config/host_config.h"

namespace host::config {

namespace {

// Reads the text as TOML's lexical structure only: strings and comments are skipped, dots are
// counted while a key is being read, brackets and braces are stacked while a value is.
class DepthScan {
 public:
  DepthScan(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  void run() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        newline();
      } else if (c == '#') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        continue;
      } else if (c == '"' || c == '\'') {
        skip_string(c);
        continue;
      } else if (in_key_) {
        key_char(c);
      } else {
        value_char(c);
      }
      ++pos_;
    }
  }

 private:
  [[noreturn]] void too_deep() const {
    throw ConfigError(fmt::format("{}:{}:{}: keys and tables nest deeper than {} levels", source_,
                                  line_, pos_ - line_start_ + 1, kMaxTomlDepth));
  }

  void check(int depth) const {
    if (depth > kMaxTomlDepth) too_deep();
  }

  void newline() {
    ++line_;
    line_start_ = pos_ + 1;
    // A line break ends a key and a value, but not an array written over several lines.
    if (open_.empty() || open_.back() == '{') {
      in_key_ = open_.empty() || open_.back() == '{';
      key_depth_ = 1;
    }
  }

  void key_char(char c) {
    if (c == '.') {
      check(static_cast<int>(open_.size()) + ++key_depth_);
    } else if (c == '=') {
      in_key_ = false;
      key_depth_ = 1;
    }
    // Brackets here belong to a table header, [a.b] or [[a.b]], whose dots count as a key's.
  }

  void value_char(char c) {
    if (c == '[' || c == '{') {
      open_.push_back(c);
      check(static_cast<int>(open_.size()) + key_depth_);
      in_key_ = c == '{';
      key_depth_ = 1;
    } else if ((c == ']' || c == '}') && !open_.empty()) {
      open_.pop_back();
    } else if (c == ',' && !open_.empty() && open_.back() == '{') {
      in_key_ = true;
      key_depth_ = 1;
    }
  }

  void skip_string(char quote) {
    const std::string_view triple = quote == '"' ? "\"\"\"" : "'''";
    const bool multi = text_.substr(pos_, 3) == triple;
    pos_ += multi ? 3 : 1;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\\' && quote == '"') {
        pos_ += 2;
      } else if (c == quote && (!multi || text_.substr(pos_, 3) == triple)) {
        pos_ += multi ? 3 : 1;
        return;
      } else if (c == '\n') {
        if (!multi) return;  // an unterminated string: the parser reports it
        ++line_;
        line_start_ = ++pos_;
      } else {
        ++pos_;
      }
    }
  }

  std::string_view text_;
  std::string_view source_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t line_start_ = 0;
  bool in_key_ = true;
  int key_depth_ = 1;
  std::vector<char> open_;  // the arrays and inline tables the scan is inside
};

}  // namespace

void check_toml_depth(std::string_view text, std::string_view source) {
  DepthScan(text, source).run();
}

}  // namespace host::config
