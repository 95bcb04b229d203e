#include "host/agent/script.h"

#include <fmt/format.h>

#include <climits>
#include <cmath>
#include <map>

namespace host {

namespace {

enum class Type { string, boolean, integer, index, seconds };

struct Arg {
  std::string name;
  Type type;
  bool required;
};

// Each op's arguments. `index` is an integer that fits the manager's index type; `seconds` a
// finite number of at least 0; `integer` (chunk sizes) a whole number of at least 1.
const std::map<std::string, std::vector<Arg>, std::less<>>& op_table() {
  static const std::map<std::string, std::vector<Arg>, std::less<>> table{
      {"start_thinking", {{"reset", Type::boolean, false}}},
      {"feed_thinking", {{"chunk", Type::string, true}}},
      {"set_thinking_peek", {{"text", Type::string, true}}},
      {"thinking_done", {{"full_text", Type::string, true}}},
      {"set_stage", {{"stage", Type::string, true}}},
      {"start_streaming", {}},
      {"stream", {{"chunk", Type::string, true}}},
      {"log_tool", {{"name", Type::string, true}, {"args", Type::string, false}}},
      {"tool_result",
       {{"result", Type::string, true},
        {"error", Type::boolean, false},
        {"idx", Type::index, false}}},
      {"print_info", {{"text", Type::string, true}}},
      {"set_error", {{"msg", Type::string, true}}},
      {"done", {}},
      {"user", {{"text", Type::string, true}}},
      {"sleep", {{"seconds", Type::seconds, true}}},
      {"think",
       {{"text", Type::string, true},
        {"chunk_chars", Type::integer, false},
        {"delay", Type::seconds, false}}},
      {"say",
       {{"text", Type::string, true},
        {"chunk_chars", Type::integer, false},
        {"delay", Type::seconds, false}}},
      {"approve", {{"tool", Type::string, true}, {"command", Type::string, true}}},
  };
  return table;
}

const char* type_name(Type t) {
  switch (t) {
    case Type::string:
      return "a string";
    case Type::boolean:
      return "true or false";
    case Type::integer:
      return "a whole number of at least 1";
    case Type::index:
      return "a whole number";
    case Type::seconds:
      return "a number of seconds (0 or more)";
  }
  return "";
}

bool fits(const nlohmann::json& v, Type t) {
  switch (t) {
    case Type::string:
      return v.is_string();
    case Type::boolean:
      return v.is_boolean();
    case Type::integer:
      return v.is_number_unsigned()
                 ? v.get<unsigned long long>() >= 1 && v.get<unsigned long long>() <= INT_MAX
             : v.is_number_integer() ? v.get<long long>() >= 1 && v.get<long long>() <= INT_MAX
                                     : false;
    case Type::index:
      if (v.is_number_unsigned())
        return v.get<unsigned long long>() <= static_cast<unsigned long long>(INT_MAX);
      return v.is_number_integer() && v.get<long long>() >= INT_MIN &&
             v.get<long long>() <= INT_MAX;
    case Type::seconds:
      return v.is_number() && std::isfinite(v.get<double>()) && v.get<double>() >= 0 &&
             v.get<double>() <= 86400.0 * 365;
  }
  return false;
}

}  // namespace

const std::vector<std::string>& script_ops() {
  static const std::vector<std::string> ops{
      "user",          "start_thinking", "feed_thinking",   "set_thinking_peek",
      "thinking_done", "set_stage",      "think",           "log_tool",
      "tool_result",   "approve",        "start_streaming", "stream",
      "say",           "print_info",     "set_error",       "sleep",
      "done"};
  return ops;
}

std::string script_help() {
  return "\n"
         "Scripts are JSON Lines: one object per line, an \"op\" and its arguments, e.g.\n"
         "  {\"op\": \"log_tool\", \"name\": \"grep\", \"args\": \"-rn foo src/\"}\n"
         "Output-manager ops (arguments in brackets are optional):\n"
         "  start_thinking [reset]      feed_thinking chunk        set_thinking_peek text\n"
         "  thinking_done full_text     set_stage stage            start_streaming\n"
         "  stream chunk                log_tool name [args]       print_info text\n"
         "  tool_result result [error] [idx]   (idx: the index the last log_tool returned)\n"
         "  set_error msg               done\n"
         "Host ops:\n"
         "  user text                   the user's prompt\n"
         "  sleep seconds\n"
         "  think text [chunk_chars] [delay]   thinking chunks, then peek and thinking_done\n"
         "  say text [chunk_chars] [delay]     streamed answer chunks (default 24 chars, 0.03 s)\n"
         "  approve tool command        asks for approval; a denial reports the pending tool as\n"
         "                              failed with \"Denied by user\" and skips the script's\n"
         "                              next tool_result\n"
         "The whole script is checked before it runs: a bad line is reported with its number,\n"
         "nothing is written, and the exit status is 2.\n"
         "\n"
         "Approval questions show the whole command and are asked on the terminal (y/n). With no\n"
         "terminal to ask on, the answer is no and the output says so; --yes approves every\n"
         "command.\n";
}

std::vector<Step> parse_script(std::string_view text, std::string_view source) {
  std::vector<Step> steps;
  int line_no = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
      if (end == text.size()) break;
      continue;
    }
    auto fail = [&](const std::string& why) {
      throw ScriptError(fmt::format("{}:{}: {}", source, line_no, why));
    };
    nlohmann::json obj = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (obj.is_discarded()) fail("not valid JSON");
    if (!obj.is_object()) fail("expected a JSON object with an \"op\"");
    const auto op_it = obj.find("op");
    if (op_it == obj.end()) fail("missing \"op\"");
    if (!op_it->is_string()) fail("\"op\" must be a string");
    const std::string op = op_it->get<std::string>();
    const auto entry = op_table().find(op);
    if (entry == op_table().end()) fail(fmt::format("unknown op \"{}\"", op));
    for (const auto& [key, value] : obj.items()) {
      if (key == "op") continue;
      bool known = false;
      for (const Arg& a : entry->second) {
        if (a.name != key) continue;
        known = true;
        if (!fits(value, a.type))
          fail(fmt::format("\"{}\" of {} must be {}", key, op, type_name(a.type)));
      }
      if (!known) fail(fmt::format("{} takes no argument \"{}\"", op, key));
    }
    for (const Arg& a : entry->second) {
      if (a.required && !obj.contains(a.name)) fail(fmt::format("{} needs \"{}\"", op, a.name));
    }
    steps.push_back(Step{op, std::move(obj), line_no});
    if (end == text.size()) break;
  }
  return steps;
}

}  // namespace host
