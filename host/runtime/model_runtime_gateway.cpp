#include "host/runtime/model_runtime_gateway.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "host/config/config_file.h"
#include "host/runtime/bounded_get.h"
#include "host/runtime/server_message.h"

namespace host::runtime {

namespace {

// Servers without a /health endpoint answer one of these; their /v1/models answer then says
// more than this one.
bool lacks_endpoint(int status) {
  return status == 404 || status == 405 || status == 501;
}

std::string http_reason(const HttpAnswer& answer, const std::string& url) {
  if (auto message = server_message(answer.body)) {
    return fmt::format("HTTP {} at {}: {}", answer.status, url, *message);
  }
  return fmt::format("HTTP {} at {}", answer.status, url);
}

std::string failure_reason(HttpFailure failure, const BaseUrl& base, std::string_view path,
                           double timeout_s) {
  switch (failure) {
    case HttpFailure::invalid_url:
      return fmt::format("invalid base_url {}", base.url());
    case HttpFailure::refused:
      return fmt::format("connection refused at {}", base.url());
    case HttpFailure::timed_out:
      return fmt::format("timed out after {:g} s waiting for {}", timeout_s, base.url(path));
    case HttpFailure::closed:
      return fmt::format("{} closed the connection without an answer", base.url(path));
    case HttpFailure::other:
      break;
  }
  return fmt::format("no valid answer from {}", base.url(path));
}

constexpr std::size_t kMaxModelIdChars = 60;

// The first few model ids of a /v1/models answer, for the details of a ready server.
std::string model_ids(std::string_view body) {
  const auto json = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object() || !json.contains("data") || !json["data"].is_array()) return "";
  std::string ids;
  int shown = 0;
  for (const auto& model : json["data"]) {
    if (!model.is_object() || !model.contains("id") || !model["id"].is_string()) continue;
    if (shown++ == 3) return ids + ", …";
    ids += ids.empty() ? "" : ", ";
    ids += one_line(model["id"].get<std::string>(), kMaxModelIdChars);
  }
  return ids;
}

}  // namespace

ModelRuntimeGateway::ModelRuntimeGateway(zell::ports::RuntimeConfig runtime,
                                         config::RuntimeSettings settings)
    : runtime_(std::move(runtime)), settings_(std::move(settings)) {}

zell::ports::Health ModelRuntimeGateway::healthcheck() {
  const std::string& mode = runtime_.laptop_26b_runtime_mode;
  const std::string in_mode = mode.empty() ? "" : fmt::format(" ({})", mode);
  if (settings_.backend == config::Backend::demo) {
    return {true, fmt::format("demo runtime{}: scripted answers, no model server", in_mode)};
  }
  zell::ports::Health health = ask_server();
  if (health.ready) health.details += in_mode;
  return health;
}

zell::ports::Health ModelRuntimeGateway::ask_server() const {
  const auto base = parse_base_url(settings_.base_url);
  if (!base) return {false, fmt::format("invalid base_url {}", settings_.base_url)};
  // Settings made in code skip the file's checks; keep the conversion to a clock duration in
  // range whatever they hold.
  const double timeout_s = std::isfinite(settings_.timeout_s)
                               ? std::clamp(settings_.timeout_s, 0.0, config::kMaxSeconds)
                               : config::kDefaultTimeoutS;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeout_s));

  const auto health = bounded_get(*base, "/health", deadline);
  if (const auto* failure = std::get_if<HttpFailure>(&health)) {
    return {false, failure_reason(*failure, *base, "/health", timeout_s)};
  }
  const auto& health_answer = std::get<HttpAnswer>(health);
  if (health_answer.status == 200 || says_ok(health_answer.body)) {
    return {true, fmt::format("ready at {}", base->url())};
  }
  if (health_answer.status == 503) {
    return {false, server_message(health_answer.body)
                       .value_or(http_reason(health_answer, base->url("/health")))};
  }

  const auto models = bounded_get(*base, "/v1/models", deadline);
  if (const auto* failure = std::get_if<HttpFailure>(&models)) {
    return {false, failure_reason(*failure, *base, "/v1/models", timeout_s)};
  }
  const auto& models_answer = std::get<HttpAnswer>(models);
  if (models_answer.status == 200) {
    const std::string ids = model_ids(models_answer.body);
    return {true, ids.empty() ? fmt::format("ready at {}", base->url())
                              : fmt::format("ready at {}, serving {}", base->url(), ids)};
  }
  return lacks_endpoint(health_answer.status)
             ? zell::ports::Health{false, http_reason(models_answer, base->url("/v1/models"))}
             : zell::ports::Health{false, http_reason(health_answer, base->url("/health"))};
}

zell::ports::RuntimeGatewayFactory make_runtime_gateway_factory(config::RuntimeSettings settings) {
  return [settings = std::move(settings)](const zell::ports::RuntimeConfig& runtime) {
    return std::make_unique<ModelRuntimeGateway>(runtime, settings);
  };
}

}  // namespace host::runtime
