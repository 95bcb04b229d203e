#include "host/acp/plain_permission.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <vector>

#include "host/plain/plain_approval.h"
#include "unicode/diff_line.h"
#include "unicode/text_ops.h"
#include "unicode/visible_command.h"

namespace host::acp {
namespace {

std::optional<std::string> reject(const PermissionQuestion& q) {
  return option_of_kind(q, "reject_once");
}

// A line of the detail: a diff's added lines green, removed ones red, hunk headers bold cyan;
// anything else cyan.
std::string_view line_colour(std::string_view line, bool diff) {
  switch (diff ? unicode::diff_line_kind(line) : unicode::DiffLine::other) {
    case unicode::DiffLine::added:
      return "\x1b[32m";
    case unicode::DiffLine::removed:
      return "\x1b[31m";
    case unicode::DiffLine::hunk:
      return "\x1b[1;36m";
    default:
      return "\x1b[36m";
  }
}

// What --yes answered, as written after the question: the number of the option it chose.
std::string yes_answer(const PermissionQuestion& q, const std::optional<std::string>& choice) {
  for (std::size_t i = 0; choice && i < q.options.size(); ++i) {
    if (q.options[i].id == *choice) return fmt::format("{} (--yes)", i + 1);
  }
  return "(--yes, but the agent offers no way to allow: cancelled)";
}

}  // namespace

std::string plain_permission_question(const PermissionQuestion& q) {
  std::string text = "\n\x1b[1;33m▪ Approve " + unicode::visible_command(q.title) + "\x1b[0m\n";
  const std::vector<std::string> lines = unicode::split_lines(unicode::visible_command(q.detail));
  for (const std::string& line : lines) {
    text += "    " + std::string(line_colour(line, q.diff)) + line + "\x1b[0m\n";
  }
  text += " ";
  for (std::size_t i = 0; i < q.options.size(); ++i) {
    text += fmt::format(" {} {}", i + 1, unicode::visible_command(q.options[i].name));
    if (i + 1 < q.options.size()) text += " ·";
  }
  text += "\n  Choice: ";
  return text;
}

std::optional<std::string> plain_permission_choice(const PermissionQuestion& q,
                                                   std::string_view answer) {
  const std::string a = unicode::strip(answer);
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
  if (ec == std::errc() && end == a.data() + a.size() && n >= 1 && n <= q.options.size()) {
    return q.options[n - 1].id;
  }
  return reject(q);
}

PermissionAsker make_plain_permission_asker(zell::output::OutputManager& manager, ApprovalMode mode,
                                            std::shared_ptr<zell::output::Writer> out,
                                            TerminalOpener open_terminal) {
  return [&manager, mode, out = std::move(out),
          open_terminal = std::move(open_terminal)](const PermissionQuestion& q) {
    const bool was_running = manager.indicator_running();
    if (was_running) manager._stop_indicator();
    manager.end_answer();  // the answer after the question starts a paragraph of its own
    const std::string question = plain_permission_question(q);
    std::optional<std::string> choice;
    if (mode == ApprovalMode::approve_all) {
      choice = option_of_kind(q, "allow_once");
      if (!choice) choice = option_of_kind(q, "allow_always");
      out->write(question + yes_answer(q, choice) + "\n");
    } else if (const int tty = open_terminal(); tty < 0) {
      choice = reject(q);
      out->write(question + "(no terminal to ask: rejected)\n");
    } else {
      const bool stdout_is_tty = ::isatty(STDOUT_FILENO) == 1;
      std::optional<std::string> answer;
      try {
        zell::output::FdWriter terminal(tty);
        terminal.write(question);
        answer = read_terminal_line(tty, q.cancelled_fd);
        if (!answer) terminal.write("(cancelled)\n");
      } catch (...) {
        ::close(tty);
        throw;
      }
      ::close(tty);
      if (answer) choice = plain_permission_choice(q, *answer);
      if (!stdout_is_tty) {
        out->write(question + (answer ? unicode::visible_command(*answer) : "(cancelled)") + "\n");
      }
    }
    out->flush();
    if (was_running) manager._start_indicator();
    return choice;
  };
}

}  // namespace host::acp
