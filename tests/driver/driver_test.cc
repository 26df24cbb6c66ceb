// The driver called in-process: an error raised in a mode becomes its message and status.
// (The usage text is checked end to end, in tests/cli/driver_test.cc.)
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qbkit {
namespace {

int run(std::vector<std::string> args, std::string& out) {
  std::ostringstream s;
  std::ostringstream err;
  int status = run_driver(args, Console{s, err, false});
  out = s.str();
  return status;
}

TEST(DriverInProcess, ModeErrorsBecomeMessageAndStatus) {
  std::string out;
  EXPECT_EQ(run({"qbkit", "-t", "/nonexistent/dir/file.qb"}, out), 1);
  EXPECT_EQ(out, "THIS FUNCTION IS DEPRECATED...\nCouldn't open file!");
}

}  // namespace
}  // namespace qbkit
