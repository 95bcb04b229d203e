#include "host/tui/prompt_commands.h"

#include "unicode/text_ops.h"

namespace host::tui {
namespace {

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

}  // namespace

const std::vector<SlashCommand>& chat_commands() {
  static const std::vector<SlashCommand> COMMANDS = {
      {"help", "list the commands and keys", false},
      {"clear", "start a new conversation with an empty transcript", false},
      {"mode", "pick the runtime mode again", false},
      {"export", "write the transcript to a file: /export PATH", false},
      {"quit", "leave", false},
  };
  return COMMANDS;
}

std::optional<CommandLine> parse_command(std::string_view prompt) {
  std::size_t i = 0;
  while (i < prompt.size() && blank(prompt[i])) ++i;
  if (i >= prompt.size() || prompt[i] != '/') return std::nullopt;
  const std::size_t start = ++i;
  while (i < prompt.size() && name_char(prompt[i])) ++i;
  if (i == start || (i < prompt.size() && !blank(prompt[i]))) return std::nullopt;
  std::string_view args = prompt.substr(i);
  while (!args.empty() && blank(args.front())) args.remove_prefix(1);
  while (!args.empty() && blank(args.back())) args.remove_suffix(1);
  return CommandLine{std::string(prompt.substr(start, i - start)), std::string(args)};
}

std::vector<SlashCommand> matching_commands(std::string_view typed,
                                            const std::vector<SlashCommand>& agent) {
  std::vector<SlashCommand> out;
  for (const auto* list : {&chat_commands(), &agent}) {
    for (const SlashCommand& c : *list) {
      if (c.name.starts_with(typed)) out.push_back(c);
    }
  }
  return out;
}

}  // namespace host::tui
