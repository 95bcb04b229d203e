#pragma once
// The approval question of the plain presentation: the whole command, asked on the terminal.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "zell/output/output_manager.h"
#include "zell/output/terminal.h"

namespace host {

enum class ApprovalMode {
  ask,          // ask on the controlling terminal; no terminal means no
  approve_all,  // --yes
};

// Opens the terminal to ask on; -1 when there is none. The default opens "/dev/tty".
using TerminalOpener = std::function<int()>;
[[nodiscard]] int open_controlling_terminal();
// One line from the terminal (cooked mode: the user finishes it with Enter); empty on EOF.
[[nodiscard]] std::string read_terminal_line(int fd);
// The same, unless `stop_fd` (when not -1) becomes readable first: nullopt then.
[[nodiscard]] std::optional<std::string> read_terminal_line(int fd, int stop_fd);

// The approval hook for `manager`: pauses its indicator while asking, shows the tool and the
// whole command with controls made visible, and answers. Writes go to `out` (standard output).
[[nodiscard]] zell::output::ApprovalCallback make_plain_approval(
    zell::output::OutputManager& manager, ApprovalMode mode,
    std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1),
    TerminalOpener open_terminal = open_controlling_terminal);

// The question as written before the answer: a bold yellow header with the tool name, then
// the command indented by four spaces (every line of it), then "  Allow? [y/N] ".
[[nodiscard]] std::string approval_question(std::string_view tool, std::string_view command);

}  // namespace host
