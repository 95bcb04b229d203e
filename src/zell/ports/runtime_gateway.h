#pragma once
// The gateway to the locally served model runtime: built for the mode written into the
// runtime section, asked once whether the model server is ready.

#include <functional>
#include <memory>
#include <string>

#include "zell/ports/config.h"

namespace zell::ports {

// Answer of `healthcheck`: readiness (tested for truth) and details in their text form.
struct Health {
  bool ready = false;
  std::string details;
};

class RuntimeGateway {
 public:
  virtual ~RuntimeGateway() = default;
  virtual Health healthcheck() = 0;
};

// Construction of a gateway from the runtime section (mode already written). The host hands
// the system one of these; errors of construction are not caught by the system.
using RuntimeGatewayFactory = std::function<std::unique_ptr<RuntimeGateway>(const RuntimeConfig&)>;

}  // namespace zell::ports
