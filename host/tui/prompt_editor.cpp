#include "host/tui/prompt_editor.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "unicode/utf8.h"

namespace host::tui {
namespace {

// Runs `sh -c '<editor> "$1"' sh <path>` and waits for it; the exit status, or -1.
int run_editor(const std::string& editor, const std::string& path) {
  const std::string script = editor + " \"$1\"";
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", script.c_str(), "sh", path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string editor_command() {
  for (const char* name : {"VISUAL", "EDITOR"}) {
    const char* v = std::getenv(name);
    if (v && v[0] != '\0') return v;
  }
  return "vi";
}

EditorOutcome edit_in_editor(std::string_view text,
                             const std::function<void(const std::function<void()>&)>& outside) {
  std::error_code ec;
  std::string pattern =
      (std::filesystem::temp_directory_path(ec) / "vellumine-prompt-XXXXXX.md").string();
  const int fd = ::mkstemps(pattern.data(), 3);
  if (fd < 0)
    return {std::nullopt, std::string("cannot make a temporary file: ") + std::strerror(errno)};
  const std::string path = pattern;
  struct Remove {
    std::string path;
    ~Remove() { ::unlink(path.c_str()); }
  } remove{path};
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return {std::nullopt,
              std::string("cannot write the temporary file: ") + std::strerror(errno)};
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);

  const std::string editor = editor_command();
  int status = -1;
  outside([&] { status = run_editor(editor, path); });
  if (status != 0) {
    return {std::nullopt, "the editor (" + editor + ") did not finish well (status " +
                              std::to_string(status) + "); the prompt is unchanged"};
  }
  std::ifstream in(path, std::ios::binary);
  std::string edited((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (edited.ends_with("\r\n")) {
    edited.resize(edited.size() - 2);
  } else if (edited.ends_with('\n')) {
    edited.pop_back();
  }
  return {unicode::sanitize(edited), {}};
}

}  // namespace host::tui
