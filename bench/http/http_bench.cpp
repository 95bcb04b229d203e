// The HTTP agent against a fake server on 127.0.0.1 that streams 20,000 deltas as fast as it
// can. Three sides in alternating rounds, medians of five:
//   bare    a client that only receives the same answer (the server and the socket's cost);
//   parse   the event parser and JSON parsing alone over the same bytes, in memory;
//   ours    the whole road: agent, parsing, the output manager with an event callback, writes.
// Prints the wall time against the bare client (1 = the server is the limit) and our CPU per
// delta on top of receiving and parsing against the 2 µs goal; then, with the server pacing the
// deltas, the time from a delta leaving the server to its "content" event against one frame.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "host/fake_chat_server.h"
#include "host/runtime/chat_event.h"
#include "host/runtime/http_agent.h"
#include "host/runtime/http_transfer.h"
#include "host/runtime/sse_parser.h"
#include "zell/output/output_manager.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr int kDeltas = 20'000;
constexpr int kRounds = 5;

double thread_cpu_ns() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Cost {
  double wall_ns = 0;  // per delta
  double cpu_ns = 0;   // per delta, on the measuring thread
};

template <typename F>
Cost measure(F&& run) {
  const auto t0 = Clock::now();
  const double c0 = thread_cpu_ns();
  run();
  const double cpu = thread_cpu_ns() - c0;
  const double wall = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
  return {wall / kDeltas, cpu / kDeltas};
}

// Short tokens, a line break now and then, in the shape llama.cpp's server streams them.
std::vector<std::string> delta_events(int n) {
  std::vector<std::string> events;
  const char* words[] = {" the", " parser", " reads", " one", " token", " ahead", ",", " so"};
  for (int i = 0; i < n; ++i) {
    json e = host_test::delta_event(
        {{"content", std::string(words[i % 8]) + (i % 12 == 11 ? "\n" : "")}});
    e["system_fingerprint"] = "b4567-fake";
    e["choices"][0]["logprobs"] = nullptr;
    events.push_back("data: " + e.dump() + "\n\n");
  }
  return events;
}

class NullWriter final : public zell::output::Writer {
 public:
  void write(std::string_view bytes) override { written += bytes.size(); }
  void flush() override {}
  std::size_t written = 0;
};

host::runtime::HttpAgentOptions agent_options(const std::string& url) {
  host::runtime::HttpAgentOptions options;
  options.base_url = url;
  options.model = "fake-model";
  options.mode = "turbo";
  return options;
}

std::size_t run_ours(const std::string& url, std::vector<Clock::time_point>* content_times) {
  auto out = std::make_shared<NullWriter>();
  zell::output::OutputPorts ports;
  ports.out = out;
  ports.cols = [] { return 80; };
  zell::output::OutputManager manager(ports);
  std::size_t events = 0;
  manager.set_event_callback([&](const std::string& type, std::shared_ptr<zell::Payload>) {
    ++events;
    if (content_times != nullptr && type == "content") content_times->push_back(Clock::now());
  });
  host::runtime::HttpAgent agent(manager, agent_options(url));
  const auto result = agent.run_turn("go");
  if (result.end != host::runtime::TurnEnd::done) {
    std::fprintf(stderr, "turn failed: %s\n", result.reason.c_str());
    std::exit(1);
  }
  return out->written + events;
}

// The same transport (libcurl through HttpTransfer) with nothing done to the body.
std::size_t run_bare(const std::string& url) {
  host::runtime::HttpRequest request;
  request.url = url + "/v1/chat/completions";
  request.post_body = R"({"model":"fake-model","messages":[{"role":"user","content":"go"}]})";
  request.headers = {"Content-Type: application/json"};
  std::size_t received = 0;
  host::runtime::HttpTransfer transfer;
  transfer.run(request, {}, [&](std::string_view bytes) {
    received += bytes.size();
    return true;
  });
  return received;
}

std::size_t run_parse(const std::string& body) {
  std::size_t chars = 0;
  host::runtime::SseParser parser([&](std::string_view data) {
    if (host::runtime::is_done_marker(data)) return false;
    if (const auto delta = host::runtime::parse_chat_event(data)) chars += delta->content.size();
    return true;
  });
  constexpr std::size_t kRead = 16 * 1024;  // about what a socket read hands over
  for (std::size_t at = 0; at < body.size(); at += kRead) {
    parser.feed(std::string_view(body).substr(at, kRead));
  }
  return chars;
}

}  // namespace

int main() {
  const std::vector<std::string> events = delta_events(kDeltas);
  std::string body;
  for (const auto& e : events) body += e;
  body += "data: [DONE]\n\n";

  const host_test::FakeChatServer server([&](const json&) {
    host_test::ChatReply reply;
    constexpr std::size_t kWrite = 16 * 1024;
    for (std::size_t at = 0; at < body.size(); at += kWrite) {
      reply.pieces.push_back(body.substr(at, kWrite));
    }
    return reply;
  });

  std::vector<double> bare_wall, bare_cpu, parse_cpu, ours_wall, ours_cpu;
  std::size_t sink = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Cost bare = measure([&] { sink += run_bare(server.url()); });
    const Cost parse = measure([&] { sink += run_parse(body); });
    const Cost ours = measure([&] { sink += run_ours(server.url(), nullptr); });
    bare_wall.push_back(bare.wall_ns);
    bare_cpu.push_back(bare.cpu_ns);
    parse_cpu.push_back(parse.cpu_ns);
    ours_wall.push_back(ours.wall_ns);
    ours_cpu.push_back(ours.cpu_ns);
  }
  const double overhead = median(ours_cpu) - median(bare_cpu) - median(parse_cpu);
  std::printf(
      "ratio http_stream_20k = %.2f (bare client receiving the same stream %.0f ns/delta ÷ "
      "agent to output manager %.0f ns/delta; %.0f deltas/s)\n",
      median(bare_wall) / median(ours_wall), median(bare_wall), median(ours_wall),
      1e9 / median(ours_wall));
  std::printf(
      "ratio http_stream_20k_over_parsing = %.2f (bare client + SSE/JSON parsing alone %.0f "
      "ns/delta ÷ agent to output manager %.0f ns/delta)\n",
      (median(bare_wall) + median(parse_cpu)) / median(ours_wall),
      median(bare_wall) + median(parse_cpu), median(ours_wall));
  std::printf(
      "ratio http_cpu_over_parsing = %.2f (goal 2000 ns ÷ ours %.0f ns/delta: agent CPU %.0f − "
      "receiving %.0f − SSE+JSON parsing %.0f)\n",
      2000.0 / std::max(overhead, 1.0), overhead, median(ours_cpu), median(bare_cpu),
      median(parse_cpu));

  // Paced: one delta every 250 µs, each written on its own, stamped as it leaves.
  constexpr int kPaced = 2'000;
  std::vector<Clock::time_point> sent(kPaced);
  const host_test::FakeChatServer paced([&](const json&) {
    host_test::ChatReply reply;
    reply.pieces.assign(events.begin(), events.begin() + kPaced);
    reply.pieces.push_back("data: [DONE]\n\n");
    reply.gap = std::chrono::microseconds(250);
    reply.before_piece = [&](std::size_t i) {
      if (i < sent.size()) sent[i] = Clock::now();
    };
    return reply;
  });
  std::vector<Clock::time_point> shown;
  shown.reserve(kPaced);
  sink += run_ours(paced.url(), &shown);
  std::vector<double> latency_us;
  for (std::size_t i = 0; i < std::min(shown.size(), sent.size()); ++i) {
    latency_us.push_back(std::chrono::duration<double, std::micro>(shown[i] - sent[i]).count());
  }
  std::sort(latency_us.begin(), latency_us.end());
  const double p50 = latency_us[latency_us.size() / 2];
  const double p99 = latency_us[latency_us.size() * 99 / 100];
  std::printf(
      "ratio http_delta_latency_p99 = %.1f (one frame 16667 µs ÷ p99 %.0f µs from the server's "
      "write to the content event; p50 %.0f µs)\n",
      16667.0 / p99, p99, p50);
  return sink == 0 ? 1 : 0;
}
