// The result of a converter step: success, or the message that ends the run after "错误: ".
#pragma once

#include <string>
#include <utility>

namespace morvalin {

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Error(std::string message) {
    Status s;
    s.failed_ = true;
    s.message_ = std::move(message);
    return s;
  }
  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  bool failed_ = false;
  std::string message_;
};

// Evaluates a Status expression and returns it from the enclosing function when it failed.
#define MORVALIN_RETURN_IF_ERROR(expr)        \
  do {                                        \
    ::morvalin::Status status_ = (expr);      \
    if (!status_.ok()) return status_;        \
  } while (false)

}  // namespace morvalin
