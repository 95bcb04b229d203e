#include "host/tui/chat_input.h"

#include "styled/style.h"

namespace host::tui {

ChatInput::ChatInput(std::string id)
    : Input("Type a prompt, Enter to send · Ctrl+C to stop or quit", std::move(id)) {
  set_prompt("❯ ", styled::Style::parse("bold #5f87ff"));
}

}  // namespace host::tui
