#pragma once
// Whether a process still runs (a zombie waiting for its parent to collect it counts as gone).

#include <fstream>
#include <string>

namespace host_test {

inline bool process_alive(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_field, name, state;
  return stat >> pid_field >> name >> state && state != "Z";
}

}  // namespace host_test
