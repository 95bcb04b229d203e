#pragma once
// A writer that drops everything: for agents whose plain output a test does not read.

#include <string_view>

#include "zell/output/terminal.h"

namespace acp_test {

class NullWriter final : public zell::output::Writer {
 public:
  void write(std::string_view) override {}
  void flush() override {}
};

}  // namespace acp_test
