#include "host/runtime/bounded_get.h"

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace host::runtime {

namespace {

// The client's timeouts apply to each connect, read and write on their own, so a server that
// answers one byte at a time could hold a request for ever. This thread stops the client's
// request when the deadline comes (httplib's stop() is meant to be called from another thread:
// it shuts the socket down, and the blocked read returns).
class Watchdog {
 public:
  Watchdog(httplib::Client& client, Clock::time_point deadline)
      : thread_([this, &client, deadline] {
          std::unique_lock lock(mutex_);
          if (!wake_.wait_until(lock, deadline, [this] { return done_; })) {
            fired_ = true;
            lock.unlock();
            client.stop();
          }
        }) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() { finish(); }

  // Ends the watch; true when the deadline had come and the request was stopped.
  bool finish() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool fired_ = false;  // written before the join in finish(), read after it
  std::thread thread_;
};

}  // namespace

std::variant<HttpAnswer, HttpFailure> bounded_get(const BaseUrl& base, std::string_view path,
                                                  Clock::time_point deadline) {
  const auto remaining =
      std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (remaining <= std::chrono::microseconds::zero()) return HttpFailure::timed_out;

  httplib::Client client(base.origin);
  if (!client.is_valid()) return HttpFailure::invalid_url;
  // Connecting happens under the client's lock, so stop() cannot cut it short: the connection
  // timeout keeps it within the deadline. Reads and writes are the watchdog's to end; their own
  // timeouts come a little later only as a fallback, since the client rounds them down to
  // milliseconds and would otherwise end a silent wait just before the deadline, leaving it
  // unclear whether the server hung up or said nothing.
  constexpr std::chrono::milliseconds kFallbackSlack{50};
  client.set_connection_timeout(remaining);
  client.set_read_timeout(remaining + kFallbackSlack);
  client.set_write_timeout(remaining + kFallbackSlack);
  client.set_keep_alive(false);

  HttpAnswer answer;
  bool answered = false;
  const httplib::Headers headers{{"Accept", "application/json"}};
  const auto on_response = [&](const httplib::Response& response) {
    answer.status = response.status;
    answered = true;
    return true;
  };
  const auto on_body = [&](const char* data, std::size_t size) {
    answer.body.append(data, std::min(size, kMaxBodyBytes - answer.body.size()));
    return answer.body.size() < kMaxBodyBytes;  // false stops reading a body that is too long
  };

  Watchdog watchdog(client, deadline);
  const httplib::Result result =
      client.Get(base.path_prefix + std::string(path), headers, on_response, on_body);
  const bool stopped = watchdog.finish();
  if (answered) return answer;
  if (stopped || Clock::now() >= deadline) return HttpFailure::timed_out;
  switch (result.error()) {
    case httplib::Error::Connection:
      return HttpFailure::refused;
    case httplib::Error::ConnectionTimeout:
      return HttpFailure::timed_out;
    case httplib::Error::Read:
      return HttpFailure::closed;
    default:
      return HttpFailure::other;
  }
}

}  // namespace host::runtime
