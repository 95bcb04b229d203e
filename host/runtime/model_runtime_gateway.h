#pragma once
// The runtime gateway the mode picker asks whether the model server is ready.

#include <memory>

#include "host/config/host_config.h"
#include "zell/ports/runtime_gateway.h"

namespace host::runtime {

// Backend "demo" (the scripted runtime) is always ready. Backend "http" asks the server at
// `base_url`, all within `timeout_s`: GET /health (200, or a JSON `status` of "ok", is ready;
// 503 is not ready, with the server's message such as "Loading model"), else GET /v1/models
// (200 is ready). Anything else is not ready, with a one-line reason: the HTTP status and the
// server's message, "connection refused at …" or "timed out after …".
class ModelRuntimeGateway final : public zell::ports::RuntimeGateway {
 public:
  ModelRuntimeGateway(zell::ports::RuntimeConfig runtime, config::RuntimeSettings settings);

  // Blocks for at most `timeout_s`; never throws for anything the server does.
  [[nodiscard]] zell::ports::Health healthcheck() override;

 private:
  [[nodiscard]] zell::ports::Health ask_server() const;

  zell::ports::RuntimeConfig runtime_;
  config::RuntimeSettings settings_;
};

// The factory the application hands the system: each gateway gets the mode just written and
// these settings (the [runtime] section as loaded at start-up).
[[nodiscard]] zell::ports::RuntimeGatewayFactory make_runtime_gateway_factory(
    config::RuntimeSettings settings);

}  // namespace host::runtime
