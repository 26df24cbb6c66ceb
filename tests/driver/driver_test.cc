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

// The messages of -d are repeated on standard error only when standard output is not the
// terminal the user reads.
TEST(DriverInProcess, DecompileErrorsReachStandardErrorWhenOutputIsRedirected) {
  for (const bool terminal : {true, false}) {
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> args = {"qbkit", "-d", "/nonexistent/dir/file.qb"};
    EXPECT_EQ(run_driver(args, Console{out, err, terminal}), 1);
    EXPECT_EQ(out.str(), "Couldn't open file!");
    EXPECT_EQ(err.str(), terminal ? "" : "Couldn't open file!\n");
  }
}

}  // namespace
}  // namespace qbkit
