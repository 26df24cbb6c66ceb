// qbkit's entry point: hands the command line to the driver and writes its output.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/interruption.h"
#include "common/platform.h"
#include "driver/driver.h"

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails as a write error
#endif
  qbkit::clean_up_when_interrupted();
  qbkit::hold_standard_descriptors();
  const qbkit::StandardStreams streams;
  const std::vector<std::string> args = qbkit::command_line_arguments(argc, argv);
  const qbkit::Console console{std::cout, std::cerr, qbkit::stdout_is_terminal()};
  int status = qbkit::run_driver(args, console);
  // Text that did not reach standard output (a full disk, a closed descriptor) is lost: the
  // command failed, whatever it did besides.
  std::cout.flush();
  const bool lost = std::cout.fail() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  if (lost) {
    std::fputs("Couldn't write to standard output\n", stderr);
    return qbkit::kExitFailure;
  }
  return status;
}
