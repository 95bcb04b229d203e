// The clipboard writer: OSC 52 to the controlling terminal, clipboard commands as the fallback.

#include "termui/clipboard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace termui {

namespace {

constexpr const char* TERMINAL_DEVICE = "/dev/tty";

[[noreturn]] void throw_errno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Closes the descriptor when it goes out of scope (on the error paths too).
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  int release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// Sends all of `bytes` into a socket; false when the reader went away. MSG_NOSIGNAL: a command
// that exits without reading must not kill this process with SIGPIPE.
bool send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string base64_encode(std::string_view bytes) {
  static constexpr char ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  const auto byte = [&bytes](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += ALPHABET[v >> 18 & 63];
    out += ALPHABET[v >> 12 & 63];
    out += ALPHABET[v >> 6 & 63];
    out += ALPHABET[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const unsigned v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0U);
    out += ALPHABET[v >> 18 & 63];
    out += ALPHABET[v >> 12 & 63];
    out += rest == 2 ? ALPHABET[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string osc52_sequence(std::string_view text) {
  static constexpr std::string_view START = "\x1b]52;c;";
  std::string seq;
  seq.reserve(START.size() + (text.size() + 2) / 3 * 4 + 1);
  seq += START;
  seq += base64_encode(text);
  seq += '\x07';
  return seq;
}

void write_terminal_device(const char* device, std::string_view bytes) {
  Fd tty{::open(device, O_WRONLY | O_NOCTTY | O_CLOEXEC)};
  if (tty.fd < 0) throw_errno("open terminal");
  // The whole sequence goes in one call: a terminal seeing it in pieces interleaved with other
  // output would take that output as clipboard data. Only a device that takes part of it is
  // written again, for the rest.
  while (!bytes.empty()) {
    const ssize_t n = ::write(tty.fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_errno("write terminal");
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::close(tty.release()) != 0 && errno != EINTR) throw_errno("close terminal");
}

bool run_command_with_input(const std::vector<std::string>& argv, std::string_view input) {
  if (argv.empty()) return false;
  // A socket pair rather than a pipe, so that writing to a command that has already exited
  // fails with EPIPE instead of raising SIGPIPE. Both ends close on exec: the child's end
  // reaches the command only as its standard input (dup2 clears the flag), and the command
  // must not inherit our end or it would never see the end of its input.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  Fd ours{ends[0]};
  Fd theirs{ends[1]};

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  // Its output would land on the screen the UI draws; clipboard daemons forked by wl-copy or
  // xclip keep these descriptors, so they must not be ours either.
  const bool prepared =
      posix_spawn_file_actions_adddup2(&actions, theirs.fd, STDIN_FILENO) == 0 &&
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const bool spawned =
      prepared && posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned) return false;
  ::close(theirs.release());

  const bool sent = send_all(ours.fd, input);
  ::close(ours.release());  // end of input
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const std::vector<std::vector<std::string>>& clipboard_commands() {
  static const std::vector<std::vector<std::string>> commands = {
      {"pbcopy"},
      {"wl-copy"},
      {"xclip", "-selection", "clipboard"},
      {"xsel", "--clipboard", "--input"},
  };
  return commands;
}

ClipboardPorts ClipboardPorts::real() {
  return {[](std::string_view bytes) { write_terminal_device(TERMINAL_DEVICE, bytes); },
          &run_command_with_input};
}

void set_clipboard(const ClipboardPorts& ports, std::string_view text) {
  // Built whole before anything is written, so that it can go out in one write.
  const std::string sequence = osc52_sequence(text);
  std::string terminal_error;
  try {
    ports.write_terminal(sequence);
    return;
  } catch (const std::system_error& e) {
    terminal_error = e.what();
  }
  // The commands get the text itself, not the escape sequence.
  for (const auto& command : clipboard_commands()) {
    if (ports.run_command(command, text)) return;
  }
  throw ClipboardError("the terminal could not be written (" + terminal_error +
                       ") and no clipboard command worked (pbcopy, wl-copy, xclip, xsel)");
}

}  // namespace termui
