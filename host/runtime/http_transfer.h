#pragma once
// One HTTP exchange at a time over libcurl, with what a server can make us hold bounded: the
// response headers have a size limit, the body goes to the caller piece by piece (who bounds
// what it keeps), an optional deadline ends the whole exchange, and stop() from any thread
// ends it at once (the connection is closed, not drained).

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::runtime {

struct HttpRequest {
  std::string url;
  std::optional<std::string> post_body;  // else a GET
  std::vector<std::string> headers;      // "Name: value"
  std::chrono::milliseconds connect_timeout{2000};
  std::optional<std::chrono::steady_clock::time_point> deadline;
};

enum class HttpError {
  none,               // an answer came (its status may still be an error)
  invalid_url,        // the client cannot use the address
  refused,            // nothing accepts connections there
  connect_timeout,    // connecting took longer than its timeout
  deadline,           // the request's deadline passed
  closed,             // the server hung up without an answer
  send,               // the request could not be sent
  headers_too_large,  // the answer's headers passed kMaxHeaderBytes
  stopped,            // stop() was called, or a callback asked to stop
  other,              // anything else (TLS, a malformed answer, libcurl missing)
};

struct HttpOutcome {
  int status = 0;  // 0: no status line and headers arrived
  HttpError error = HttpError::none;
  std::string detail;  // libcurl's words, for HttpError::other
};

class HttpTransfer {
 public:
  // The most the headers of one answer may take.
  static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

  // Told the status once the headers have arrived; false stops the exchange.
  using OnStatus = std::function<bool(int status)>;
  // Each piece of the body; false stops the exchange.
  using OnBody = std::function<bool(std::string_view bytes)>;

  HttpTransfer() = default;
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // On the caller's thread. After stop(), returns at once with HttpError::stopped.
  HttpOutcome run(const HttpRequest& request, const OnStatus& on_status, const OnBody& on_body);

  // From any thread: ends the running exchange, and any later one, at once.
  void stop();

 private:
  std::atomic<bool> stopped_{false};
  std::mutex multi_mutex_;
  void* multi_ = nullptr;  // the running exchange's multi handle, for stop()'s wake-up
};

}  // namespace host::runtime
