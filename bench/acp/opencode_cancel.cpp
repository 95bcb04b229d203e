// Ctrl+C with a real coding agent: opencode (the pinned npm package) drives the whole
// application, its model the tests' fake OpenAI-compatible server on loopback, which starts an
// answer and then holds the connection open. Each round sends a prompt, waits for the answer's
// first line on screen, presses Ctrl+C and times the key to the first frame showing the turn
// stopped; beside it, the time until the agent has closed its model request and confirmed.
// Runs sealed as the end-to-end test does (a network namespace with only loopback, a home of
// its own); says why and stops when it cannot.

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "acp_opencode_setup.h"
#include "acp_sandbox.h"
#include "bench/acp/acp_app.h"
#include "host/fake_chat_server.h"

namespace {

using namespace bench_app;
using namespace bench_acp;

constexpr int ROUNDS = 5;
constexpr double CANCEL_GOAL_MS = 100.0;
const std::string WAITING = "Thinking it over.";

bool is_title_request(const nlohmann::json& request) {
  const auto& messages = request["messages"];
  return !messages.empty() && messages[0].dump().find("title generator") != std::string::npos;
}

host_test::ChatReply model(const nlohmann::json& request) {
  host_test::ChatReply reply;
  const std::string text = is_title_request(request) ? "Waiting" : WAITING + "\n\n";
  reply.pieces = {
      host_test::sse({host_test::delta_event({{"role", "assistant"}, {"content", text}})},
                     is_title_request(request))};
  if (!is_title_request(request)) reply.then = host_test::ChatReply::Then::hold;
  return reply;
}

}  // namespace

int main() {
  if (!std::filesystem::exists(test_support::opencode_program())) {
    fmt::print("acp: opencode is not installed (scripts/install-deps); no acp_cancel_opencode\n");
    return 0;
  }
  if (const std::string why = test_support::enter_loopback_only_network(); !why.empty()) {
    fmt::print("acp: no network namespace with only loopback ({}); no acp_cancel_opencode\n", why);
    return 0;
  }
  const test_support::AgentSandbox sandbox(fmt::format("vellumine-bench-opencode-{}", ::getpid()));
  const host_test::FakeChatServer server(model);
  host::acp::AcpOptions options;
  options.command = {test_support::opencode_program().string(), "acp"};
  options.cwd = sandbox.project().string();
  options.env = test_support::prepare_opencode(sandbox, server.url());

  AcpApp app(options);
  ScreenWatch screen(app);
  FrameSink sink;
  sink.on_frame = [&](std::string_view, Clock::time_point at) { screen.on_frame(at); };
  UiThread ui(app, sink);
  sink.wait_frames(1);

  // The agent starts with the first turn, before its answer's first line: not in the figure.
  std::vector<double> over;
  std::vector<double> ms = time_cancels(app, ui, screen, "think it over", WAITING, ROUNDS, &over);
  std::string rounds;
  for (const double m : ms) rounds += fmt::format(" {:.1f}", m);
  std::string confirmed;
  for (const double m : over) confirmed += fmt::format(" {:.1f}", m);
  fmt::print("acp_cancel_opencode rounds_ms={} confirmed_ms={}\n", rounds, confirmed);
  const double slowest = *std::max_element(ms.begin(), ms.end());
  const double median = percentile(ms, 50);
  fmt::print(
      "ratio acp_cancel_opencode = {:.2f} ({:.0f} ms / Ctrl+C to the turn's end in the transcript "
      "with opencode, slowest of {} {:.1f} ms; median {:.1f} ms; goal >= 1)\n",
      CANCEL_GOAL_MS / std::max(slowest, 1e-6), CANCEL_GOAL_MS, ROUNDS, slowest, median);
  return 0;
}
