#include "termui/strip.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace termui {
namespace {

const styled::Line& empty_line() {
  static const styled::Line empty;
  return empty;
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
  if (bytes > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("row too long");
  void* block = ::operator new(sizeof(Rep) + kept * sizeof(Piece) + bytes);
  rep_ = new (block) Rep;
  rep_->cells = static_cast<std::uint32_t>(cells);
  rep_->count = static_cast<std::uint32_t>(kept);
  rep_->bytes = static_cast<std::uint32_t>(bytes);
  auto* pieces = const_cast<Piece*>(rep_->pieces());
  char* text = const_cast<char*>(rep_->text());
  std::uint32_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const styled::Segment& s = first[i];
    if (s.text.empty()) continue;  // draws nothing; a segment list never needs one
    std::memcpy(text + end, s.text.data(), s.text.size());
    end += static_cast<std::uint32_t>(s.text.size());
    new (pieces++) Piece{end, s.style};
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
    delete rep_->line.load(std::memory_order_acquire);
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
  if (const styled::Line* built = rep_->line.load(std::memory_order_acquire)) return *built;
  auto* built = new styled::Line(unpacked());
  const styled::Line* expected = nullptr;
  if (!rep_->line.compare_exchange_strong(expected, built, std::memory_order_acq_rel)) {
    delete built;  // another thread built it first
    return *expected;
  }
  return *built;
}

bool operator==(const Strip& a, const Strip& b) {
  if (a.rep_ == b.rep_) return true;
  if (a.segment_count() != b.segment_count() || a.cell_length() != b.cell_length()) return false;
  const Strip::Rep& x = *a.rep_;
  const Strip::Rep& y = *b.rep_;
  if (x.bytes != y.bytes || std::memcmp(x.text(), y.text(), x.bytes) != 0) return false;
  for (std::uint32_t i = 0; i < x.count; ++i) {
    if (x.pieces()[i].end != y.pieces()[i].end || !(x.pieces()[i].style == y.pieces()[i].style)) {
      return false;
    }
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
