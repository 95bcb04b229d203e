#include "host/fake_chat_server.h"

#include <memory>

namespace host_test {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

FakeChatServer::FakeChatServer(Responder responder, std::string models_body)
    : responder_(std::move(responder)) {
  server_.Get("/.*/models", [models_body](const httplib::Request&, httplib::Response& res) {
    res.set_content(models_body, "application/json");
  });
  server_.Post("/.*/chat/completions", [this](const httplib::Request& req, httplib::Response& res) {
    json request = json::parse(req.body, nullptr, false);
    {
      const std::lock_guard lock(mutex_);
      requests_.push_back(request);
      requests_.back()["path"] = req.path;
    }
    auto reply = std::make_shared<ChatReply>(responder_(request));
    res.status = reply->status;
    for (const auto& [name, value] : reply->headers) res.set_header(name, value);
    if (reply->status != 200 && reply->then == ChatReply::Then::end) {
      std::string body;
      for (const auto& p : reply->pieces) body += p;
      res.set_content(body, reply->content_type);
      return;
    }
    res.set_chunked_content_provider(
        reply->content_type,
        [this, reply, next = std::size_t{0}](std::size_t, httplib::DataSink& sink) mutable {
          if (next < reply->pieces.size()) {
            if (reply->gap.count() > 0) std::this_thread::sleep_for(reply->gap);
            if (reply->before_piece) reply->before_piece(next);
            const std::string& piece = reply->pieces[next++];
            return sink.write(piece.data(), piece.size());
          }
          switch (reply->then) {
            case ChatReply::Then::end:
              sink.done();
              return true;
            case ChatReply::Then::drop:
              return false;
            case ChatReply::Then::hold:
              while (sink.is_writable()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
              closed_now();
              return false;
            case ChatReply::Then::drip:
              std::this_thread::sleep_for(reply->gap);
              if (!sink.is_writable() ||
                  !sink.write(reply->drip_piece.data(), reply->drip_piece.size())) {
                closed_now();
                return false;
              }
              return true;
          }
          return false;
        });
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // A stop() before the server runs would be lost, and the destructor would wait for ever.
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeChatServer::~FakeChatServer() {
  server_.stop();
  thread_.join();
}

std::vector<json> FakeChatServer::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

void FakeChatServer::closed_now() {
  {
    const std::lock_guard lock(mutex_);
    if (!closed_at_) closed_at_ = Clock::now();
  }
  cv_.notify_all();
}

std::optional<Clock::time_point> FakeChatServer::wait_client_closed() const {
  std::unique_lock lock(mutex_);
  cv_.wait_for(lock, std::chrono::seconds(10), [this] { return closed_at_.has_value(); });
  return closed_at_;
}

json delta_event(json delta) {
  return {{"id", "chatcmpl-1"},
          {"object", "chat.completion.chunk"},
          {"created", 1700000000},
          {"model", "fake-model"},
          {"choices", {{{"index", 0}, {"delta", std::move(delta)}, {"finish_reason", nullptr}}}}};
}

json finish_event(const char* reason) {
  json event = delta_event(json::object());
  event["choices"][0]["finish_reason"] = reason;
  return event;
}

json usage_event(long long completion_tokens) {
  return {{"id", "chatcmpl-1"},
          {"object", "chat.completion.chunk"},
          {"choices", json::array()},
          {"usage",
           {{"prompt_tokens", 12},
            {"completion_tokens", completion_tokens},
            {"total_tokens", 12 + completion_tokens}}}};
}

std::string sse(const std::vector<json>& events, bool done) {
  std::string out;
  for (const json& e : events) out += "data: " + e.dump() + "\n\n";
  if (done) out += "data: [DONE]\n\n";
  return out;
}

std::vector<std::string> random_pieces(const std::string& text, unsigned seed,
                                       std::size_t max_piece) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> size(1, max_piece);
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = std::min(size(random), text.size() - at);
    pieces.push_back(text.substr(at, n));
    at += n;
  }
  return pieces;
}

}  // namespace host_test
