#pragma once
// Putting text on the system clipboard: an OSC 52 sequence written to the controlling terminal,
// or, when that terminal cannot be written, the first local clipboard command that works.
//
// The two ways out of the process are ports (plain functions held in ClipboardPorts) so that a
// test can stand in for the terminal and for the commands; the real ones are the defaults.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace termui {

// Standard Base64 (RFC 4648 alphabet, with padding).
[[nodiscard]] std::string base64_encode(std::string_view bytes);

// "\x1b]52;c;" + Base64 of the UTF-8 bytes of `text` + "\x07": sets the clipboard (target c).
[[nodiscard]] std::string osc52_sequence(std::string_view text);

// Opens `device` for writing, writes all of `bytes` (one write(2) unless the device takes them
// in parts), closes it. Throws std::system_error when any of the three fails.
void write_terminal_device(const char* device, std::string_view bytes);

// Runs `argv` (the program looked up on PATH) with `input` on its standard input and its output
// discarded, and waits for it. True when it started and exited with status 0.
[[nodiscard]] bool run_command_with_input(const std::vector<std::string>& argv,
                                          std::string_view input);

// The clipboard commands tried in order when the terminal cannot be written: macOS first, then
// Wayland and the two common X11 tools.
[[nodiscard]] const std::vector<std::vector<std::string>>& clipboard_commands();

struct ClipboardPorts {
  // Writes the whole sequence to the controlling terminal; throws std::system_error when it
  // cannot, which sends the text to the clipboard commands instead.
  std::function<void(std::string_view bytes)> write_terminal;
  // As run_command_with_input.
  std::function<bool(const std::vector<std::string>& argv, std::string_view input)> run_command;

  // /dev/tty and the real commands.
  [[nodiscard]] static ClipboardPorts real();
};

// Neither the terminal nor any clipboard command took the text.
class ClipboardError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Puts `text` on the clipboard: the OSC 52 sequence to the terminal in one write, else the text
// itself to the first clipboard command that takes it. Throws ClipboardError when none did.
void set_clipboard(const ClipboardPorts& ports, std::string_view text);

}  // namespace termui
