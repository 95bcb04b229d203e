// Embeds the presentation layer in a program with its own agent loop: each step of a scripted
// turn is handed to an OutputManager, which writes the plain presentation to standard output
// and reports every step as an agent event; the answer is then drawn again as Markdown.
// Exits 0 when every step came back as the event it should.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "styled/console.h"
#include "styled/markdown/markdown.h"
#include "zell/output/output_manager.h"

namespace {

// One step of the turn and the event the manager reports for it.
struct Step {
  enum class Kind { think, tool, result, answer, done } kind;
  std::string text;
  std::string event;
};

}  // namespace

int main() {
  const std::vector<Step> turn = {
      {Step::Kind::think, "Looking at the build files.", "thinking_chunk"},
      {Step::Kind::tool, "ls -1 src", "tool_start"},
      {Step::Kind::result, "styled\ntermui\nunicode\nzell", "tool_result"},
      {Step::Kind::answer, "The tree has **four** layers.\n", "content"},
      {Step::Kind::answer, "Each builds on the one before.\n", "content"},
      {Step::Kind::done, "", "done"},
  };

  zell::output::OutputManager manager;
  std::vector<std::string> events;
  manager.set_event_callback([&events](const std::string& type, std::shared_ptr<zell::Payload>) {
    events.push_back(type);
  });

  std::string answer;
  for (const Step& step : turn) {  // the program's own loop
    switch (step.kind) {
      case Step::Kind::think:
        manager.start_thinking();
        manager.feed_thinking(step.text);
        break;
      case Step::Kind::tool:
        manager.log_tool("bash", step.text);
        break;
      case Step::Kind::result:
        manager.tool_result(step.text);
        break;
      case Step::Kind::answer:
        manager.stream(step.text);
        answer += step.text;
        break;
      case Step::Kind::done:
        manager.done();
        break;
    }
  }

  std::string drawn;
  styled::Console console({.width = 60, .force_terminal = false, .file = &drawn});
  console.print(styled::Markdown(answer));
  std::fputs(drawn.c_str(), stdout);

  int missing = 0;
  for (const Step& step : turn) {
    bool seen = false;
    for (const std::string& e : events) seen = seen || e == step.event;
    if (!seen) {
      std::fprintf(stderr, "embed: no \"%s\" event\n", step.event.c_str());
      ++missing;
    }
  }
  if (drawn.find("The tree has four layers.") == std::string::npos) {
    std::fprintf(stderr, "embed: the answer was not drawn as Markdown\n");
    ++missing;
  }
  // A code block is highlighted: the installed highlighter was found and loaded. Its tokens
  // come in more than one colour.
  std::string code;
  styled::Console colour({.width = 60, .force_terminal = true, .file = &code});
  colour.print(styled::Markdown("```python\ndef layers():\n    return 4  # four\n```\n"));
  std::size_t colours = 0;
  for (std::size_t at = code.find("38;"); at != std::string::npos; at = code.find("38;", at + 1)) {
    ++colours;
  }
  if (colours < 2) {
    std::fprintf(stderr, "embed: the code block was not highlighted\n");
    ++missing;
  }
  std::printf("embed: %zu events\n", events.size());
  return missing == 0 ? 0 : 1;
}
