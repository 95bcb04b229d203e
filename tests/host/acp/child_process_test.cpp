// Child processes that never outlive us, and the terminals run for the agent.

#include "host/acp/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/acp/file_service.h"
#include "host/acp/launcher.h"
#include "host/acp/process_alive.h"
#include "host/acp/terminal_service.h"
#include "host/temp_folder.h"

namespace {

using namespace host::acp;
using namespace std::chrono_literals;

SpawnOptions run(std::vector<std::string> argv, std::string cwd = {}) {
  SpawnOptions o;
  o.argv = std::move(argv);
  o.cwd = std::move(cwd);
  return o;
}

TerminalRequest command(std::string program, std::vector<std::string> args = {},
                        std::optional<std::string> cwd = std::nullopt) {
  TerminalRequest r;
  r.command = std::move(program);
  r.args = std::move(args);
  r.cwd = std::move(cwd);
  return r;
}

TEST(ChildProcess, RunsInAGroupOfItsOwnWithoutAShell) {
  ChildProcess child(run({"sh", "-c", "echo $0 \"$1\"", "a;b", "c d"}));
  EXPECT_EQ(::getpgid(child.pid()), child.pid());
  std::string out(64, '\0');
  const ssize_t n = ::read(child.stdout_fd(), out.data(), out.size());
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  EXPECT_EQ(out, "a;b c d\n");
  EXPECT_EQ(child.wait_for(10s)->code, 0);
}

TEST(ChildProcess, ReportsWhatCannotStart) {
  EXPECT_THROW(ChildProcess(run({"no-such-program-anywhere"})), SpawnError);
  EXPECT_THROW(ChildProcess(run({"true"}, "/no/such/folder")), SpawnError);
  EXPECT_THROW(ChildProcess(run({})), SpawnError);
}

TEST(ChildProcess, AChildThatIgnoresSigtermIsKilledWithItsGroup) {
  pid_t pid = 0;
  pid_t grandchild = 0;
  {
    // The shell ignores SIGTERM and leaves a grandchild in its group.
    ChildProcess child(run({"sh", "-c", "trap '' TERM; sleep 300 & echo $!; wait"}));
    pid = child.pid();
    char buffer[32] = {};
    ASSERT_GT(::read(child.stdout_fd(), buffer, sizeof buffer - 1), 0);
    grandchild = std::atoi(buffer);
    const ExitStatus s = child.terminate(100ms);
    EXPECT_EQ(s.signal, SIGKILL) << describe(s);
  }
  EXPECT_FALSE(host_test::process_alive(pid));
  // The grandchild may linger as a zombie of init for a moment; it must not keep running.
  for (int i = 0; i < 200 && host_test::process_alive(grandchild); ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(host_test::process_alive(grandchild));
}

struct TailCase {
  std::string text;
  std::size_t limit;
  std::string kept;
};

class KeepTail : public testing::TestWithParam<TailCase> {};

TEST_P(KeepTail, DropsTheOldestAtACharacterBoundary) {
  std::string text = GetParam().text;
  EXPECT_EQ(keep_tail(text, GetParam().limit), GetParam().text.size() > GetParam().limit);
  EXPECT_EQ(text, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, KeepTail,
                         testing::Values(TailCase{"abcdef", 10, "abcdef"},
                                         TailCase{"abcdef", 3, "def"},
                                         TailCase{"aé", 1, ""},  // é cannot be cut in half
                                         TailCase{"xé", 3, "xé"}, TailCase{"x日本", 4, "本"},
                                         TailCase{"x日本", 6, "日本"}));

TEST(TerminalService, RunsInTheFolderWithTheEnvironmentAndCapsTheOutput) {
  host_test::TempFolder folder;
  std::filesystem::create_directory(folder.path() / "sub");
  Launcher launcher;
  const FileService files(folder.path());
  TerminalService terminals(launcher, files);

  const std::string root = std::filesystem::canonical(folder.path()).string();
  TerminalRequest greet = command("sh", {"-c", "pwd; echo $GREETING >&2; exit 3"}, "sub");
  greet.env = {{"GREETING", "hi"}};
  const std::string id = terminals.create(greet);
  EXPECT_EQ(terminals.exit_waiter(id)().code, 3);
  EXPECT_EQ(terminals.output(id).output, root + "/sub\nhi\n");
  EXPECT_FALSE(terminals.output(id).truncated);

  TerminalRequest many = command("seq", {"1", "2000"});
  many.output_byte_limit = 1000;
  const std::string seq = terminals.create(many);
  (void)terminals.exit_waiter(seq)();
  const TerminalOutput out = terminals.output(seq);
  EXPECT_TRUE(out.truncated);
  EXPECT_EQ(out.output.size(), 1000u);
  EXPECT_TRUE(out.output.ends_with("1999\n2000\n"));

  const std::string first = terminals.create(command("pwd"));
  (void)terminals.exit_waiter(first)();
  EXPECT_EQ(terminals.output(first).output, root + "\n");

  EXPECT_THROW(terminals.create(command("pwd", {}, "/")), RefusedRequest);
  EXPECT_THROW(terminals.create(command("no-such-program-anywhere")), RefusedRequest);
}

TEST(TerminalService, ReleaseKillsTheCommandAndKeepsItsOutputForTheTranscript) {
  host_test::TempFolder folder;
  Launcher launcher;
  const FileService files(folder.path());
  TerminalService terminals(launcher, files);
  const std::string id = terminals.create(command("sh", {"-c", "echo started; sleep 300"}));
  auto wait = terminals.exit_waiter(id);
  while (terminals.output(id).output.empty()) std::this_thread::sleep_for(1ms);
  terminals.release(id);
  EXPECT_EQ(wait().signal, SIGKILL);
  EXPECT_THROW((void)terminals.output(id), RefusedRequest);
  EXPECT_EQ(terminals.snapshot(id)->output, "started\n");
}

TEST(TerminalService, AKilledCommandHasEndedWhenKillReturns) {
  // The agent reads the output's end and the exit status right after terminal/kill.
  host_test::TempFolder folder;
  Launcher launcher;
  const FileService files(folder.path());
  TerminalService terminals(launcher, files);
  const std::string id = terminals.create(command("sleep", {"300"}));
  terminals.kill(id);
  EXPECT_EQ(terminals.output(id).exit->signal, SIGKILL);
}

}  // namespace
