// vellumine: the terminal presentation of a local coding agent. With a terminal on standard
// output it opens the full-screen interface (mode picker, then the chat); with --plain, or when
// standard output is not a terminal, it writes the plain presentation. Either way a scripted
// agent plays the built-in demo, or the script given with --script.

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

#include "host/config/config_path.h"
#include "host/config/config_store.h"
#include "host/demo_script.h"
#include "host/plain_approval.h"
#include "host/runtime/zell_runtime_gateway.h"
#include "host/script.h"
#include "host/scripted_agent.h"
#include "host/tui/vellumine_tui.h"
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

struct Options {
  bool plain = false;
  bool yes = false;
  bool preflight = true;
  std::string script_path;
  std::string config_path;
  double speed = 1.0;
};

int run_plain(std::vector<host::Step> steps, const Options& o) {
  stdout_is_terminal = ::isatty(STDOUT_FILENO) == 1;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, on_interrupt);

  zell::output::OutputManager manager;
  manager.set_approval_callback(host::make_plain_approval(
      manager, o.yes ? host::ApprovalMode::approve_all : host::ApprovalMode::ask));
  host::ScriptedAgent agent(manager, std::move(steps), host::AgentOptions{o.speed});
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

int run_full_screen(std::vector<host::Step> steps, const Options& o) {
  // Everything that can be wrong with the configuration is reported before the screen opens.
  std::optional<host::config::TomlConfigStore> store;
  host::config::HostConfig config;
  try {
    store.emplace(o.config_path.empty() ? host::config::default_config_path()
                                        : std::filesystem::path(o.config_path));
    config = store->load();
  } catch (const host::config::ConfigError& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 2;
  }
  host::tui::TuiOptions options;
  options.preflight = o.preflight;
  options.speed = o.speed;
  options.script = std::move(steps);
  options.config_path = store->path().string();
  host::tui::VellumineTUI app(config.zell, *store,
                              host::runtime::make_runtime_gateway_factory(config.runtime),
                              std::move(options));
  const int status = app.run();
  app.shutdown();  // the agent stops before the screens and the manager go
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe on standard output is an error to report, not a reason to die silently.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App cli{
      "vellumine: the terminal presentation of a local coding agent.\n"
      "With no options it opens the full-screen interface and plays the built-in demo."};
  cli.footer(host::script_help());
  Options o;
  bool demo = false;
  cli.set_version_flag("--version", std::string("vellumine ") + VELLUMINE_VERSION);
  cli.add_flag("--plain", o.plain,
               "plain line-oriented output on standard output (also when standard output is "
               "not a terminal)");
  auto* demo_opt = cli.add_flag("--demo", demo, "play the built-in demo (the default)");
  auto* script_opt =
      cli.add_option("--script", o.script_path, "play an agent script (JSON Lines, see below)")
          ->type_name("FILE");
  demo_opt->excludes(script_opt);
  cli.add_option("--speed", o.speed,
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
  cli.add_option("--config", o.config_path,
                 "the configuration file (default $XDG_CONFIG_HOME/vellumine/config.toml, else "
                 "~/.config/vellumine/config.toml)")
      ->type_name("PATH");
  bool no_preflight = false;
  cli.add_flag("--no-preflight", no_preflight,
               "open the chat at once, without the runtime mode picker");
  cli.add_flag("--yes", o.yes, "plain presentation: approve every command without asking");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "vellumine: %s\nRun vellumine --help for the options.\n", e.what());
    return 2;
  }
  o.preflight = !no_preflight;
  if (::isatty(STDOUT_FILENO) != 1) o.plain = true;

  std::vector<host::Step> steps;
  try {
    steps = o.script_path.empty() ? host::parse_script(host::demo_script(), "demo")
                                  : host::parse_script(read_file(o.script_path), o.script_path);
  } catch (const host::ScriptError& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 2;
  }
  return o.plain ? run_plain(std::move(steps), o) : run_full_screen(std::move(steps), o);
}
