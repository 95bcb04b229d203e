#pragma once
// A fake OpenAI-compatible model server on 127.0.0.1 for the HTTP agent's tests and benchmark:
// GET /v1/models lists one model, POST /v1/chat/completions plays back whatever reply the test
// gives for the request, written piece by piece.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace host_test {

struct ChatReply {
  // What comes after the pieces: the end of the body, the connection dropped, or nothing at
  // all while the connection stays open; `drip` repeats `drip_piece` every `gap` instead.
  enum class Then { end, drop, hold, drip };

  int status = 200;
  std::string content_type = "text/event-stream";
  std::vector<std::pair<std::string, std::string>> headers;  // added to the answer
  std::vector<std::string> pieces;
  std::chrono::microseconds gap{0};               // before each piece
  std::function<void(std::size_t)> before_piece;  // told each piece's index as it goes out
  Then then = Then::end;
  std::string drip_piece;
};

class FakeChatServer {
 public:
  using Responder = std::function<ChatReply(const nlohmann::json& request)>;

  explicit FakeChatServer(Responder responder,
                          std::string models_body = R"({"data":[{"id":"fake-model"}]})");
  ~FakeChatServer();
  FakeChatServer(const FakeChatServer&) = delete;
  FakeChatServer& operator=(const FakeChatServer&) = delete;

  [[nodiscard]] std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // The bodies of the chat requests so far, each with the request's "path" added.
  [[nodiscard]] std::vector<nlohmann::json> requests() const;
  // Waits (10 s at most, a hang guard) until a held or dripping reply has seen the client close
  // the connection; returns when that was seen.
  [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> wait_client_closed() const;

 private:
  void closed_now();

  Responder responder_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<nlohmann::json> requests_;
  std::optional<std::chrono::steady_clock::time_point> closed_at_;
};

// One streamed event of a chat completion whose first choice has this delta.
[[nodiscard]] nlohmann::json delta_event(nlohmann::json delta);
// The event that ends a choice: an empty delta with the reason the model stopped.
[[nodiscard]] nlohmann::json finish_event(const char* reason);
// The last event of a stream with usage: no choices, the completion's token count.
[[nodiscard]] nlohmann::json usage_event(long long completion_tokens);
// The events as a server-sent event stream, ending in [DONE] when asked.
[[nodiscard]] std::string sse(const std::vector<nlohmann::json>& events, bool done = true);
// `text` cut into pieces of 1 to `max_piece` bytes at random (seeded) places.
[[nodiscard]] std::vector<std::string> random_pieces(const std::string& text, unsigned seed,
                                                     std::size_t max_piece = 7);

}  // namespace host_test
