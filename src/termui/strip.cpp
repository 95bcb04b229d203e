#include "termui/strip.h"

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace termui {

namespace strip_styles {
namespace {

using Key = std::array<unsigned char, sizeof(styled::Style)>;

struct KeyHash {
  std::size_t operator()(const Key& k) const noexcept {
    std::size_t h = 1469598103934665603ull;
    for (unsigned char c : k) h = (h ^ c) * 1099511628211ull;
    return h;
  }
};

constexpr std::size_t BLOCK = 256;
constexpr std::size_t BLOCKS = (std::size_t{WIDE} + BLOCK - 1) / BLOCK;

// Styles by number, in blocks that are never moved or freed, so that a number read from a row
// always finds its style without a lock.
struct Table {
  std::mutex mutex;
  std::unordered_map<Key, std::uint16_t, KeyHash> numbers;
  std::array<std::atomic<styled::Style*>, BLOCKS> blocks{};
};

Table& table() {
  static Table* const t = new Table;  // lives as long as any row may
  return *t;
}

}  // namespace

std::uint16_t number(const styled::Style& style) {
  Key key;
  std::memcpy(key.data(), &style, key.size());
  Table& t = table();
  const std::lock_guard lock(t.mutex);
  if (const auto it = t.numbers.find(key); it != t.numbers.end()) return it->second;
  const std::size_t next = t.numbers.size();
  if (next >= WIDE) return WIDE;
  styled::Style* block = t.blocks[next / BLOCK].load(std::memory_order_relaxed);
  if (block == nullptr) {
    block = new styled::Style[BLOCK];
    t.blocks[next / BLOCK].store(block, std::memory_order_release);
  }
  block[next % BLOCK] = style;
  t.numbers.emplace(key, static_cast<std::uint16_t>(next));
  return static_cast<std::uint16_t>(next);
}

const styled::Style& style(std::uint16_t number) {
  return table().blocks[number / BLOCK].load(std::memory_order_acquire)[number % BLOCK];
}

}  // namespace strip_styles

namespace {

const styled::Line& empty_line() {
  static const styled::Line empty;
  return empty;
}

// The lines built for rows by line(), which few rows ever need (a selection's rows, tests).
struct BuiltLines {
  std::mutex mutex;
  std::unordered_map<const void*, std::unique_ptr<const styled::Line>> by_row;
};

BuiltLines& built_lines() {
  static BuiltLines* const b = new BuiltLines;
  return *b;
}

}  // namespace

Strip::Strip(const std::vector<styled::Segment>& segments) {
  std::size_t cells = 0;
  for (const auto& s : segments) cells += s.cell_length();
  assign(segments.data(), segments.size(), cells);
}

Strip::Strip(const styled::Line& line) {
  assign(line.segments.data(), line.segments.size(), line.cells);
}

void Strip::assign(const styled::Segment* first, std::size_t count, std::size_t cells) {
  std::size_t bytes = 0;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    bytes += first[i].text.size();
    kept += first[i].text.empty() ? 0 : 1;
  }
  if (kept == 0) return;  // nothing to draw: the empty strip
  if (bytes > std::numeric_limits<std::uint32_t>::max() || kept > Rep::COUNT) {
    throw std::length_error("row too long");
  }
  // Numbered styles where every style has a number, else whole ones.
  std::vector<std::uint16_t> numbers;
  numbers.reserve(kept);
  bool wide = false;
  for (std::size_t i = 0; i < count && !wide; ++i) {
    if (first[i].text.empty()) continue;
    numbers.push_back(strip_styles::number(first[i].style));
    wide = numbers.back() == strip_styles::WIDE;
  }
  const std::size_t style_bytes = kept * (wide ? sizeof(styled::Style) : sizeof(std::uint16_t));
  void* block = ::operator new(sizeof(Rep) + kept * sizeof(std::uint32_t) + style_bytes + bytes);
  rep_ = new (block) Rep;
  rep_->cells = static_cast<std::uint32_t>(cells);
  rep_->flags_count.store(static_cast<std::uint32_t>(kept) | (wide ? Rep::WIDE_STYLES : 0),
                          std::memory_order_relaxed);
  rep_->bytes = static_cast<std::uint32_t>(bytes);
  auto* ends = const_cast<std::uint32_t*>(rep_->ends());
  auto* styles = const_cast<unsigned char*>(rep_->styles());
  char* text = const_cast<char*>(rep_->text());
  std::uint32_t end = 0;
  std::size_t k = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const styled::Segment& s = first[i];
    if (s.text.empty()) continue;  // draws nothing; a segment list never needs one
    std::memcpy(text + end, s.text.data(), s.text.size());
    end += static_cast<std::uint32_t>(s.text.size());
    std::memcpy(ends + k, &end, sizeof end);
    if (wide) {
      std::memcpy(styles + k * sizeof(styled::Style), &s.style, sizeof(styled::Style));
    } else {
      std::memcpy(styles + k * sizeof(std::uint16_t), &numbers[k], sizeof(std::uint16_t));
    }
    ++k;
  }
}

Strip& Strip::operator=(const Strip& other) noexcept {
  if (rep_ != other.rep_) {
    other.retain();
    release();
    rep_ = other.rep_;
  }
  return *this;
}

Strip& Strip::operator=(Strip&& other) noexcept {
  if (this != &other) {
    release();
    rep_ = other.rep_;
    other.rep_ = nullptr;
  }
  return *this;
}

void Strip::release() {
  if (rep_ == nullptr) return;
  if (rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    if ((rep_->flags_count.load(std::memory_order_acquire) & Rep::HAS_LINE) != 0) {
      BuiltLines& b = built_lines();
      const std::lock_guard lock(b.mutex);
      b.by_row.erase(rep_);
    }
    rep_->~Rep();
    ::operator delete(static_cast<void*>(rep_));
  }
  rep_ = nullptr;
}

std::string Strip::text() const {
  return rep_ ? std::string(rep_->text(), rep_->bytes) : std::string();
}

styled::Line Strip::unpacked() const {
  styled::Line out;
  out.segments.reserve(segment_count());
  for_each_segment([&](std::string_view text, const styled::Style& style) {
    out.segments.push_back(styled::Segment{std::string(text), style});
  });
  out.cells = static_cast<std::size_t>(cell_length());
  return out;
}

const styled::Line& Strip::line() const {
  if (rep_ == nullptr) return empty_line();
  BuiltLines& b = built_lines();
  const std::lock_guard lock(b.mutex);
  auto& built = b.by_row[rep_];
  if (!built) {
    built = std::make_unique<const styled::Line>(unpacked());
    rep_->flags_count.fetch_or(Rep::HAS_LINE, std::memory_order_release);
  }
  return *built;
}

bool operator==(const Strip& a, const Strip& b) {
  if (a.rep_ == b.rep_) return true;
  if (a.segment_count() != b.segment_count() || a.cell_length() != b.cell_length()) return false;
  const Strip::Rep& x = *a.rep_;
  const Strip::Rep& y = *b.rep_;
  if (x.bytes != y.bytes || std::memcmp(x.text(), y.text(), x.bytes) != 0) return false;
  for (std::uint32_t i = 0; i < x.count(); ++i) {
    if (x.ends()[i] != y.ends()[i] || !(x.style(i) == y.style(i))) return false;
  }
  return true;
}

Strip Strip::crop(int width) const {
  const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (static_cast<std::size_t>(cell_length()) <= w) return *this;
  styled::Line cut = unpacked();
  styled::crop_line(cut, w);
  return Strip(cut);
}

Strip Strip::pad(int width, const styled::Style& style) const {
  const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (static_cast<std::size_t>(cell_length()) >= w) return *this;
  styled::Line padded = unpacked();
  styled::pad_line(padded, w, style);
  return Strip(padded);
}

}  // namespace termui
