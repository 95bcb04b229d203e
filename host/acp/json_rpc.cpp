#include "host/acp/json_rpc.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <iterator>

#include "unicode/utf8.h"

namespace host::acp {
namespace {

// The parser recurses once per nesting level; a line of a million "[" would exhaust the stack.
constexpr int kMaxDepth = 256;
constexpr std::size_t kProblemChars = 120;
// How long the reader lets a fast stream of answer chunks gather before it reads on: well below
// a frame of the screen, long enough for dozens of chunks to arrive.
constexpr std::chrono::microseconds kGatherChunks{500};

bool nested_too_deep(std::string_view line) {
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (const char c : line) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

Message malformed(std::string problem) {
  Message m;
  m.kind = Message::Kind::malformed;
  m.problem = std::move(problem);
  return m;
}

std::string excerpt(std::string_view line) {
  std::string text = unicode::cp_prefix(line, kProblemChars);
  if (unicode::cp_count(line) > kProblemChars) text += "…";
  return text;
}

bool valid_id(const Json& id) {
  return id.is_number_integer() || id.is_number_unsigned() || id.is_string();
}

}  // namespace

Message parse_message(std::string_view line) {
  if (std::optional<TextChunk> chunk = read_chunk_line(line)) {
    Message m;
    m.kind = Message::Kind::notification;
    m.method = "session/update";
    m.chunk = std::move(chunk);
    return m;
  }
  if (nested_too_deep(line)) return malformed("a message nested too deeply: " + excerpt(line));
  Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded()) return malformed("a line that is not JSON: " + excerpt(line));
  if (!j.is_object()) return malformed("a JSON value that is not a message: " + excerpt(line));
  Message m;
  const auto method = j.find("method");
  const auto id = j.find("id");
  if (method != j.end()) {
    if (!method->is_string()) return malformed("a message whose method is not a string");
    m.method = method->get<std::string>();
    if (const auto params = j.find("params"); params != j.end()) m.params = std::move(*params);
    if (id != j.end() && !id->is_null()) {
      if (!valid_id(*id)) return malformed("a request whose id is neither a number nor a string");
      m.kind = Message::Kind::request;
      m.id = std::move(*id);
    } else {
      m.kind = Message::Kind::notification;
    }
    return m;
  }
  if (id != j.end() && (j.contains("result") || j.contains("error"))) {
    m.kind = Message::Kind::response;
    m.id = std::move(*id);
    if (const auto error = j.find("error"); error != j.end() && error->is_object()) {
      m.error_code = error->value("code", rpc_error::kInternalError);
      const auto message = error->find("message");
      m.error_message = message != error->end() && message->is_string()
                            ? message->get<std::string>()
                            : std::string("(no message)");
    } else if (const auto result = j.find("result"); result != j.end()) {
      m.result = std::move(*result);
    }
    return m;
  }
  return malformed("a JSON object that is neither a request nor a response: " + excerpt(line));
}

Connection::Connection(int to_agent, int from_agent, std::size_t max_line)
    : to_agent_(to_agent), from_agent_(from_agent), max_line_(max_line) {
  reader_ = std::thread([this] { read_loop(); });
}

Connection::~Connection() {
  wake_.wake();
  if (reader_.joinable()) reader_.join();
}

void Connection::push(std::vector<Message>& batch) {
  if (batch.empty()) return;
  {
    const std::lock_guard lock(queue_mutex_);
    if (queue_.empty()) {
      queue_.swap(batch);
    } else {
      std::move(batch.begin(), batch.end(), std::back_inserter(queue_));
    }
  }
  batch.clear();
  queue_cv_.notify_all();
}

void Connection::read_loop() {
  LineSplitter splitter(max_line_);
  std::string buffer(64 * 1024, '\0');
  // The messages of one read go to the queue together: one lock and one wake-up for all.
  std::vector<Message> batch;
  bool only_chunks = true;  // the batch holds nothing but text chunks
  const auto on_line = [&batch, &only_chunks](std::string_view line) {
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;  // blank: nothing
    batch.push_back(parse_message(line));
    only_chunks = only_chunks && batch.back().chunk.has_value();
  };
  const auto on_too_long = [this, &batch, &only_chunks](std::size_t bytes) {
    only_chunks = false;
    batch.push_back(malformed("a message of " + std::to_string(bytes) + " bytes, more than the " +
                              std::to_string(max_line_ >> 20) +
                              " MB a line may hold; it was dropped"));
  };
  auto last_read = std::chrono::steady_clock::time_point{};
  for (;;) {
    pollfd fds[2] = {{from_agent_, POLLIN, 0}, {wake_.read_fd(), POLLIN, 0}};
    const int ready = ::poll(fds, wake_.read_fd() >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) break;
    const ssize_t n = ::read(from_agent_, buffer.data(), buffer.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    only_chunks = true;
    splitter.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), on_line,
                  on_too_long);
    const bool chunks_only = only_chunks && !batch.empty();
    push(batch);
    // An agent streaming its answer fast sends a line at a time; reading each as it comes costs
    // a wake-up of this thread and of the session's for every chunk. Pausing a moment lets the
    // next ones gather in the pipe, to be read, parsed and shown together. Only text chunks
    // coming close together start a pause; a shorter read than the buffer means it is empty.
    const auto now = std::chrono::steady_clock::now();
    const bool streaming = now - last_read < kGatherChunks * 4;
    last_read = now;
    if (chunks_only && streaming && static_cast<std::size_t>(n) < buffer.size()) {
      pollfd wake = {wake_.read_fd(), POLLIN, 0};
      const timespec gather = {0, std::chrono::nanoseconds(kGatherChunks).count()};
      ::ppoll(&wake, wake_.read_fd() >= 0 ? 1 : 0, &gather, nullptr);
    }
  }
  {
    const std::lock_guard lock(queue_mutex_);
    closed_ = true;
  }
  queue_cv_.notify_all();
}

bool Connection::take_queued() {
  if (taken_at_ < taken_.size()) return true;
  taken_.clear();
  taken_at_ = 0;
  const std::lock_guard lock(queue_mutex_);
  taken_.swap(queue_);
  return !taken_.empty();
}

std::optional<TextChunk> Connection::next_chunk(TextChunk::Kind kind) {
  if (!take_queued()) return std::nullopt;
  Message& m = taken_[taken_at_];
  if (!m.chunk || m.chunk->kind != kind) return std::nullopt;
  ++taken_at_;
  return std::move(m.chunk);
}

std::optional<Message> Connection::next(std::chrono::steady_clock::time_point deadline) {
  if (taken_at_ < taken_.size()) return std::move(taken_[taken_at_++]);
  std::unique_lock lock(queue_mutex_);
  queue_cv_.wait_until(lock, deadline, [this] { return !queue_.empty() || closed_ || woken_; });
  if (!queue_.empty()) {
    taken_.clear();
    taken_.swap(queue_);
    taken_at_ = 1;
    return std::move(taken_.front());
  }
  if (woken_) {
    woken_ = false;
    return std::nullopt;
  }
  if (closed_) return Message{};
  return std::nullopt;
}

void Connection::wake() {
  {
    const std::lock_guard lock(queue_mutex_);
    woken_ = true;
  }
  queue_cv_.notify_all();
}

bool Connection::write_line(const Json& message) {
  std::string line = message.dump(-1, ' ', false, Json::error_handler_t::replace);
  line += '\n';
  const std::lock_guard lock(write_mutex_);
  if (to_agent_ < 0) return false;
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t n = ::write(to_agent_, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Connection::request(std::string_view method, Json params, std::int64_t& id) {
  {
    const std::lock_guard lock(write_mutex_);
    id = next_id_++;
  }
  return write_line(
      {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
}

bool Connection::notify(std::string_view method, Json params) {
  return write_line({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

bool Connection::respond(const Json& id, Json result) {
  return write_line({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

bool Connection::respond_error(const Json& id, int code, std::string_view message) {
  return write_line(
      {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

}  // namespace host::acp
