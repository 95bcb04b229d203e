#include "host/runtime/bounded_get.h"

#include "host/runtime/http_transfer.h"

namespace host::runtime {

std::variant<HttpAnswer, HttpFailure> bounded_get(const BaseUrl& base, std::string_view path,
                                                  Clock::time_point deadline) {
  const auto remaining =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (remaining.count() <= 0) return HttpFailure::timed_out;

  HttpRequest request;
  request.url = base.url(path);
  request.headers = {"Accept: application/json"};
  request.connect_timeout = remaining;
  request.deadline = deadline;
  HttpAnswer answer;
  HttpTransfer transfer;
  const HttpOutcome outcome = transfer.run(request, {}, [&](std::string_view bytes) {
    answer.body.append(bytes.substr(0, kMaxBodyBytes - answer.body.size()));
    return answer.body.size() < kMaxBodyBytes;  // false stops reading a body that is too long
  });
  // Once the status and headers are in, a body cut by the deadline is kept as far as it came.
  if (outcome.status != 0) {
    answer.status = outcome.status;
    return answer;
  }
  switch (outcome.error) {
    case HttpError::invalid_url:
      return HttpFailure::invalid_url;
    case HttpError::refused:
      return HttpFailure::refused;
    case HttpError::connect_timeout:
    case HttpError::deadline:
      return HttpFailure::timed_out;
    case HttpError::closed:
      return HttpFailure::closed;
    default:
      return Clock::now() >= deadline ? HttpFailure::timed_out : HttpFailure::other;
  }
}

}  // namespace host::runtime
