#include "host/plain/plain_chat.h"

#include <string_view>

#include "unicode/text_ops.h"

namespace host {

namespace {

constexpr std::string_view kPromptSign = "\n\x1b[1m❯\x1b[0m ";

}  // namespace

int run_plain_chat(runtime::HttpAgent& agent, std::istream& in, const PlainChatOptions& options,
                   std::shared_ptr<zell::output::Writer> out) {
  return run_plain_chat([&agent](const std::string& text) { return agent.run_turn(text).end; }, in,
                        options, std::move(out));
}

int run_plain_chat(const std::function<runtime::TurnEnd(const std::string&)>& ask, std::istream& in,
                   const PlainChatOptions& options, std::shared_ptr<zell::output::Writer> out) {
  if (options.prompt) {
    if (unicode::is_blank(*options.prompt)) return 2;
    out->write(std::string(kPromptSign) + unicode::visible_controls(*options.prompt) + "\n");
    out->flush();
    switch (ask(*options.prompt)) {
      case runtime::TurnEnd::done:
        return 0;
      case runtime::TurnEnd::interrupted:
        return 130;  // what a shell expects of a command ended by SIGINT
      case runtime::TurnEnd::error:
        return 1;
    }
    return 1;
  }

  bool all_done = true;
  std::string line;
  for (;;) {
    out->write(kPromptSign);
    out->flush();
    if (!std::getline(in, line)) {
      out->write("\n");  // leaves the shell's prompt on a line of its own
      out->flush();
      break;
    }
    if (line.ends_with('\r')) line.pop_back();
    if (options.echo_input) {
      out->write(unicode::visible_controls(line) + "\n");
      out->flush();
    }
    if (unicode::is_blank(line)) continue;
    all_done = ask(line) == runtime::TurnEnd::done && all_done;
  }
  return all_done ? 0 : 1;
}

}  // namespace host
