#pragma once
// One HTTP GET that is over by a deadline, whatever the server does: refuses, accepts and never
// answers, or answers a byte at a time.

#include <chrono>
#include <string>
#include <variant>

#include "host/runtime/base_url.h"

namespace host::runtime {

using Clock = std::chrono::steady_clock;

struct HttpAnswer {
  int status = 0;
  std::string body;  // at most kMaxBodyBytes; a longer body is cut there
};

enum class HttpFailure {
  invalid_url,  // the client cannot use the address
  refused,      // nothing accepts connections there
  timed_out,    // the deadline passed before a status line arrived
  closed,       // the server hung up without an answer
  other,        // anything else the client reports (TLS, a malformed answer)
};

inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// GET `path` under `base`, asking for JSON. Returns the status and body once the server has
// sent its status line and headers (a body cut by the deadline is kept as far as it came).
[[nodiscard]] std::variant<HttpAnswer, HttpFailure> bounded_get(const BaseUrl& base,
                                                                std::string_view path,
                                                                Clock::time_point deadline);

}  // namespace host::runtime
