#include "acp_sandbox.h"

#include <dirent.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace test_support {

namespace fs = std::filesystem;

std::string enter_loopback_only_network() {
  if (::unshare(CLONE_NEWNET) != 0) {
    return std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
  }
  // What `ip link set lo up` does: a new namespace's loopback starts down.
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::string("socket: ") + std::strerror(errno);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  std::string why;
  if (::ioctl(s, SIOCGIFFLAGS, &request) != 0) {
    why = std::string("reading lo's flags: ") + std::strerror(errno);
  } else {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    if (::ioctl(s, SIOCSIFFLAGS, &request) != 0) {
      why = std::string("setting lo up: ") + std::strerror(errno);
    }
  }
  ::close(s);
  return why;
}

std::string network_interfaces() {
  std::string names;
  if (struct if_nameindex* list = ::if_nameindex()) {
    for (const struct if_nameindex* i = list; i->if_index != 0; ++i) {
      if (!names.empty()) names += ' ';
      names += i->if_name;
    }
    ::if_freenameindex(list);
  }
  return names;
}

AgentSandbox::AgentSandbox(const std::string& name) : root_(fs::temp_directory_path() / name) {
  fs::remove_all(root_);
  for (const char* sub : {"home", "project", "tmp"}) fs::create_directories(root_ / sub);
}

AgentSandbox::~AgentSandbox() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::vector<std::pair<std::string, std::string>> AgentSandbox::env() const {
  const std::string h = home().string();
  return {{"HOME", h},
          {"XDG_CONFIG_HOME", h + "/.config"},
          {"XDG_DATA_HOME", h + "/.local/share"},
          {"XDG_CACHE_HOME", h + "/.cache"},
          {"XDG_STATE_HOME", h + "/.local/state"},
          {"TMPDIR", (root_ / "tmp").string()}};
}

std::string AgentSandbox::processes_left() const {
  const std::string mark = "HOME=" + home().string() + '\0';
  std::string pids;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return pids;
  while (const dirent* e = ::readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    std::ifstream in(std::string("/proc/") + e->d_name + "/environ", std::ios::binary);
    std::ostringstream env;
    env << in.rdbuf();
    if (('\0' + env.str()).find('\0' + mark) != std::string::npos) {
      pids += std::string(pids.empty() ? "" : " ") + e->d_name;
    }
  }
  ::closedir(proc);
  return pids;
}

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace test_support
