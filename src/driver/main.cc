// qbkit's entry point: hands the command line to the driver and writes its output.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "common/platform.h"

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails as a write error
#endif
  qbkit::set_stdout_binary();
  std::vector<std::string> args(argv, argv + argc);
  int status = qbkit::run_driver(args, std::cout);
  std::cout.flush();
  return status;
}
