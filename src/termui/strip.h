#pragma once
// A Strip is one row of a widget: segments plus their length in cells. A value type whose row
// is immutable and shared, so that copying a strip (a log redrawing lines it drew before, the
// compositor keeping what it painted) costs a reference count, not the segments.
//
// A long log keeps hundreds of thousands of rows, so a row is stored packed in one allocation:
// a 16-byte header, each segment's end in the text and its style (a 2-byte number in a table
// of the styles seen, shared by every row), then the text. Painting, comparing and text()
// read that directly; line() and segments() build the row as a styled::Line the first time
// they are asked, kept while the row lives.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "styled/segment.h"

namespace termui {

namespace strip_styles {
// Numbers for styles, one per distinct style, never reused; WIDE when the table is full.
inline constexpr std::uint16_t WIDE = 0xffff;
[[nodiscard]] std::uint16_t number(const styled::Style& style);
// The style with `number`, as returned by number() (in this or any other thread).
[[nodiscard]] const styled::Style& style(std::uint16_t number);
}  // namespace strip_styles

class Strip {
 public:
  Strip() = default;
  explicit Strip(const std::vector<styled::Segment>& segments);
  explicit Strip(const styled::Line& line);
  Strip(const Strip& other) noexcept : rep_(other.rep_) { retain(); }
  Strip(Strip&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  Strip& operator=(const Strip& other) noexcept;
  Strip& operator=(Strip&& other) noexcept;
  ~Strip() { release(); }

  [[nodiscard]] const std::vector<styled::Segment>& segments() const { return line().segments; }
  [[nodiscard]] int cell_length() const { return rep_ ? static_cast<int>(rep_->cells) : 0; }
  // The concatenation of the segments' texts.
  [[nodiscard]] std::string text() const;
  [[nodiscard]] const styled::Line& line() const;
  [[nodiscard]] std::size_t segment_count() const { return rep_ ? rep_->count() : 0; }
  // Calls fn(std::string_view text, const styled::Style& style) for each segment, in order.
  template <typename Fn>
  void for_each_segment(Fn&& fn) const {
    if (!rep_) return;
    const std::uint32_t n = rep_->count();
    const std::uint32_t* ends = rep_->ends();
    const char* text = rep_->text();
    std::uint32_t begin = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      fn(std::string_view(text + begin, ends[i] - begin), rep_->style(i));
      begin = ends[i];
    }
  }

  // Asks the processor to fetch the row's header, which a copy or a release writes: a loop
  // copying or dropping thousands of rows calls this a few rows ahead, so that their cache
  // misses overlap instead of coming one after the other.
  void prefetch() const { __builtin_prefetch(rep_, 1); }

  // Cut to at most `width` cells / padded with spaces in `style` to at least `width` cells.
  [[nodiscard]] Strip crop(int width) const;
  [[nodiscard]] Strip pad(int width, const styled::Style& style = {}) const;

  // The same segments (texts and styles) in the same order.
  friend bool operator==(const Strip& a, const Strip& b);

 private:
  // Header, then ends[count] (uint32), then the styles (uint16 numbers, or whole Styles when
  // one of them had no number), then the text.
  struct Rep {
    static constexpr std::uint32_t WIDE_STYLES = 1u << 31;  // styles stored whole
    static constexpr std::uint32_t HAS_LINE = 1u << 30;     // line() was built for it
    static constexpr std::uint32_t COUNT = HAS_LINE - 1;

    std::atomic<std::uint32_t> refs{1};
    std::uint32_t cells = 0;
    std::atomic<std::uint32_t> flags_count{0};
    std::uint32_t bytes = 0;  // text

    [[nodiscard]] std::uint32_t count() const {
      return flags_count.load(std::memory_order_relaxed) & COUNT;
    }
    [[nodiscard]] bool wide() const {
      return (flags_count.load(std::memory_order_relaxed) & WIDE_STYLES) != 0;
    }
    [[nodiscard]] const std::uint32_t* ends() const {
      return reinterpret_cast<const std::uint32_t*>(this + 1);
    }
    [[nodiscard]] const unsigned char* styles() const {
      return reinterpret_cast<const unsigned char*>(ends() + count());
    }
    [[nodiscard]] styled::Style style(std::uint32_t i) const {
      if (wide()) {
        styled::Style s;
        __builtin_memcpy(&s, styles() + i * sizeof(styled::Style), sizeof(styled::Style));
        return s;
      }
      std::uint16_t number;
      __builtin_memcpy(&number, styles() + i * sizeof(number), sizeof(number));
      return strip_styles::style(number);
    }
    [[nodiscard]] const char* text() const {
      return reinterpret_cast<const char*>(styles()) +
             count() * (wide() ? sizeof(styled::Style) : sizeof(std::uint16_t));
    }
  };

  void retain() const {
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release();
  [[nodiscard]] styled::Line unpacked() const;
  void assign(const styled::Segment* first, std::size_t count, std::size_t cells);

  Rep* rep_ = nullptr;  // null for the empty strip
};

}  // namespace termui
