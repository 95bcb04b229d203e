#include "host/acp/permission.h"

#include <array>

namespace host::acp {
namespace {

constexpr std::array<std::string_view, 4> kOrder{"allow_once", "reject_once", "allow_always",
                                                 "reject_always"};

std::size_t rank(std::string_view kind) {
  for (std::size_t i = 0; i < kOrder.size(); ++i) {
    if (kOrder[i] == kind) return i;
  }
  return kOrder.size();
}

}  // namespace

std::vector<PermissionOption> numbered_options(const Json& options) {
  std::vector<PermissionOption> out;
  if (!options.is_array()) return out;
  for (const Json& o : options) {
    if (!o.is_object() || string_field(o, "optionId").empty()) continue;
    out.push_back({string_field(o, "optionId"), string_field(o, "name"), string_field(o, "kind")});
  }
  // Stable: among options of one kind, the agent's order stays.
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return rank(a.kind) < rank(b.kind); });
  return out;
}

PermissionQuestion permission_question(const ToolCallState& tool, const Json& options,
                                       const std::filesystem::path& cwd) {
  PermissionQuestion q;
  q.title = tool_summary(tool);
  if (q.title.empty()) q.title = std::string(tool_name_for_kind(tool.kind));
  q.detail = tool_diffs(tool, cwd);
  q.diff = !q.detail.empty();
  if (q.detail.empty()) q.detail = tool_command(tool);
  if (q.detail.empty() && !tool.raw_input.is_null() &&
      !(tool.raw_input.is_object() && tool.raw_input.empty())) {
    q.detail = tool.raw_input.dump(2, ' ', false, Json::error_handler_t::replace);
  }
  if (q.detail.empty()) q.detail = q.title;
  q.options = numbered_options(options);
  return q;
}

std::optional<std::string> option_of_kind(const PermissionQuestion& q, std::string_view kind) {
  for (const PermissionOption& o : q.options) {
    if (o.kind == kind) return o.id;
  }
  return std::nullopt;
}

PermissionAsker yes_no_asker(
    std::function<bool(std::string_view title, std::string_view detail)> approve) {
  return [approve = std::move(approve)](const PermissionQuestion& q) -> std::optional<std::string> {
    const bool yes = approve(q.title, q.detail);
    for (std::string_view kind :
         yes ? std::array<std::string_view, 2>{"allow_once", "allow_always"}
             : std::array<std::string_view, 2>{"reject_once", "reject_always"}) {
      if (auto id = option_of_kind(q, kind)) return id;
    }
    return std::nullopt;
  };
}

std::string option_label(const PermissionOption& option) {
  if (!option.name.empty()) return option.name;
  if (option.kind == "allow_once") return "Allow once";
  if (option.kind == "reject_once") return "Reject";
  if (option.kind == "allow_always") return "Always allow";
  if (option.kind == "reject_always") return "Always reject";
  return option.id;
}

PermissionAsker choice_asker(ChooseFn choose) {
  return [choose = std::move(choose)](const PermissionQuestion& q) -> std::optional<std::string> {
    if (q.options.empty()) return std::nullopt;
    std::vector<std::string> labels;
    labels.reserve(q.options.size());
    for (const PermissionOption& o : q.options) labels.push_back(option_label(o));
    const std::optional<std::size_t> i = choose(q.title, q.detail, std::move(labels));
    if (!i || *i >= q.options.size()) return std::nullopt;
    return q.options[*i].id;
  };
}

Json permission_outcome(const std::optional<std::string>& option_id) {
  if (!option_id) return {{"outcome", {{"outcome", "cancelled"}}}};
  return {{"outcome", {{"outcome", "selected"}, {"optionId", *option_id}}}};
}

}  // namespace host::acp
