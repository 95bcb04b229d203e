#pragma once
// Runs a shell command and returns what it wrote on standard output (tests that drive tmux).

#include <array>
#include <cstdio>
#include <string>

namespace test_support {

inline std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  while (std::fgets(buf.data(), buf.size(), p)) out += buf.data();
  ::pclose(p);
  return out;
}

}  // namespace test_support
