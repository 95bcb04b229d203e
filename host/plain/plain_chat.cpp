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

  std::string line;
  return run_plain_chat(
      ask,
      [&]() -> std::optional<std::string> {
        out->write(kPromptSign);
        out->flush();
        if (!std::getline(in, line)) return std::nullopt;
        if (line.ends_with('\r')) line.pop_back();
        if (options.echo_input) {
          out->write(unicode::visible_controls(line) + "\n");
          out->flush();
        }
        return line;
      },
      out);
}

int run_plain_chat(const std::function<runtime::TurnEnd(const std::string&)>& ask,
                   const std::function<std::optional<std::string>()>& next,
                   std::shared_ptr<zell::output::Writer> out) {
  bool all_done = true;
  for (;;) {
    const std::optional<std::string> prompt = next();
    if (!prompt) {
      out->write("\n");  // leaves the shell's prompt on a line of its own
      out->flush();
      break;
    }
    if (unicode::is_blank(*prompt)) continue;
    all_done = ask(*prompt) == runtime::TurnEnd::done && all_done;
  }
  return all_done ? 0 : 1;
}

}  // namespace host
