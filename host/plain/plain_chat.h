#pragma once
// The plain presentation's chat with a model server: a "❯ " prompt, one line of standard input
// per turn, each turn shown through the output manager, until the input ends; or one turn for
// a prompt given on the command line.

#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>

#include "host/runtime/http_agent.h"
#include "zell/output/terminal.h"

namespace host {

struct PlainChatOptions {
  // `--prompt TEXT`: run this one turn and return instead of reading the input.
  std::optional<std::string> prompt;
  // Write each line read back after the prompt sign, so that the output reads as a chat when
  // the input is not a terminal (which would have echoed it).
  bool echo_input = true;
};

// Runs the chat; the agent shows each turn through its output manager. `out` is where the
// chat's own lines (the prompt sign and the user's text) go: standard output in the program,
// as the manager's. Blank lines ask nothing. Returns 0 when
// every turn completed and 1 when one ended in an error or was interrupted, except that a
// `prompt` turn ended by Ctrl+C gives 130 as an interrupted program does; 2, writing nothing,
// for a blank `prompt`. Errors of the output (a closed standard output) and zell::ExitRequest
// reach the caller.
int run_plain_chat(
    runtime::HttpAgent& agent, std::istream& in, const PlainChatOptions& options,
    std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1));

// The same chat for any agent: `ask` runs one turn and says how it ended.
int run_plain_chat(
    const std::function<runtime::TurnEnd(const std::string&)>& ask, std::istream& in,
    const PlainChatOptions& options,
    std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1));

// The same chat with prompts from `next` (a line editor that shows its own prompt sign);
// nullopt from it ends the chat. `options.prompt` and `echo_input` do not apply.
int run_plain_chat(
    const std::function<runtime::TurnEnd(const std::string&)>& ask,
    const std::function<std::optional<std::string>()>& next,
    std::shared_ptr<zell::output::Writer> out = std::make_shared<zell::output::FdWriter>(1));

}  // namespace host
