// New names on the real binary: mode -k, "#addx \"Name\"", the game's checksum checked on
// every declaration, and references written in another case than their declaration.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_util.h"
#include "common/format.h"
#include "common/name_checksum.h"
#include "support/qb_stream.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// tests/common/game_name_checksums.qbi: table lines of names from the game's own scripts,
// each with the checksum its name records carry.
std::string game_vectors() {
  std::ifstream in(fs::path(__FILE__).parent_path().parent_path() / "common" / "game_name_checksums.qbi",
                   std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Declaration {
  uint32_t checksum;
  std::string name;
};

std::vector<Declaration> parse_table(const std::string& table) {
  std::vector<Declaration> lines;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) {
    // #addx 0x%08x "name"
    lines.push_back({static_cast<uint32_t>(std::stoul(line.substr(8, 8), nullptr, 16)),
                     line.substr(18, line.size() - 19)});
  }
  return lines;
}

TEST(NewNames, TheGamesChecksumsFromMinusKAndFromAddxName) {
  const std::string table = game_vectors();
  const std::vector<Declaration> vectors = parse_table(table);
  ASSERT_EQ(vectors.size(), 300u);
  TempDir dir;

  std::vector<std::string> args = {"-k"};
  std::string by_name;
  QbStream records;
  for (const Declaration& d : vectors) {
    args.push_back(d.name);
    by_name += "#addx \"" + d.name + "\"\n";
    records.name_record(d.checksum, d.name);
  }
  RunResult r = run_qbkit(args, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, table);

  // The same names declared by name alone compile to the same name records, silently.
  dir.write("new.txt", by_name);
  r = run_qbkit({"-c", "new.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  records.op(qb::kEnd);
  EXPECT_EQ(dir.read("new.txt.qb"), std::string(records.bytes().begin(), records.bytes().end()));
}

TEST(NewNames, MinusKUsageAndNamesNoTableLineCanHold) {
  TempDir dir;
  RunResult r = run_qbkit({"-k"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Usage: " + qbkit_program_name() +
                       " -k NAME... (prints a table line with the game's checksum of each name)\n");

  // Refused before anything is printed, also for the good name before it.
  r = run_qbkit({"-k", "fine", "say \"hi\""}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Name 'say \"hi\"' cannot stand in a table line: it holds a double quote or a control "
                   "character; nothing was printed\n");
  r = run_qbkit({"-k", "tab\there"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Name 'tab\\x09here' cannot stand in a table line: it holds a double quote or a control "
                   "character; nothing was printed\n");
}

// The argument is UTF-8 (on Windows, as typed whatever the code page) and the script text
// holds one byte per character: the line holds the name in ISO 8859-1, with the checksum of
// those bytes, and no warning. A character above U+00FF has no such byte.
TEST(NewNames, MinusKWritesTheNameInOneBytePerCharacter) {
  TempDir dir;
  const std::string line = format("#addx 0x%08x \"Caf\xE9 cr\xE8me\"\n", name_checksum("Caf\xE9 cr\xE8me"));
  std::vector<std::string> spellings = {"Café crème"};
  if (!qbkit_is_windows_binary()) spellings.push_back("Caf\xE9 cr\xE8me");  // no UTF-8: taken byte for byte
  for (const std::string& typed : spellings) {
    const RunResult r = run_qbkit({"-k", typed}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, line);
    EXPECT_EQ(r.err, "");
  }
  const RunResult refused = run_qbkit({"-k", "caf\xC3\xA9", "\xCE\xA9mega"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "Name '\xCE\xA9mega' cannot stand in a table line: it holds a character above U+00FF, and the "
                         "script text holds one byte per character; nothing was printed\n");
}

TEST(NewNames, ReferencesInAnotherCaseTakeTheFirstSameNameToTheGame) {
  TempDir dir;
  dir.write("t.qbi", "#addx \"GotParam\"\n#addx 0x0f3e1a2b \"gotPARAM\"\n#addx \"models\\a.tex\"\n"
                     "#addx \"Birdhouse Team\"\n");
  dir.write("s.txt", "%include \"t.qbi\"\n$gotPARAM$ $gotparam$ $MODELS/A.TEX$ $birdhouse TEAM$ $ GOTPARAM $\n");
  RunResult r = run_qbkit({"-c", "s.txt"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const uint32_t got_param = 0xcf66717b;  // the game's checksum of GotParam
  QbStream expected;
  expected.op32(qb::kName, 0x0f3e1a2b)  // an exact match comes first
      .op32(qb::kName, got_param).op32(qb::kName, 0xef98c137).op32(qb::kName, 0xe66b7086)
      .op32(qb::kName, got_param);
  const std::string qb = dir.read("s.txt.qb");
  EXPECT_EQ(qb.substr(0, expected.size()), std::string(expected.bytes().begin(), expected.bytes().end()));

  // A name that matches nothing still ends the compile, with a word on how to add it.
  dir.write("u.txt", "%include \"t.qbi\"\n$MyNewTrick$");
  r = run_qbkit({"-c", "u.txt"}, dir.path());
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.out, "Including: 't.qbi'\n...done.\nName 'MyNewTrick' is unknown - line 2\n");
  EXPECT_NE(r.err.find("#addx \"MyNewTrick\""), std::string::npos) << r.err;
}

TEST(NewNames, DeclaredChecksumThatIsNotTheGamesIsCompiledAsDeclaredWithAWarning) {
  TempDir dir;
  dir.write("t.qbi", "#addx 0xcf66717b \"GotParam\"\n#addx 0x12345678 \"GotParam2\"\n");
  dir.write("s.txt", "%include \"t.qbi\"\n$GotParam2$\n");
  RunResult r = run_qbkit({"-c", "s.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "t.qbi:2:7: warning: \"GotParam2\" is declared with the checksum 0x12345678, but the "
                   "game's checksum of that name is 0x0fcf9f45; compiled as declared [checksum-mismatch]\n");
  EXPECT_EQ(dir.read("s.txt.qb").substr(0, 5), std::string("\x16\x78\x56\x34\x12", 5));

  // A table of made-up checksums gives 20 warnings and one line for the rest.
  std::string made_up;
  for (int i = 0; i < 30; ++i) made_up += "#addx 0x0000000" + std::to_string(i % 10) + " \"n" + std::to_string(i) + "\"\n";
  dir.write("m.txt", made_up);
  r = run_qbkit({"-c", "m.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 21);
  EXPECT_TRUE(r.err.ends_with("m.txt:20:7: warning: \"n19\" is declared with the checksum 0x00000009, but the "
                              "game's checksum of that name is 0xdbaf4f7d; compiled as declared [checksum-mismatch]\n"
                              "m.txt: note: further warnings are not shown\n"))
      << r.err;
}

}  // namespace
}  // namespace qbkit::test
