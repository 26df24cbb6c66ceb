// The one error type of qbkit: a message for standard output and the exit status.
//
// Code deep inside a tool throws it where the failure happens; the driver catches it once,
// prints the message exactly as given (no line end is added) and returns the status.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace qbkit {

// The process exit statuses. Batch files test them, so their values never change.
enum ExitStatus : int {
  kExitOk = 0,
  // Usage text printed, an input that cannot be opened, a syntax or structure error in script
  // text, a refused archive command, an output that cannot be written.
  kExitFailure = 1,
  // No memory for an input file; an archive, QB file or member file cannot be opened or created.
  kExitNoAccess = 2,
  kExitMissingPunctuation = 5,  // a required punctuation character is missing in script text
  kExitUnknownName = 6,         // a name reference matches no entry of the name table
  kExitInternal = 99,           // a fault of qbkit itself, not of its input
};

// Whether the driver repeats a message on standard error when standard output is not a
// terminal, so that it reaches the user whose output goes to a file or a pipe. The messages
// that qbkit has always printed stay on standard output alone, where batch files look for them.
enum class Echo { kNo, kWhenRedirected };

class Error : public std::runtime_error {
 public:
  Error(ExitStatus status, std::string message, Echo echo = Echo::kNo)
      : std::runtime_error(message), status_(status), message_(std::move(message)), echo_(echo) {}

  ExitStatus status() const { return status_; }
  const std::string& message() const { return message_; }
  Echo echo() const { return echo_; }

 private:
  ExitStatus status_;
  std::string message_;
  Echo echo_;
};

}  // namespace qbkit
