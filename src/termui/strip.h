#pragma once
// A Strip is one row of a widget: segments plus their length in cells. A value type whose row
// is immutable and shared, so that copying a strip (a log redrawing lines it drew before, the
// compositor keeping what it painted) costs a reference count, not the segments.
//
// A long log keeps tens of thousands of rows, so a row is stored packed in one allocation: a
// small header, each segment's style and end, then the text. Painting, comparing and text()
// read that directly; line() and segments() build the row as a styled::Line the first time
// they are asked and keep it with the row.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "styled/segment.h"

namespace termui {

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
  [[nodiscard]] std::size_t segment_count() const { return rep_ ? rep_->count : 0; }
  // Calls fn(std::string_view text, const styled::Style& style) for each segment, in order.
  template <typename Fn>
  void for_each_segment(Fn&& fn) const {
    if (!rep_) return;
    const Piece* pieces = rep_->pieces();
    const char* text = rep_->text();
    std::uint32_t begin = 0;
    for (std::uint32_t i = 0; i < rep_->count; ++i) {
      fn(std::string_view(text + begin, pieces[i].end - begin), pieces[i].style);
      begin = pieces[i].end;
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
  struct Piece {
    std::uint32_t end;  // byte offset of the segment's end in the text
    styled::Style style;
  };
  struct Rep {
    std::atomic<std::uint32_t> refs{1};
    std::uint32_t cells = 0;
    std::uint32_t count = 0;                         // segments
    std::uint32_t bytes = 0;                         // text
    std::atomic<const styled::Line*> line{nullptr};  // built on first use

    [[nodiscard]] const Piece* pieces() const { return reinterpret_cast<const Piece*>(this + 1); }
    [[nodiscard]] const char* text() const {
      return reinterpret_cast<const char*>(pieces() + count);
    }
  };
  static_assert(alignof(Piece) <= alignof(Rep));

  void retain() const {
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release();
  [[nodiscard]] styled::Line unpacked() const;
  void assign(const styled::Segment* first, std::size_t count, std::size_t cells);

  Rep* rep_ = nullptr;  // null for the empty strip
};

}  // namespace termui
