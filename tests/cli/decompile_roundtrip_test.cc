// Decompiled text compiles back to the very bytes it came from: the bundled example, and a
// stream with the jump and select forms whose targets the text shows as markers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/cli_util.h"
#include "support/qb_stream.h"
#include "qb/tokens.h"

namespace qbkit::test {
namespace {

using namespace qb;

std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void expect_round_trip(const std::string& qb) {
  TempDir dir;
  dir.write("r.qb", qb);
  RunResult d = run_qbkit({"-d", "r.qb"}, dir.path());
  ASSERT_EQ(d.status, 0) << d.out;
  dir.write("r.q", d.out);
  RunResult c = run_qbkit({"-c", "r.q"}, dir.path());
  ASSERT_EQ(c.status, 0) << c.out << "\n" << d.out;
  EXPECT_EQ(dir.read("r.q.qb"), qb) << d.out;
}

TEST(DecompileRoundTrip, BundledExample) {
  const auto example =
      std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "examples" / "example.qb";
  const std::string qb = file_bytes(example);
  ASSERT_FALSE(qb.empty()) << example;
  expect_round_trip(qb);
}

TEST(DecompileRoundTrip, ForwardJumpsAndSelect) {
  QbStream s;
  s.op(kLineBreak).op32(kName, 1).op(kEquals).op(kFloat).u32(0x40490fdb);  // 0 to 10
  s.op(kLineBreak).op(kSelect37).u32(2).raw({1, 0, 2, 0}).u32(11).u32(12);  // 11 to 27
  s.op(kLineBreak).op32(kBreakTo, 1);                                       // 28 to 33
  s.op(kLineBreak).op32(kName, 1).op(kLineBreak);                           // 34 to 40
  s.op(kLineBreak).name_record(1, "pi").op(kEnd);
  const Bytes& b = s.bytes();
  expect_round_trip(std::string(b.begin(), b.end()));
}

}  // namespace
}  // namespace qbkit::test
