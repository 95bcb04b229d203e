#pragma once
// The host's ports as the chat tests need them: a configuration store that keeps nothing and a
// runtime that is always ready.

#include "zell/ports/config.h"
#include "zell/ports/runtime_gateway.h"

namespace chat_test {

class NoStore : public zell::ports::ConfigStore {
 public:
  void save_config(const zell::ports::ZellConfig&) override {}
};

class Ready : public zell::ports::RuntimeGateway {
 public:
  zell::ports::Health healthcheck() override { return {true, "ready"}; }
};

}  // namespace chat_test
