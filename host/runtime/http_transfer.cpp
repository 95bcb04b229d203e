#include "host/runtime/http_transfer.h"

#include <algorithm>

#include "host/runtime/curl_library.h"

namespace host::runtime {

namespace {

// How long one wait for the socket may last; stop() wakes it sooner, this bounds a missed wake.
constexpr int kPollMs = 250;

struct Receiver {
  const CurlLibrary& curl;
  CURL* easy;
  const HttpTransfer::OnStatus& on_status;
  const HttpTransfer::OnBody& on_body;
  int status = 0;
  std::size_t header_bytes = 0;
  bool headers_too_large = false;
  bool receiver_stopped = false;
};

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto& r = *static_cast<Receiver*>(user);
  const std::size_t n = size * count;
  r.header_bytes += n;
  if (r.header_bytes > HttpTransfer::kMaxHeaderBytes) {
    r.headers_too_large = true;
    return 0;
  }
  // A blank line ends a block of headers; informational blocks (100 Continue) come first.
  const std::string_view line(data, n);
  if (line == "\r\n" || line == "\n") {
    long code = 0;
    r.curl.easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 200) {
      r.status = static_cast<int>(code);
      if (r.on_status && !r.on_status(r.status)) {
        r.receiver_stopped = true;
        return 0;
      }
    }
  }
  return n;
}

std::size_t on_write(char* data, std::size_t size, std::size_t count, void* user) {
  auto& r = *static_cast<Receiver*>(user);
  const std::size_t n = size * count;
  if (!r.on_body(std::string_view(data, n))) {
    r.receiver_stopped = true;
    return 0;  // libcurl ends the transfer
  }
  return n;
}

HttpError error_of(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return HttpError::none;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return HttpError::invalid_url;
    case CURLE_COULDNT_CONNECT:
      return HttpError::refused;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpError::connect_timeout;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
      return HttpError::closed;
    case CURLE_SEND_ERROR:
      return HttpError::send;
    default:
      return HttpError::other;
  }
}

}  // namespace

void HttpTransfer::stop() {
  stopped_.store(true);
  const std::lock_guard lock(multi_mutex_);
  if (multi_ != nullptr) {
    if (const CurlLibrary* curl = curl_library()) curl->multi_wakeup(static_cast<CURLM*>(multi_));
  }
}

HttpOutcome HttpTransfer::run(const HttpRequest& request, const OnStatus& on_status,
                              const OnBody& on_body) {
  HttpOutcome outcome;
  if (stopped_.load()) return {0, HttpError::stopped, ""};
  std::string why;
  const CurlLibrary* loaded = curl_library(&why);
  if (loaded == nullptr) return {0, HttpError::other, why};
  const CurlLibrary& curl = *loaded;

  CURL* easy = curl.easy_init();
  CURLM* multi = curl.multi_init();
  curl_slist* headers = nullptr;
  // "Expect:" keeps libcurl from waiting for a 100 Continue before sending a long conversation.
  for (const std::string& h : request.headers) headers = curl.slist_append(headers, h.c_str());
  headers = curl.slist_append(headers, "Expect:");
  Receiver receiver{curl, easy, on_status, on_body};

  curl.easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // The model server is addressed directly, as configured, whatever proxy the environment names.
  curl.easy_setopt(easy, CURLOPT_PROXY, "");
  curl.easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(std::max<long long>(1, request.connect_timeout.count())));
  curl.easy_setopt(easy, CURLOPT_HEADERFUNCTION, &on_header);
  curl.easy_setopt(easy, CURLOPT_HEADERDATA, &receiver);
  curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &on_write);
  curl.easy_setopt(easy, CURLOPT_WRITEDATA, &receiver);
  if (request.post_body) {
    curl.easy_setopt(easy, CURLOPT_POSTFIELDS, request.post_body->data());
    curl.easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.post_body->size()));
  }
  curl.multi_add_handle(multi, easy);
  {
    const std::lock_guard lock(multi_mutex_);
    multi_ = multi;
  }

  bool past_deadline = false;
  for (;;) {
    if (stopped_.load()) break;
    int running = 0;
    if (curl.multi_perform(multi, &running) != CURLM_OK || running == 0) break;
    int wait_ms = kPollMs;
    if (request.deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *request.deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        past_deadline = true;
        break;
      }
      wait_ms = static_cast<int>(std::min<long long>(wait_ms, left.count() + 1));
    }
    curl.multi_poll(multi, nullptr, 0, wait_ms, nullptr);
  }

  CURLcode code = CURLE_OK;
  bool finished = false;
  int left = 0;
  while (CURLMsg* message = curl.multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE) {
      code = message->data.result;
      finished = true;
    }
  }
  {
    const std::lock_guard lock(multi_mutex_);
    multi_ = nullptr;
  }
  curl.multi_remove_handle(multi, easy);
  curl.easy_cleanup(easy);
  curl.multi_cleanup(multi);
  curl.slist_free_all(headers);

  outcome.status = receiver.status;
  if (receiver.headers_too_large) {
    outcome.error = HttpError::headers_too_large;
  } else if (past_deadline) {
    outcome.error = HttpError::deadline;
  } else if (!finished || receiver.receiver_stopped) {
    outcome.error = HttpError::stopped;
  } else {
    outcome.error = error_of(code);
    if (outcome.error == HttpError::other) outcome.detail = curl.easy_strerror(code);
  }
  return outcome;
}

}  // namespace host::runtime
