// `vellumine --plain` end to end: the real binary, its standard output compared byte for byte
// (indicator frames and the closing line's timing filtered out).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Finished {
  int status = -1;  // exit status
  std::string out;
  std::string err;
};

enum class Stdout { pipe, pty, closed_pipe };

struct Launch {
  std::vector<std::string> args;
  Stdout out = Stdout::pipe;
  unsigned short cols = 80;
  bool no_terminal = true;  // start a new session: no controlling terminal to ask on
};

void drain(int fd, std::string& into) {
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      into.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

Finished run(const Launch& l) {
  std::signal(SIGPIPE, SIG_IGN);
  int out_r = -1;
  int out_w = -1;
  if (l.out == Stdout::pty) {
    termios raw{};
    cfmakeraw(&raw);
    winsize ws{};
    ws.ws_col = l.cols;
    ws.ws_row = 24;
    if (::openpty(&out_r, &out_w, nullptr, &raw, &ws) != 0) return {};
  } else {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    out_r = fds[0];
    out_w = fds[1];
  }
  int err[2];
  if (::pipe(err) != 0) return {};
  if (l.out == Stdout::closed_pipe) {
    ::close(out_r);
    out_r = -1;
  }

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (l.no_terminal) ::setsid();
    const int devnull = ::open("/dev/null", O_RDONLY);
    ::dup2(devnull, 0);
    ::dup2(out_w, 1);
    ::dup2(err[1], 2);
    std::vector<char*> argv{const_cast<char*>(VELLUMINE_BIN)};
    for (const auto& a : l.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(VELLUMINE_BIN, argv.data());
    ::_exit(127);
  }
  ::close(out_w);
  ::close(err[1]);
  Finished r;
  // Read both streams; the pty's master reports EIO once the child's side is closed.
  if (out_r >= 0) drain(out_r, r.out);
  drain(err[0], r.err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (out_r >= 0) ::close(out_r);
  ::close(err[0]);
  return r;
}

std::string write_script(const std::string& name, const std::string& text) {
  const std::string path = std::string(VELLUMINE_BINARY_DIR) + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Removes the indicator's frames (their count depends on timing) and the closing line's time.
std::string normalised(std::string s) {
  for (std::size_t pos = s.find("\r\x1b[32m "); pos != std::string::npos;
       pos = s.find("\r\x1b[32m ", pos)) {
    const std::size_t end = s.find("A\r", s.find("\x1b[?25l\x1b[", pos));
    if (end == std::string::npos) break;
    s.erase(pos, end + 2 - pos);
  }
  return std::regex_replace(s, std::regex("Done in [0-9]+\\.[0-9]s"), "Done in Ns");
}

const std::string ERASE = "\x1b[?25h\r\x1b[J";

const std::string TURN =
    "{\"op\": \"user\", \"text\": \"why is the build red?\"}\n"
    "{\"op\": \"start_thinking\"}\n"
    "{\"op\": \"think\", \"text\": \"check the log first\", \"chunk_chars\": 4}\n"
    "{\"op\": \"set_stage\", \"stage\": \"reading\"}\n"
    "{\"op\": \"log_tool\", \"name\": \"read_file\", \"args\": \"build.log\"}\n"
    "{\"op\": \"sleep\", \"seconds\": 5}\n"
    "{\"op\": \"tool_result\", \"result\": \"error: missing ;\\n\\u001b[31mfailed\\u001b[0m\\n\"}\n"
    "{\"op\": \"start_thinking\", \"reset\": false}\n"
    "{\"op\": \"say\", \"text\": \"A semicolon is missing on line 12 of main.c.\\nAdd it.\", "
    "\"chunk_chars\": 7}\n"
    "{\"op\": \"done\"}\n";

// On a terminal the indicator runs, and each stop erases it; a pipe gets no indicator at all.
std::string turn_output(const std::string& answer, bool terminal) {
  const std::string erase = terminal ? ERASE : "";
  return "\n\x1b[1m❯\x1b[0m why is the build red?\n" + erase +
         "\n\x1b[1m▪ Read\x1b[0m \x1b[36mbuild.log\x1b[0m\n" + erase +
         "\x1b[2m  └ error: missing ;\x1b[0m\n" + "\x1b[2m  └ ␛[31mfailed␛[0m\x1b[0m\n" + erase +
         "\r\x1b[K\n\n  " + answer + "\n\x1b[2m  Done in Ns — tools: read_file\x1b[0m\n";
}

TEST(PlainEndToEnd, ScriptThroughAPipe) {
  const Finished r =
      run({{"--plain", "--script", write_script("e2e_turn.jsonl", TURN), "--speed", "0"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(normalised(r.out),
            turn_output("A semicolon is missing on line 12 of main.c.\n  Add it.", false));
}

TEST(PlainEndToEnd, ScriptThroughANarrowTerminalWithTheIndicatorDrawing) {
  // At speed 10 the five-second tool run lasts half a second: the indicator draws meanwhile.
  Launch l{{"--plain", "--script", write_script("e2e_turn.jsonl", TURN), "--speed", "10"}};
  l.out = Stdout::pty;
  l.cols = 20;
  const Finished r = run(l);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(normalised(r.out),
            turn_output("A semicolon is mi\n  ssing on line 12 \n  of main.c.\n  Add it.", true));
  // A frame of the tool's run: its stage, and rules of the 24-dash minimum for 20 columns.
  std::string rule = "\n\x1b[2m  ";
  for (int i = 0; i < 24; ++i) rule += "─";
  EXPECT_NE(r.out.find("\r\x1b[32m ▲ reading... ("), std::string::npos);
  EXPECT_NE(r.out.find(rule + "\x1b[0m\x1b[K\n\x1b[2m  › \x1b[0m\x1b[K" + rule), std::string::npos);
}

TEST(PlainEndToEnd, BadScriptWritesNothingAndExitsWith2) {
  const std::string path = write_script(
      "e2e_bad.jsonl", "{\"op\": \"start_thinking\"}\n{\"op\": \"dance\"}\n{\"op\": \"done\"}\n");
  const Finished r = run({{"--plain", "--script", path}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(path + ":2: unknown op \"dance\""), std::string::npos) << r.err;

  const Finished missing = run({{"--plain", "--script", "/nonexistent/script.jsonl"}});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  const Finished bad_speed = run({{"--demo", "--speed", "-1"}});
  EXPECT_EQ(bad_speed.status, 2);
  const Finished unknown = run({{"--plain", "--colour"}});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
}

TEST(PlainEndToEnd, WithoutAScriptTheDemoPlays) {
  const Finished r = run({{"--plain", "--speed", "0"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("parse_duration"), std::string::npos);
}

const std::string APPROVAL =
    "{\"op\": \"log_tool\", \"name\": \"bash\", \"args\": \"rm -rf build\"}\n"
    "{\"op\": \"approve\", \"tool\": \"bash\", \"command\": \"rm -rf build\\u0007\"}\n"
    "{\"op\": \"tool_result\", \"result\": \"removed\"}\n";

TEST(PlainEndToEnd, ApprovalWithoutATerminalIsDeniedAndSaysSo) {
  const Finished r =
      run({{"--plain", "--script", write_script("e2e_approve.jsonl", APPROVAL), "--speed", "0"}});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string out = normalised(r.out);
  EXPECT_NE(out.find("    \x1b[36mrm -rf build␇\x1b[0m\n  Allow? [y/N] n (no terminal to ask)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\x1b[31m  └ Denied by user\x1b[0m\n"), std::string::npos);
  EXPECT_EQ(out.find("removed"), std::string::npos);
}

TEST(PlainEndToEnd, YesApprovesEveryCommand) {
  const Finished r = run({{"--plain", "--yes", "--script",
                           write_script("e2e_approve.jsonl", APPROVAL), "--speed", "0"}});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string out = normalised(r.out);
  EXPECT_NE(out.find("Allow? [y/N] y (--yes)\n"), std::string::npos);
  EXPECT_NE(out.find("\x1b[2m  └ removed\x1b[0m\n"), std::string::npos);
}

TEST(PlainEndToEnd, DemoPlaysAWholeTurn) {
  const Finished r = run({{"--demo", "--speed", "0", "--yes"}});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string out = normalised(r.out);
  for (const char* part : {"▪ Searched", "▪ Read", "▪ Edited", "▪ Ran", "Allow? [y/N] y (--yes)",
                           "```c", "Done in Ns — tools: grep, read_file, edit_file, bash"}) {
    EXPECT_NE(out.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(run({{"--plain", "--demo", "--speed", "0", "--yes"}}).out.size() > 0, true);
}

TEST(PlainEndToEnd, ClosedStandardOutputIsReportedNotFatal) {
  Launch l{{"--demo", "--speed", "0", "--yes"}};
  l.out = Stdout::closed_pipe;
  const Finished r = run(l);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("vellumine: "), std::string::npos);
}

TEST(PlainEndToEnd, HelpExplainsTheOptionsAndTheScriptFormat) {
  const Finished r = run({{"--help"}});
  EXPECT_EQ(r.status, 0);
  for (const char* part : {"--plain", "--demo", "--script", "--speed", "--yes", "JSON Lines",
                           "tool_result", "Denied by user", "exit status is 2"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
}

}  // namespace
