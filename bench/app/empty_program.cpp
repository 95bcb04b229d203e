// The floor of start-up: a C++ program that does nothing, linked like ours against the C++
// library, timed beside `vellumine --version` by the start-up benchmark.
#include <string>

int main(int argc, char**) {
  // Something of the C++ library, so that it is linked and loaded as in a real program.
  const std::string arguments(static_cast<std::size_t>(argc), '.');
  return arguments.empty() ? 1 : 0;
}
