// The one error type of qbkit: a message for standard output and the exit status.
//
// Code deep inside a tool throws it where the failure happens; the driver catches it once,
// prints the message exactly as given (no line end is added) and returns the status.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace qbkit {

class Error : public std::runtime_error {
 public:
  Error(int status, std::string message)
      : std::runtime_error(message), status_(status), message_(std::move(message)) {}

  int status() const { return status_; }
  const std::string& message() const { return message_; }

 private:
  int status_;
  std::string message_;
};

}  // namespace qbkit
