#pragma once
// Slash commands typed at the prompt: the chat's own (/help, /clear, /mode, /export, /quit)
// and those an agent announces. A prompt is a command when it starts with "/" and a name made
// of letters, digits, "-" and "_" up to a blank or the end; "/usr/bin/ls fails" is text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::tui {

struct SlashCommand {
  std::string name;  // without the "/"
  std::string description;
  bool from_agent = false;
};

// The chat's own commands, in the order /help lists them.
[[nodiscard]] const std::vector<SlashCommand>& chat_commands();

struct CommandLine {
  std::string name;
  std::string args;  // the rest, blanks around it trimmed
};
[[nodiscard]] std::optional<CommandLine> parse_command(std::string_view prompt);

// The chat's commands and the agent's (an agent command of the same name as one of the chat's
// is listed but the chat's runs) whose names start with `typed` (without the "/").
[[nodiscard]] std::vector<SlashCommand> matching_commands(std::string_view typed,
                                                          const std::vector<SlashCommand>& agent);

}  // namespace host::tui
