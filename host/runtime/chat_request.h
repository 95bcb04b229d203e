#pragma once
// The request side of an OpenAI-compatible chat: the conversation and the body of
// POST /v1/chat/completions, and the model a server offers first.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::runtime {

struct ChatMessage {
  std::string role;  // "system", "user" or "assistant"
  std::string content;

  bool operator==(const ChatMessage&) const = default;
};

// The JSON body asking `model` to stream its answer to `messages` (preceded by the system
// prompt, when there is one), with the token usage in the last event. The runtime mode picks
// the reasoning: "turbo-think" asks for it, "turbo" asks the model not to think, in both forms
// that servers understand (`chat_template_kwargs.enable_thinking` and `reasoning_effort`); any
// other mode asks for neither. `reasoning_effort` is left out when `send_effort` is false (for
// servers that refuse its values). Text that is not UTF-8 is sent with U+FFFD in its place.
[[nodiscard]] std::string chat_request_body(std::string_view model,
                                            const std::optional<std::string>& system_prompt,
                                            const std::vector<ChatMessage>& messages,
                                            std::string_view mode, bool send_effort = true);

// The first model id of a GET /v1/models answer (`data[0].id`, or `models[0].name` as some
// servers list them); nothing when it lists none.
[[nodiscard]] std::optional<std::string> first_model_id(std::string_view body);

}  // namespace host::runtime
