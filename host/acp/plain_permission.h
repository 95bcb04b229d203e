#pragma once
// The agent's permission question in the plain presentation: the tool call's title and, whole
// and with controls made visible, the command or the diff (in a diff's colours), then every
// option the agent offers with its number. Asked on the controlling terminal; Enter alone, an
// answer that is no option, or no terminal at all rejects once.

#include <memory>
#include <string>

#include "host/acp/permission.h"
#include "host/plain/plain_approval.h"
#include "zell/output/output_manager.h"

namespace host::acp {

// The question as written before the answer.
[[nodiscard]] std::string plain_permission_question(const PermissionQuestion& q);

// The option a typed answer selects: a number among the options; anything else rejects once
// (nullopt, "cancelled", when the agent offered no way to reject).
[[nodiscard]] std::optional<std::string> plain_permission_choice(const PermissionQuestion& q,
                                                                 std::string_view answer);

// The asker: pauses the manager's indicator while asking; with ApprovalMode::approve_all
// (--yes) it allows once without asking; a question still open when the turn is cancelled
// (its `cancelled_fd`) is cancelled. Writes go to `out` (standard output).
[[nodiscard]] PermissionAsker make_plain_permission_asker(
    zell::output::OutputManager& manager, ApprovalMode mode,
    std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1),
    TerminalOpener open_terminal = open_controlling_terminal);

}  // namespace host::acp
