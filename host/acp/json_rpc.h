#pragma once
// JSON-RPC 2.0 over a pair of pipes, one JSON message per line (the Agent Client Protocol's
// transport). A reader thread splits the agent's output into lines (each bounded, 64 MB by
// default), parses them and queues what came in order; whoever drives the session takes them
// with `next`. Writes may come from any thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/acp/chunk_line.h"
#include "host/acp/wake_pipe.h"

namespace host::acp {

using Json = nlohmann::json;

// The string at `key`, or an empty string when the key is missing or holds something else.
inline std::string string_field(const Json& j, std::string_view key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

namespace rpc_error {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
}  // namespace rpc_error

struct Message {
  enum class Kind {
    request,       // method, params, id (a number or a string)
    notification,  // method, params
    response,      // id, result or error
    malformed,     // a line that is not a JSON-RPC message; `problem` says why
    closed,        // the agent's output ended
  };
  Kind kind = Kind::closed;
  Json id;
  std::string method;
  Json params;
  Json result;
  std::optional<int> error_code;  // a response carrying an error
  std::string error_message;
  std::string problem;
  // A session/update notification that carries an answer or thought chunk of text has it here,
  // read without building the document (`params` is then null).
  std::optional<TextChunk> chunk;
};

// What one line of the agent's output is (the reader's parsing, exposed for tests and fuzzing).
[[nodiscard]] Message parse_message(std::string_view line);

// Splits bytes into lines of at most `max_line` bytes. A longer line is dropped whole and
// reported once, by its length so far, when its end arrives.
class LineSplitter {
 public:
  explicit LineSplitter(std::size_t max_line) : max_(max_line) {}
  // Calls on_line(std::string_view) and on_too_long(std::size_t bytes) in order. A line is
  // handed over without a copy when `bytes` holds it whole; the view lasts until on_line returns.
  template <typename OnLine, typename OnTooLong>
  void feed(std::string_view bytes, OnLine&& on_line, OnTooLong&& on_too_long) {
    while (!bytes.empty()) {
      const std::size_t nl = bytes.find('\n');
      const std::string_view piece = bytes.substr(0, nl);
      if (dropped_ > 0 || open_.size() + piece.size() > max_) {
        dropped_ += open_.size() + piece.size();
        release_open();
      } else if (nl == std::string_view::npos || !open_.empty()) {
        open_.append(piece);
      }
      if (nl == std::string_view::npos) return;
      if (dropped_ > 0) {
        on_too_long(std::exchange(dropped_, 0));
      } else {
        std::string_view line = open_.empty() ? piece : std::string_view(open_);
        if (line.ends_with('\r')) line.remove_suffix(1);
        on_line(line);
        // The buffer is kept for the next line that spans reads, unless a huge one grew it.
        if (open_.capacity() > kKeptBytes) {
          release_open();
        } else {
          open_.clear();
        }
      }
      bytes.remove_prefix(nl + 1);
    }
  }

 private:
  static constexpr std::size_t kKeptBytes = std::size_t{1} << 20;
  void release_open() {
    open_.clear();
    open_.shrink_to_fit();
  }

  std::size_t max_;
  std::string open_;
  std::size_t dropped_ = 0;
};

class Connection {
 public:
  static constexpr std::size_t kMaxLineBytes = std::size_t{64} << 20;

  // Writes to `to_agent` and reads `from_agent`; neither is owned (the child process owns them).
  Connection(int to_agent, int from_agent, std::size_t max_line = kMaxLineBytes);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Each returns false when the agent can no longer be written to.
  // A request with a new number as its id (returned through `id`).
  bool request(std::string_view method, Json params, std::int64_t& id);
  bool notify(std::string_view method, Json params);
  bool respond(const Json& id, Json result);
  bool respond_error(const Json& id, int code, std::string_view message);

  // The next message, waiting until `deadline`; nullopt when none came by then. After the
  // output has ended, every call returns a `closed` message.
  std::optional<Message> next(std::chrono::steady_clock::time_point deadline);
  // Without waiting: the next message when it has already come and is a text chunk of `kind`.
  std::optional<TextChunk> next_chunk(TextChunk::Kind kind);
  // Wakes a `next` that waits (its caller then checks why), once.
  void wake();

 private:
  bool write_line(const Json& message);
  void read_loop();
  void push(std::vector<Message>& batch);
  // Moves what the reader queued to the taker's side; true when there is something there.
  bool take_queued();

  int to_agent_;
  int from_agent_;
  std::size_t max_line_;
  WakePipe wake_;
  std::mutex write_mutex_;
  std::int64_t next_id_ = 1;

  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::vector<Message> queue_;
  // The taker's side: messages moved out of `queue_` in one go, used by `next` and
  // `next_chunk` only, without the lock.
  // (Vectors whose storage the three sides trade, so that a message costs no allocation.)
  std::vector<Message> taken_;
  std::size_t taken_at_ = 0;  // the next of `taken_` to hand out
  bool closed_ = false;
  bool woken_ = false;
  std::thread reader_;
};

}  // namespace host::acp
