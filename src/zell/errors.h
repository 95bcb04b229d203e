#pragma once
// The two requests that every "swallow ordinary errors" site lets pass: the user's Ctrl+C
// delivered as an interruption, and a request to end the process. They deliberately do not
// derive from std::exception, so that a `catch (const std::exception&)` written for ordinary
// errors can never absorb them by accident.

namespace zell {

class Interrupt {
 public:
  [[nodiscard]] const char* what() const noexcept { return "interrupted"; }
};

class ExitRequest {
 public:
  explicit ExitRequest(int status = 0) noexcept : status_(status) {}
  [[nodiscard]] int status() const noexcept { return status_; }
  [[nodiscard]] const char* what() const noexcept { return "exit requested"; }

 private:
  int status_;
};

}  // namespace zell
