#include "host/plain/plain_approval.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#include "unicode/text_ops.h"
#include "unicode/visible_command.h"

namespace host {

namespace {

bool is_yes(std::string_view answer) {
  std::string a;
  for (const char c : unicode::strip(answer))
    a += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return a == "y" || a == "yes";
}

}  // namespace

std::string read_terminal_line(int fd) {
  return read_terminal_line(fd, -1).value_or(std::string());
}

std::optional<std::string> read_terminal_line(int fd, int stop_fd) {
  std::string line;
  char c = 0;
  for (;;) {
    if (stop_fd >= 0) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[1].revents != 0) return std::nullopt;
    }
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    line += c;
  }
  return line;
}

int open_controlling_terminal() {
  return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

std::string approval_question(std::string_view tool, std::string_view command) {
  std::string q = "\n\x1b[1;33m▪ Approve " + unicode::visible_command(tool) + "\x1b[0m\n";
  // The same rules as the transcript's approval prompt: controls, bidirectional and zero-width
  // characters made visible before the command is split into lines, so that only line feeds
  // break it (a line separator or a carriage return shows instead).
  const std::vector<std::string> lines = unicode::split_lines(unicode::visible_command(command));
  for (const std::string& line : lines) q += "    \x1b[36m" + line + "\x1b[0m\n";
  if (lines.empty()) q += "    \x1b[36m\x1b[0m\n";
  q += "  Allow? [y/N] ";
  return q;
}

zell::output::ApprovalCallback make_plain_approval(zell::output::OutputManager& manager,
                                                   ApprovalMode mode,
                                                   std::shared_ptr<zell::output::Writer> out,
                                                   TerminalOpener open_terminal) {
  return [&manager, mode, out = std::move(out), open_terminal = std::move(open_terminal)](
             std::string_view tool, std::string_view command) {
    const bool was_running = manager.indicator_running();
    if (was_running) manager._stop_indicator();
    const std::string question = approval_question(tool, command);
    bool approved = false;
    if (mode == ApprovalMode::approve_all) {
      out->write(question + "y (--yes)\n");
      approved = true;
    } else if (const int tty = open_terminal(); tty < 0) {
      out->write(question + "n (no terminal to ask)\n");
    } else {
      // Ask where the user is; when standard output goes elsewhere, record the outcome there.
      const bool stdout_is_tty = ::isatty(STDOUT_FILENO) == 1;
      zell::output::FdWriter terminal(tty);
      try {
        terminal.write(question);
        approved = is_yes(read_terminal_line(tty));
      } catch (...) {
        ::close(tty);
        throw;
      }
      ::close(tty);
      if (!stdout_is_tty) out->write(question + (approved ? "y\n" : "n\n"));
    }
    out->flush();
    if (was_running) manager._start_indicator();
    return approved;
  };
}

}  // namespace host
