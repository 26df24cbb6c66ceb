// The driver called in-process: the usage text and the error path.
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qbkit {
namespace {

int run(std::vector<std::string> args, std::string& out) {
  std::ostringstream s;
  int status = run_driver(args, s);
  out = s.str();
  return status;
}

TEST(DriverInProcess, UsageNamesTheProgramAsInvokedInBothPlaces) {
  std::string out;
  EXPECT_EQ(run({"my tool.exe", "-q", "x"}, out), 1);
  EXPECT_EQ(out,
            "Usage: my tool.exe -[c,d,t,p] filename\nc = compile\nd = decompile\nt = create table "
            "file\np = pre options\n\nMisc Options: -thug1 if it is a thug1 qb\n-debug to show "
            "debugging information\nUsage: my tool.exe [c,d,t,p] filename.qb "
            "-command(thug1,debug)\n ");
  // Too few arguments wins over everything else in slot 1.
  std::string two;
  EXPECT_EQ(run({"my tool.exe", "-d"}, two), 1);
  EXPECT_EQ(two, out);
}

TEST(DriverInProcess, ModeErrorsBecomeMessageAndStatus) {
  std::string out;
  EXPECT_EQ(run({"qbkit", "-t", "/nonexistent/dir/file.qb"}, out), 1);
  EXPECT_EQ(out, "THIS FUNCTION IS DEPRECATED...\nCouldn't open file!");
}

}  // namespace
}  // namespace qbkit
