#pragma once
// The agent's permission requests (session/request_permission) as a question for the user: the
// tool call's title, what will run or change (the command, or the diff) in full, and the
// options the agent offers, numbered so that 1 is "allow once" and 2 "reject once" when those
// are offered, the "always" options next, anything else after them.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/acp/json_rpc.h"
#include "host/acp/tool_call_state.h"

namespace host::acp {

struct PermissionOption {
  std::string id;
  std::string name;
  std::string kind;  // allow_once, reject_once, allow_always, reject_always (or unknown)
};

struct PermissionQuestion {
  std::string title;
  std::string detail;                     // the command or the diff, whole
  bool diff = false;                      // the detail is a unified diff
  std::vector<PermissionOption> options;  // option i is answered by the number i + 1
  // Readable once the turn has been cancelled (-1: never), for an asker that waits on a
  // descriptor: the question is then cancelled without an answer.
  int cancelled_fd = -1;
};

// The agent's options in the order they are numbered; entries without an id are left out.
[[nodiscard]] std::vector<PermissionOption> numbered_options(const Json& options);

[[nodiscard]] PermissionQuestion permission_question(const ToolCallState& tool, const Json& options,
                                                     const std::filesystem::path& cwd);

// The user's choice: the selected option's id, or nullopt for "cancelled".
using PermissionAsker = std::function<std::optional<std::string>(const PermissionQuestion&)>;

// The first option of `kind`, if offered.
[[nodiscard]] std::optional<std::string> option_of_kind(const PermissionQuestion& q,
                                                        std::string_view kind);

// An asker over a yes/no approval (the output manager's approval hook): yes selects "allow
// once" (else the first allow option), no selects "reject once" (else the first reject option,
// else cancelled).
[[nodiscard]] PermissionAsker yes_no_asker(
    std::function<bool(std::string_view title, std::string_view detail)> approve);

// What an option is called on screen: its name, else a few words for its kind.
[[nodiscard]] std::string option_label(const PermissionOption& option);

// An asker over a question with numbered answers (the full screen's): `choose` gets the title,
// the detail and the options' labels, and answers the chosen index or nullopt (cancelled). A
// question without options is cancelled without asking: there is nothing to choose.
using ChooseFn = std::function<std::optional<std::size_t>(
    std::string_view title, std::string_view detail, std::vector<std::string> labels)>;
[[nodiscard]] PermissionAsker choice_asker(ChooseFn choose);

// The result of session/request_permission for a choice.
[[nodiscard]] Json permission_outcome(const std::optional<std::string>& option_id);

}  // namespace host::acp
