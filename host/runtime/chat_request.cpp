#include "host/runtime/chat_request.h"

#include <nlohmann/json.hpp>

namespace host::runtime {

namespace {

using nlohmann::json;

json message(std::string_view role, const std::string& content) {
  return json{{"role", role}, {"content", content}};
}

}  // namespace

std::string chat_request_body(std::string_view model,
                              const std::optional<std::string>& system_prompt,
                              const std::vector<ChatMessage>& messages, std::string_view mode,
                              bool send_effort) {
  json list = json::array();
  if (system_prompt && !system_prompt->empty()) list.push_back(message("system", *system_prompt));
  for (const ChatMessage& m : messages) list.push_back(message(m.role, m.content));
  json body{{"model", model},
            {"messages", std::move(list)},
            {"stream", true},
            {"stream_options", {{"include_usage", true}}}};
  if (mode == "turbo-think" || mode == "turbo") {
    const bool think = mode == "turbo-think";
    body["chat_template_kwargs"] = {{"enable_thinking", think}};
    if (send_effort) body["reasoning_effort"] = think ? "medium" : "none";
  }
  return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<std::string> first_model_id(std::string_view body) {
  const json answer = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!answer.is_object()) return std::nullopt;
  for (const auto& [list, key] : {std::pair{"data", "id"}, std::pair{"models", "name"}}) {
    const auto it = answer.find(list);
    if (it == answer.end() || !it->is_array()) continue;
    for (const json& model : *it) {
      if (!model.is_object()) continue;
      const auto id = model.find(key);
      if (id != model.end() && id->is_string() && !id->get<std::string>().empty()) {
        return id->get<std::string>();
      }
    }
  }
  return std::nullopt;
}

}  // namespace host::runtime
