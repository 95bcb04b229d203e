// vellumine: the terminal presentation of a local coding agent. With a terminal on standard
// output it opens the full-screen interface (mode picker, then the chat); with --plain, or when
// standard output is not a terminal, it writes the plain presentation. The agent is a model
// server when the configuration says `backend = "http"`; otherwise a scripted agent plays the
// built-in demo, or the script given with --script.

#include <fmt/format.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "host/acp/acp_agent.h"
#include "host/acp/plain_permission.h"
#include "host/agent/demo_script.h"
#include "host/agent/script.h"
#include "host/agent/scripted_agent.h"
#include "host/config/config_path.h"
#include "host/config/config_store.h"
#include "host/plain/input_hangup.h"
#include "host/plain/interrupt_relay.h"
#include "host/plain/line_editor.h"
#include "host/plain/plain_approval.h"
#include "host/plain/plain_chat.h"
#include "host/plain/plain_notify.h"
#include "host/runtime/http_agent.h"
#include "host/runtime/model_runtime_gateway.h"
#include "host/tui/headless_export.h"
#include "host/tui/prompt_history.h"
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
  bool scripted = false;  // --demo or --script: play a script whatever the backend
  std::string script_path;
  std::string config_path;
  std::optional<std::string> prompt;
  double speed = 1.0;
  std::vector<std::string> agent_command;  // everything after --agent
  std::optional<std::string> theme;        // --theme, over [ui] theme
  std::string export_path;                 // --export: play the script headless, write this
};

const char* const CONFIG_HELP =
    "\n"
    "Configuration (TOML; --config PATH, else $XDG_CONFIG_HOME/vellumine/config.toml, else\n"
    "~/.config/vellumine/config.toml; a missing file means the defaults). To chat with a local\n"
    "OpenAI-compatible model server, such as llama.cpp's `llama-server --port 8080`:\n"
    "\n"
    "  [runtime]\n"
    "  backend = \"http\"                    # \"demo\" (the default) plays the built-in demo\n"
    "  base_url = \"http://127.0.0.1:8080\"  # the server; /v1/chat/completions is asked\n"
    "  # model = \"qwen3-8b\"                # else the first model the server lists\n"
    "  timeout_s = 2                       # health check and connecting\n"
    "  laptop_26b_runtime_mode = \"turbo-think\"   # or \"turbo\": reasoning on or off\n"
    "\n"
    "  [agent]\n"
    "  # system_prompt = \"You are a careful coding assistant.\"\n"
    "  idle_timeout_s = 60                 # a server silent this long ends the turn\n"
    "\n"
    "  [ui]\n"
    "  theme = \"auto\"     # \"dark\", \"light\"; auto asks the terminal for its background\n"
    "  notify = \"auto\"    # \"bell\", \"off\": a finished turn or a question while the\n"
    "                     # terminal is not focused raises a notification (OSC 9/777, bell);\n"
    "                     # --plain: after a turn of 10 s or more, on a terminal only\n"
    "\n"
    "With backend = \"http\", the full-screen chat sends every prompt to the server and shows its\n"
    "reasoning as a thinking block; --plain reads prompts line by line from standard input\n"
    "(\"❯ \" prompt, until end of input), and --prompt TEXT runs one turn and exits: 0 when it\n"
    "completed, 1 when it ended in an error. Ctrl+C stops the running answer.\n"
    "\n"
    "Any agent that speaks the Agent Client Protocol can drive it instead, started as a child\n"
    "process (no shell): `vellumine --agent opencode acp`, or in the configuration\n"
    "\n"
    "  [agent]\n"
    "  command = [\"opencode\", \"acp\"]\n"
    "  # cwd = \"/path/to/project\"         # the session's folder (default: the current one)\n"
    "  # env = { OPENCODE_LOG = \"warn\" }\n"
    "\n"
    "The agent may read and write files and run commands only inside the session's folder; its\n"
    "permission requests are asked (1 allow once, 2 deny). Ctrl+C cancels its turn.\n";

// The configuration, or the reason it cannot be used (exit status 2 before anything is shown).
struct LoadedConfig {
  std::optional<host::config::TomlConfigStore> store;
  host::config::HostConfig config;
};

std::optional<LoadedConfig> load_config(const Options& o) {
  LoadedConfig loaded;
  try {
    loaded.store.emplace(o.config_path.empty() ? host::config::default_config_path()
                                               : std::filesystem::path(o.config_path));
    loaded.config = loaded.store->load();
    for (const auto& w : loaded.config.warnings)
      std::fprintf(stderr, "vellumine: warning: %s\n", w.c_str());
  } catch (const host::config::ConfigError& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return std::nullopt;
  }
  return loaded;
}

// The ACP agent to run: --agent's argv, else [agent] command (unless a script was asked for).
std::optional<host::acp::AcpOptions> acp_options(const LoadedConfig& c, const Options& o) {
  if (o.scripted) return std::nullopt;
  host::acp::AcpOptions options;
  options.command = o.agent_command.empty() ? c.config.agent.command : o.agent_command;
  if (options.command.empty()) return std::nullopt;
  if (o.agent_command.empty()) {
    options.cwd = c.config.agent.cwd.value_or("");
    options.env = c.config.agent.env;
  }
  return options;
}

bool uses_model_server(const LoadedConfig& c, const Options& o) {
  return c.config.runtime.backend == host::config::Backend::http && !o.scripted &&
         !acp_options(c, o);
}

// Runs the plain presentation's agent: the exit status it gives, 130 after Ctrl+C, 1 with the
// error on standard error.
template <typename Run>
int plain_session(Run&& run) {
  stdout_is_terminal = ::isatty(STDOUT_FILENO) == 1;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, on_interrupt);
  try {
    return run();
  } catch (const zell::ExitRequest& e) {
    return e.status();
  } catch (const zell::Interrupt&) {
    return 130;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 1;
  }
}

// The plain chat's loop: on a terminal the prompt is edited through the line editor (with the
// history the full screen keeps), else lines are read from standard input.
int plain_chat_loop(const std::function<host::runtime::TurnEnd(const std::string&)>& ask,
                    const Options& o) {
  if (o.prompt || ::isatty(STDIN_FILENO) != 1) {
    host::PlainChatOptions chat{.prompt = o.prompt, .echo_input = ::isatty(STDIN_FILENO) != 1};
    return host::run_plain_chat(ask, std::cin, chat);
  }
  const auto path = host::tui::PromptHistory::default_path();
  host::tui::PromptHistory history =
      path ? host::tui::PromptHistory(*path) : host::tui::PromptHistory();
  host::LineEditor editor(history);
  return host::run_plain_chat(ask, [&editor] { return editor.read(); });
}

// Notifications of the plain presentation, on standard output while it is a terminal.
termui::NotifyMethod plain_notify(const LoadedConfig& c) {
  return host::plain_notify_method(c.config.ui.notify, ::isatty(STDOUT_FILENO) == 1);
}

int run_plain_model_chat(const LoadedConfig& c, const Options& o) {
  return plain_session([&] {
    zell::output::OutputManager manager;
    host::runtime::HttpAgent agent(manager, host::runtime::http_agent_options(c.config));
    host::PlainNotifier notifier(plain_notify(c), std::make_shared<zell::output::FdWriter>(1));
    // Ctrl+C during an answer cancels it; at the prompt it ends the program as usual.
    const host::InterruptRelay relay([&agent] { return agent.cancel(); });
    return plain_chat_loop(
        notifier.timing([&agent](const std::string& text) { return agent.run_turn(text).end; }), o);
  });
}

int run_plain_acp_chat(host::acp::AcpOptions options, const LoadedConfig& c, const Options& o) {
  return plain_session([&] {
    zell::output::OutputManager manager;
    host::PlainNotifier notifier(plain_notify(c), std::make_shared<zell::output::FdWriter>(1));
    host::acp::PermissionAsker ask = host::acp::make_plain_permission_asker(
        manager, o.yes ? host::ApprovalMode::approve_all : host::ApprovalMode::ask);
    if (!o.yes) {
      ask = [&notifier, ask = std::move(ask)](const host::acp::PermissionQuestion& q) {
        notifier.question_asked("approval needed: " + q.title);
        auto answer = ask(q);
        notifier.question_answered();
        return answer;
      };
    }
    host::acp::AcpAgent agent(manager, std::move(options), std::move(ask));
    if (o.prompt) {
      agent.start();
    } else {
      // A user who closes the input while the agent is starting has left: stop waiting for it,
      // and end as a chat without prompts does.
      std::atomic<bool> left{false};
      host::run_watching_input(
          STDIN_FILENO,
          [&] {
            try {
              agent.start();
            } catch (const host::acp::AcpError&) {
              if (!left) throw;
            }
          },
          [&] {
            left = true;
            agent.abandon();
          });
      if (left) return 0;
    }
    const host::InterruptRelay relay([&agent] { return agent.cancel(); });
    return plain_chat_loop(
        notifier.timing([&agent](const std::string& text) { return agent.run_turn(text).end; }), o);
  });
}

int run_plain(std::vector<host::Step> steps, const LoadedConfig& c, const Options& o) {
  return plain_session([&] {
    zell::output::OutputManager manager;
    host::PlainNotifier notifier(plain_notify(c), std::make_shared<zell::output::FdWriter>(1));
    zell::output::ApprovalCallback approve = host::make_plain_approval(
        manager, o.yes ? host::ApprovalMode::approve_all : host::ApprovalMode::ask);
    if (!o.yes) {
      approve = [&notifier, approve = std::move(approve)](std::string_view tool,
                                                          std::string_view command) {
        notifier.question_asked("approval needed: " + std::string(tool));
        const bool approved = approve(tool, command);
        notifier.question_answered();
        return approved;
      };
    }
    manager.set_approval_callback(std::move(approve));
    host::ScriptedAgent agent(manager, std::move(steps), host::AgentOptions{o.speed});
    // The whole script is one turn for the notifications.
    notifier.timing([&agent](const std::string&) {
      agent.run_on_worker();
      return host::runtime::TurnEnd::done;
    })("");
    return 0;
  });
}

int run_full_screen(std::vector<host::Step> steps, const Options& o, LoadedConfig& loaded) {
  auto& store = loaded.store;
  auto& config = loaded.config;
  host::tui::TuiOptions options;
  options.preflight = o.preflight;
  options.speed = o.speed;
  options.config_path = store->path().string();
  options.history_path = host::tui::PromptHistory::default_path();
  options.look = host::tui::screen_look(o.theme.value_or(config.ui.theme), config.ui.notify);
  if (auto acp = acp_options(loaded, o)) {
    options.acp = std::move(*acp);
  } else if (uses_model_server(loaded, o)) {
    options.http = host::runtime::http_agent_options(config);
  } else {
    options.script = std::move(steps);
  }
  if (!o.export_path.empty()) options.preflight = false;
  host::tui::VellumineTUI app(config.zell, *store,
                              host::runtime::make_runtime_gateway_factory(config.runtime),
                              std::move(options));
  if (!o.export_path.empty()) {
    try {
      host::tui::play_and_export(app, o.export_path);
    } catch (const std::exception& e) {
      app.shutdown();
      std::fprintf(stderr, "vellumine: %s\n", e.what());
      return 1;
    }
    app.shutdown();
    return 0;
  }
  const int status = app.run();
  app.shutdown();  // the agent stops before the screens and the manager go
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe on standard output is an error to report, not a reason to die silently.
  std::signal(SIGPIPE, SIG_IGN);

  // Everything after --agent is the agent's own command line, options and all.
  std::vector<std::string> agent_command;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) != "--agent") continue;
    agent_command.assign(argv + i + 1, argv + argc);
    if (agent_command.empty()) {
      std::fprintf(stderr,
                   "vellumine: --agent needs the agent's command, e.g. --agent opencode acp\n");
      return 2;
    }
    argc = i;
    break;
  }

  CLI::App cli{
      "vellumine: the terminal presentation of a local coding agent.\n"
      "With no options it opens the full-screen interface and plays the built-in demo."};
  cli.footer(std::string(CONFIG_HELP) + host::script_help());
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
  cli.add_option("--prompt", o.prompt,
                 "with backend = \"http\" or an ACP agent: run this one prompt in the plain "
                 "presentation and exit")
      ->type_name("TEXT");
  cli.add_option("--theme", o.theme,
                 "full screen colours: auto (the default: light ones on a light terminal), dark, "
                 "or light; over [ui] theme")
      ->type_name("THEME")
      ->check(CLI::IsMember({"auto", "dark", "light"}));
  cli.add_option("--export", o.export_path,
                 "with --script or --demo: play it without a terminal and write the transcript "
                 "to OUT (.md Markdown, .html a web page, .svg a picture of the screen)")
      ->type_name("OUT");
  // Taken out of the arguments above; listed here for --help.
  bool agent_listed = false;
  cli.add_flag("--agent", agent_listed,
               "run an Agent Client Protocol agent: everything after --agent is its "
               "command, e.g. vellumine --agent opencode acp");

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
  o.agent_command = std::move(agent_command);
  o.scripted = demo || !o.script_path.empty();
  if (!o.export_path.empty() && !o.scripted) {
    std::fprintf(stderr, "vellumine: --export needs --script FILE or --demo\n");
    return 2;
  }
  if (::isatty(STDOUT_FILENO) != 1 || o.prompt) o.plain = true;
  if (!o.export_path.empty()) o.plain = false;  // the full screen's transcript, shown nowhere

  // Everything that can be wrong with the configuration is reported before anything is shown.
  std::optional<LoadedConfig> loaded = load_config(o);
  if (!loaded) return 2;
  const std::optional<host::acp::AcpOptions> acp = acp_options(*loaded, o);
  if (o.prompt && !uses_model_server(*loaded, o) && !acp) {
    std::fprintf(stderr,
                 "vellumine: --prompt needs a model server or an agent: set backend = \"http\" "
                 "in %s, or give --agent CMD\n",
                 loaded->store->path().c_str());
    return 2;
  }
  if (o.plain && acp) return run_plain_acp_chat(*acp, *loaded, o);
  if (o.plain && uses_model_server(*loaded, o)) return run_plain_model_chat(*loaded, o);

  std::vector<host::Step> steps;
  try {
    steps = o.script_path.empty() ? host::parse_script(host::demo_script(), "demo")
                                  : host::parse_script(read_file(o.script_path), o.script_path);
  } catch (const host::ScriptError& e) {
    std::fprintf(stderr, "vellumine: %s\n", e.what());
    return 2;
  }
  return o.plain ? run_plain(std::move(steps), *loaded, o)
                 : run_full_screen(std::move(steps), o, *loaded);
}
