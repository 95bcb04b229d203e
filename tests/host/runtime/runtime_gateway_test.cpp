// The runtime gateway against fake model servers on 127.0.0.1: what each kind of answer (or
// silence) makes of the health check, always within the configured time.

#include "host/runtime/model_runtime_gateway.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "host/runtime/server_message.h"

namespace {

using host::config::Backend;
using host::config::RuntimeSettings;

constexpr double kTimeoutS = 0.3;

zell::ports::Health check(const std::string& base_url, const std::string& mode = "turbo") {
  RuntimeSettings settings;
  settings.backend = Backend::http;
  settings.base_url = base_url;
  settings.timeout_s = kTimeoutS;
  const auto factory = host::runtime::make_runtime_gateway_factory(settings);
  return factory(zell::ports::RuntimeConfig{mode})->healthcheck();
}

// A model server that answers each path with a fixed status and JSON body (404 elsewhere).
class FakeServer {
 public:
  struct Reply {
    int status;
    std::string body;
  };

  explicit FakeServer(const std::map<std::string, Reply>& replies) {
    for (const auto& [path, reply] : replies) {
      server_.Get(path, [reply](const httplib::Request&, httplib::Response& response) {
        response.status = reply.status;
        response.set_content(reply.body, "application/json");
      });
    }
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~FakeServer() {
    server_.stop();
    thread_.join();
  }
  [[nodiscard]] std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

// A listening socket on 127.0.0.1 that takes connections and never completes an answer: it
// either stays silent or sends an endless header, one byte every few milliseconds.
class StallingServer {
 public:
  explicit StallingServer(bool trickle) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_, 8);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, trickle] {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      const std::string head = "HTTP/1.1 200 OK\r\nX-Slow: ";
      ::send(client, head.data(), trickle ? head.size() : 0, MSG_NOSIGNAL);
      while (!stop_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (trickle) ::send(client, "a", 1, MSG_NOSIGNAL);
      }
      ::close(client);
    });
  }
  ~StallingServer() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);  // ends an accept that is still waiting
    thread_.join();
    ::close(listener_);
  }
  [[nodiscard]] std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct ServerCase {
  const char* name;
  std::map<std::string, FakeServer::Reply> replies;
  bool ready;
  const char* details;  // "{url}" stands for the server's address
};

class GatewayAgainstServer : public testing::TestWithParam<ServerCase> {};

TEST_P(GatewayAgainstServer, ReportsReadinessAndReason) {
  const auto& c = GetParam();
  const FakeServer server(c.replies);
  const auto health = check(server.url());
  std::string details = c.details;
  if (const auto at = details.find("{url}"); at != std::string::npos) {
    details.replace(at, 5, server.url());
  }
  EXPECT_EQ(health.ready, c.ready);
  EXPECT_EQ(health.details, details);
}

const char* const kLoading =
    R"({"error":{"code":503,"message":"Loading model","type":"unavailable_error"}})";

INSTANTIATE_TEST_SUITE_P(
    Cases, GatewayAgainstServer,
    testing::Values(
        ServerCase{
            "Ready", {{"/health", {200, R"({"status":"ok"})"}}}, true, "ready at {url} (turbo)"},
        ServerCase{
            "ReadyWithAnEmptyBody", {{"/health", {200, ""}}}, true, "ready at {url} (turbo)"},
        ServerCase{"Loading", {{"/health", {503, kLoading}}}, false, "Loading model"},
        ServerCase{"LoadingInTheOlderForm",
                   {{"/health", {503, R"({"status":"loading model"})"}}},
                   false,
                   "loading model"},
        ServerCase{"ModelsOnly",
                   {{"/v1/models", {200, R"({"data":[{"id":"qwen3-30b"},{"id":"gemma"}]})"}}},
                   true,
                   "ready at {url}, serving qwen3-30b, gemma (turbo)"},
        ServerCase{"NothingThere", {}, false, "HTTP 404 at {url}/v1/models"},
        ServerCase{"HealthFailsWithAMessage",
                   {{"/health", {500, "{\"error\":\"model file\\nnot found\"}"}},
                    {"/v1/models", {500, "{}"}}},
                   false,
                   "HTTP 500 at {url}/health: model file not found"},
        ServerCase{"ModelsRefuseAuth",
                   {{"/v1/models", {401, R"({"error":{"message":"Invalid API key"}})"}}},
                   false,
                   "HTTP 401 at {url}/v1/models: Invalid API key"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Gateway, BaseUrlWithPathPrefixAndTrailingSlash) {
  const FakeServer server({{"/llm/health", {200, "{}"}}});
  const auto health = check(server.url() + "/llm/", "turbo-think");
  EXPECT_TRUE(health.ready);
  EXPECT_EQ(health.details, "ready at " + server.url() + "/llm (turbo-think)");
}

TEST(Gateway, ServerThatNeverAnswersTimesOut) {
  const StallingServer server(/*trickle=*/false);
  const auto health = check(server.url());
  EXPECT_FALSE(health.ready);
  EXPECT_EQ(health.details, "timed out after 0.3 s waiting for " + server.url() + "/health");
}

// Each byte comes well within the read timeout, so only the deadline on the whole request
// ends it; without one this test would wait for ever.
TEST(Gateway, ServerThatTricklesForeverTimesOut) {
  const StallingServer server(/*trickle=*/true);
  const auto health = check(server.url());
  EXPECT_FALSE(health.ready);
  EXPECT_EQ(health.details, "timed out after 0.3 s waiting for " + server.url() + "/health");
}

TEST(Gateway, NoServerIsConnectionRefused) {
  std::string url;
  {
    const StallingServer server(false);
    url = server.url();
  }  // the port is closed again
  const auto health = check(url);
  EXPECT_FALSE(health.ready);
  EXPECT_EQ(health.details, "connection refused at " + url);
}

TEST(Gateway, UnusableBaseUrlIsNotReady) {
  const auto health = check("http://");
  EXPECT_FALSE(health.ready);
  EXPECT_EQ(health.details, "invalid base_url http://");
}

TEST(Gateway, DemoBackendIsAlwaysReady) {
  RuntimeSettings settings;  // backend "demo"; nothing listens at the default address
  const auto gateway = host::runtime::make_runtime_gateway_factory(settings)(
      zell::ports::RuntimeConfig{"turbo-think"});
  const auto health = gateway->healthcheck();
  EXPECT_TRUE(health.ready);
  EXPECT_EQ(health.details, "demo runtime (turbo-think): scripted answers, no model server");
}

TEST(ServerMessage, IsOneShortLineWithoutControls) {
  using host::runtime::server_message;
  EXPECT_EQ(server_message(" <html>\n<h1>Bad Gateway</h1></html>"), std::nullopt);
  EXPECT_EQ(server_message("\n\n  Bad\tGateway\x1b]0;x\x07 "), "Bad Gateway ]0;x");
  EXPECT_EQ(server_message(R"({"detail":"Not Found"})"), "Not Found");
  EXPECT_EQ(server_message(R"({"error":{"code":1}})"), std::nullopt);
  EXPECT_EQ(server_message("[1,2]"), std::nullopt);
  const std::string long_message = server_message(std::string(500, 'x')).value();
  EXPECT_EQ(long_message, std::string(host::runtime::kMaxMessageChars, 'x') + "…");
}

}  // namespace
