// Feeds arbitrary bytes to the input parser in arbitrary pieces (the first bytes choose where
// the reads split), with timeouts between some of them, and checks what comes out: every key
// has a name, pastes and typed characters are valid UTF-8, mouse cells are not negative, and
// writing any of the text into cells never leaves a control character in a cell.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "termui/cell_buffer.h"
#include "termui/input_parser.h"
#include "unicode/utf8.h"

namespace {

bool has_control(std::string_view s) {
  bool bad = false;
  unicode::for_each_cp(s, [&](char32_t cp, std::size_t, std::size_t) {
    bad = bad || cp < 0x20 || (cp >= 0x7f && cp < 0xa0);
  });
  return bad;
}

void check(const std::vector<termui::InputEvent>& events, termui::CellBuffer& cells) {
  for (const auto& e : events) {
    if (const auto* k = std::get_if<termui::KeyEvent>(&e)) {
      if (k->key.empty() || !unicode::is_valid(k->key) || !unicode::is_valid(k->character)) {
        std::abort();
      }
      cells.put_text(0, 0, k->character, {}, cells.width());
    } else if (const auto* p = std::get_if<termui::PasteEvent>(&e)) {
      if (!unicode::is_valid(p->text)) std::abort();
      cells.put_text(-1, 1, p->text, {}, cells.width());
    } else {
      const auto& m = std::get<termui::MouseEvent>(e);
      if (m.screen_x < 0 || m.screen_y < 0) std::abort();
    }
  }
  for (int y = 0; y < cells.height(); ++y) {
    for (int x = 0; x < cells.width(); ++x) {
      const termui::Cell& c = cells.at(x, y);
      if (has_control(c.text) || (c.width == 0 && !c.text.empty())) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t step = 1 + data[0] % 16;
  const bool timeouts = data[1] & 1;
  std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  termui::InputParser parser;
  termui::CellBuffer cells({12, 2});
  const auto t0 = termui::InputParser::Clock::time_point{};
  int n = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += step, ++n) {
    const auto now = t0 + std::chrono::milliseconds(n * 10);
    check(parser.feed(bytes.substr(pos, step), now), cells);
    if (timeouts && n % 3 == 0) check(parser.flush(now + termui::InputParser::ESC_TIMEOUT), cells);
  }
  check(parser.flush({}, true), cells);
  return 0;
}
