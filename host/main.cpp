// vellumine: the terminal presentation of a local coding agent. Until the full-screen UI lands,
// every run plays the plain presentation (`--plain`), driven by a scripted agent.

#include <fmt/format.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "host/demo_script.h"
#include "host/plain_approval.h"
#include "host/script.h"
#include "host/scripted_agent.h"
#include "zell/errors.h"
#include "zell/output/output_manager.h"

namespace {

volatile std::sig_atomic_t stdout_is_terminal = 0;

// Ctrl+C while the indicator hides the cursor must not leave the terminal without one.
extern "C" void on_interrupt(int sig) {
  if (stdout_is_terminal) {
    constexpr char restore[] = "\x1b[?25h\r\x1b[J";
    const ssize_t ignored = ::write(STDOUT_FILENO, restore, sizeof restore - 1);
    (void)ignored;
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw host::ScriptError(fmt::format("cannot read {}: {}", path, std::strerror(errno)));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe on standard output is an error to report, not a reason to die silently.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App app{"vellumine: the terminal presentation of a local coding agent."};
  app.footer(host::script_help());
  bool plain = false;
  bool demo = false;
  bool yes = false;
  std::string script_path;
  double speed = 1.0;
  app.add_flag("--plain", plain,
               "plain line-oriented output on standard output (also the default, until the "
               "full-screen interface exists)");
  auto* demo_opt = app.add_flag("--demo", demo, "play the built-in demo turn");
  auto* script_opt =
      app.add_option("--script", script_path, "play an agent script (JSON Lines, see below)")
          ->type_name("FILE");
  demo_opt->excludes(script_opt);
  app.add_option("--speed", speed,
                 "playback speed (default 1): sleeps and delays are divided by X; 0 skips them all")
      ->type_name("X")
      ->check([](const std::string& v) -> std::string {
        try {
          const double x = std::stod(v);
          return std::isfinite(x) && x >= 0 ? "" : "must be a number of 0 or more";
        } catch (...) {
          return "must be a number of 0 or more";
        }
      });
  app.add_flag("--yes", yes, "approve every command without asking");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "vellumine: %s\nRun vellumine --help for the options.\n", e.what());
    return 2;
  }
  (void)plain;  // the only presentation so far; a later --tui chooses the other one

  std::vector<host::Step> steps;
  try {
    if (demo) {
      steps = host::parse_script(host::demo_script(), "demo");
    } else if (!script_path.empty()) {
      steps = host::parse_script(read_file(script_path), script_path);
    } else {
      std::fprintf(stderr, "vellumine: nothing to play: give --demo or --script FILE\n");
      return 2;
    }
  } catch (const host::ScriptError& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 2;
  }

  stdout_is_terminal = ::isatty(STDOUT_FILENO) == 1;
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);

  zell::output::OutputManager manager;
  manager.set_approval_callback(host::make_plain_approval(
      manager, yes ? host::ApprovalMode::approve_all : host::ApprovalMode::ask));
  host::ScriptedAgent agent(manager, std::move(steps), host::AgentOptions{speed});
  try {
    agent.run_on_worker();
  } catch (const zell::ExitRequest& e) {
    return e.status();
  } catch (const zell::Interrupt&) {
    return 130;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 1;
  }
  return 0;
}
