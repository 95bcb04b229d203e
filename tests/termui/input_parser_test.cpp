#include "termui/input_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace termui {
namespace {

using namespace std::chrono_literals;

std::string describe(const InputEvent& e) {
  if (const auto* k = std::get_if<KeyEvent>(&e)) return "key:" + k->key;
  if (const auto* p = std::get_if<PasteEvent>(&e)) return "paste:" + p->text;
  const auto& m = std::get<MouseEvent>(e);
  static const char* ACTIONS[] = {"down",       "up",         "move",       "wheel_up",
                                  "wheel_down", "wheel_left", "wheel_right"};
  static const char* BUTTONS[] = {"none", "left", "middle", "right"};
  std::string s = std::string("mouse:") + ACTIONS[static_cast<int>(m.action)] + ":" +
                  BUTTONS[static_cast<int>(m.button)] + "@" + std::to_string(m.screen_x) + "," +
                  std::to_string(m.screen_y);
  if (m.shift) s += "+shift";
  if (m.ctrl) s += "+ctrl";
  if (m.meta) s += "+meta";
  return s;
}

std::vector<std::string> describe_all(const std::vector<InputEvent>& events) {
  std::vector<std::string> out;
  for (const auto& e : events) out.push_back(describe(e));
  return out;
}

// Parses the whole input at once and then resolves anything held, as a quiet terminal would.
std::vector<std::string> parse_all(std::string_view bytes) {
  InputParser p;
  auto events = p.feed(bytes);
  auto rest = p.flush({}, true);
  events.insert(events.end(), rest.begin(), rest.end());
  return describe_all(events);
}

struct Case {
  const char* name;
  std::string bytes;
  std::vector<std::string> expected;
};

class ParserTable : public ::testing::TestWithParam<Case> {};

TEST_P(ParserTable, parses_whole_input) {
  EXPECT_EQ(parse_all(GetParam().bytes), GetParam().expected);
}

// The same bytes fed one at a time must give the same events: sequences split anywhere.
TEST_P(ParserTable, parses_byte_by_byte) {
  InputParser p;
  std::vector<InputEvent> events;
  for (char c : GetParam().bytes) {
    auto got = p.feed(std::string_view(&c, 1));
    events.insert(events.end(), got.begin(), got.end());
  }
  auto rest = p.flush({}, true);
  events.insert(events.end(), rest.begin(), rest.end());
  EXPECT_EQ(describe_all(events), GetParam().expected);
}

const Case CASES[] = {
    {"printable", "aZ1", {"key:a", "key:Z", "key:1"}},
    {"space", " ", {"key:space"}},
    {"utf8", "é中😀", {"key:é", "key:中", "key:😀"}},
    {"invalid_utf8_is_replacement",
     "\xff"
     "a",
     {"key:\xEF\xBF\xBD", "key:a"}},
    {"enter_tab_backspace", "\r\t\x7f", {"key:enter", "key:tab", "key:backspace"}},
    {"ctrl_letters",
     std::string("\x01\x03\x1a\x00", 4),
     {"key:ctrl+a", "key:ctrl+c", "key:ctrl+z", "key:ctrl+space"}},
    {"lone_escape", "\x1b", {"key:escape"}},
    {"double_escape", "\x1b\x1b", {"key:escape", "key:escape"}},
    {"alt_letter",
     "\x1b"
     "x",
     {"key:alt+x"}},
    {"alt_enter", "\x1b\r", {"key:alt+enter"}},
    {"arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {"key:up", "key:down", "key:right", "key:left"}},
    {"ss3_arrows_and_f1", "\x1bOA\x1bOP", {"key:up", "key:f1"}},
    {"home_end", "\x1b[H\x1b[F\x1b[1~\x1b[4~", {"key:home", "key:end", "key:home", "key:end"}},
    {"pages_insert_delete",
     "\x1b[5~\x1b[6~\x1b[2~\x1b[3~",
     {"key:pageup", "key:pagedown", "key:insert", "key:delete"}},
    {"function_keys", "\x1b[15~\x1b[21~\x1b[24~", {"key:f5", "key:f10", "key:f12"}},
    {"modified_arrows",
     "\x1b[1;5C\x1b[1;2A\x1b[3;5~",
     {"key:ctrl+right", "key:shift+up", "key:ctrl+delete"}},
    {"shift_tab", "\x1b[Z", {"key:shift+tab"}},
    {"mouse_press_release",
     "\x1b[<0;10;5M\x1b[<0;10;5m",
     {"mouse:down:left@9,4", "mouse:up:left@9,4"}},
    {"mouse_right_press", "\x1b[<2;1;1M", {"mouse:down:right@0,0"}},
    {"mouse_drag", "\x1b[<32;3;4M", {"mouse:move:left@2,3"}},
    {"mouse_motion_no_button", "\x1b[<35;3;4M", {"mouse:move:none@2,3"}},
    {"mouse_wheel",
     "\x1b[<64;7;8M\x1b[<65;7;8M",
     {"mouse:wheel_up:none@6,7", "mouse:wheel_down:none@6,7"}},
    {"mouse_modifiers", "\x1b[<20;1;1M", {"mouse:down:left@0,0+shift+ctrl"}},
    {"mouse_huge_coordinates_clamped", "\x1b[<0;99999999999;0M", {"mouse:down:left@99999,0"}},
    {"mouse_malformed_dropped", "\x1b[<0;5Mx", {"key:x"}},
    {"x10_mouse_press_release", "\x1b[M !%\x1b[M#!%", {"mouse:down:left@0,4", "mouse:up:none@0,4"}},
    {"paste", "\x1b[200~hello \x1b[A world\x1b[201~k", {"paste:hello \x1b[A world", "key:k"}},
    {"empty_paste", "\x1b[200~\x1b[201~", {"paste:"}},
    {"unknown_csi_dropped",
     "\x1b[99q"
     "a",
     {"key:a"}},
    {"focus_reports_dropped",
     "\x1b[I\x1b[O"
     "b",
     {"key:b"}},
    {"broken_csi_keeps_next_key", "\x1b[12\x01z", {"key:ctrl+a", "key:z"}},
    {"truncated_csi_at_end_dropped", "a\x1b[1;", {"key:a"}},
    // Extended keyboard reports: kitty's CSI code ; mods u and xterm's CSI 27 ; mods ; code ~.
    {"kitty_shift_enter_and_alt_enter",
     "\x1b[13;2u\x1b[13;3u\x1b[13u",
     {"key:shift+enter", "key:alt+enter", "key:enter"}},
    {"kitty_ctrl_letters_match_legacy_names",
     "\x1b[99;5u\x1b[119;5u",
     {"key:ctrl+c", "key:ctrl+w"}},
    {"kitty_escape_needs_no_timeout",
     "\x1b[27u"
     "a",
     {"key:escape", "key:a"}},
    {"kitty_shifted_alternate_and_text_fields",
     "\x1b[97:65;2u\x1b[120;3:1u",
     {"key:A", "key:alt+x"}},
    {"kitty_private_use_keys_dropped",
     "\x1b[57441;2u"
     "b",
     {"key:b"}},
    {"kitty_huge_code_dropped",
     "\x1b[99999999999u"
     "c",
     {"key:c"}},
    {"modify_other_keys_shift_enter",
     "\x1b[27;2;13~\x1b[27;5;9~",
     {"key:shift+enter", "key:ctrl+tab"}},
    {"keyboard_protocol_answer_is_not_a_key",
     "\x1b[?1u"
     "d",
     {"key:d"}},
};

INSTANTIATE_TEST_SUITE_P(Keys, ParserTable, ::testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InputParser, lone_escape_waits_for_timeout) {
  InputParser p;
  const auto t0 = InputParser::Clock::time_point{} + 1s;
  EXPECT_TRUE(p.feed("\x1b", t0).empty());
  ASSERT_TRUE(p.deadline().has_value());
  EXPECT_EQ(*p.deadline(), t0 + InputParser::ESC_TIMEOUT);
  EXPECT_TRUE(p.flush(t0 + 10ms).empty());
  EXPECT_EQ(describe_all(p.flush(t0 + InputParser::ESC_TIMEOUT)),
            std::vector<std::string>{"key:escape"});
  EXPECT_FALSE(p.deadline().has_value());
}

TEST(InputParser, sequence_completed_before_timeout_is_one_key) {
  InputParser p;
  const auto t0 = InputParser::Clock::time_point{} + 1s;
  EXPECT_TRUE(p.feed("\x1b[", t0).empty());
  EXPECT_EQ(describe_all(p.feed("A", t0 + 5ms)), std::vector<std::string>{"key:up"});
}

TEST(InputParser, paste_end_marker_split_across_reads) {
  InputParser p;
  const auto t0 = InputParser::Clock::time_point{} + 1s;
  EXPECT_TRUE(p.feed("\x1b[200~abc\x1b[2", t0).empty());
  EXPECT_TRUE(p.flush(t0 + 500ms).empty());  // the ESC timeout does not cut a paste
  EXPECT_EQ(describe_all(p.feed("01~", t0 + 600ms)), std::vector<std::string>{"paste:abc"});
}

TEST(InputParser, stray_paste_start_does_not_swallow_later_keys) {
  InputParser p;
  const auto t0 = InputParser::Clock::time_point{} + 1s;
  EXPECT_TRUE(p.feed("\x1b[200~ab", t0).empty());
  ASSERT_TRUE(p.deadline().has_value());
  EXPECT_EQ(*p.deadline(), t0 + InputParser::PASTE_TIMEOUT);
  EXPECT_EQ(describe_all(p.flush(t0 + InputParser::PASTE_TIMEOUT)),
            std::vector<std::string>{"paste:ab"});
  EXPECT_EQ(describe_all(p.feed("x", t0 + 2s)), std::vector<std::string>{"key:x"});
}

TEST(InputParser, ten_megabyte_paste_arrives_whole) {
  InputParser p;
  const std::string body(10 * 1024 * 1024, 'x');
  EXPECT_TRUE(p.feed("\x1b[200~").empty());
  std::vector<InputEvent> events;
  for (std::size_t i = 0; i < body.size(); i += 65536) {
    auto got = p.feed(std::string_view(body).substr(i, 65536));
    events.insert(events.end(), got.begin(), got.end());
  }
  auto got = p.feed("\x1b[201~q");
  events.insert(events.end(), got.begin(), got.end());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(std::get<PasteEvent>(events[0]).text.size(), body.size());
  EXPECT_EQ(std::get<KeyEvent>(events[1]).key, "q");
}

TEST(InputParser, paste_with_invalid_utf8_is_sanitized) {
  EXPECT_EQ(parse_all("\x1b[200~a\xffz\x1b[201~"),
            std::vector<std::string>{"paste:a\xEF\xBF\xBDz"});
}

}  // namespace
}  // namespace termui

namespace termui {
namespace {

// The answer to the grapheme-clustering query comes in among keys, possibly split: it is a
// report, never typed text.
TEST(InputParser, mode_reports_are_taken_apart_from_keys) {
  InputParser p;
  std::vector<std::string> keys;
  for (const char* piece : {"a\x1b[?20", "27;2$", "yb\x1b[?2026;0$y"}) {
    for (const auto& e : describe_all(p.feed(piece))) keys.push_back(e);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"key:a", "key:b"}));
  const auto reports = p.take_mode_reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].mode, 2027);
  EXPECT_EQ(reports[0].value, 2);
  EXPECT_EQ(reports[1].mode, 2026);
  EXPECT_EQ(reports[1].value, 0);
  EXPECT_TRUE(p.take_mode_reports().empty());
}

TEST(InputParser, keyboard_protocol_answer_is_taken_once) {
  InputParser p;
  EXPECT_FALSE(p.take_keyboard_protocol());
  (void)p.feed("\x1b[?1");
  EXPECT_FALSE(p.take_keyboard_protocol());
  (void)p.feed("5u");
  EXPECT_EQ(p.take_keyboard_protocol(), 15);
  EXPECT_FALSE(p.take_keyboard_protocol());
}

}  // namespace
}  // namespace termui
