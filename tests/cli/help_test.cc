// --help and --version, and the archive examples of the help run as they stand, so that the
// help cannot drift away from what the commands do.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_util.h"
#include "support/profile_stream.h"
#include "common/bytes.h"
#include "lzss/plain_encoder.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

TEST(Help, HelpAndVersionAnswerWithStatusZero) {
  TempDir dir;
  const RunResult help = run_qbkit({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("qbkit decompiles the game's QB scripts to text")) << help.out;
  EXPECT_EQ(help.err, "");
  // -h, and whatever follows: the help, not the usage text.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"}, {"-help"}, {"--help", "-p"}}) {
    const RunResult r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.out, help.out) << args[0];
  }
  const RunResult version = run_qbkit({"--version"}, dir.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qbkit " QBKIT_VERSION "\n");
  // Anything else that starts with two dashes is a wrong command line, as before.
  const RunResult wrong = run_qbkit({"--versions"}, dir.path());
  EXPECT_EQ(wrong.status, 1);
  EXPECT_TRUE(wrong.out.starts_with("Usage: ")) << wrong.out;
}

// The words of an example line after "qbkit"; "> FILE" sends its standard output to FILE.
struct Example {
  std::vector<std::string> args;
  std::string output_file;
};

// The lines of the paragraph that starts with "PRE examples".
std::vector<Example> archive_examples(const std::string& help) {
  std::vector<Example> examples;
  std::istringstream lines(help);
  std::string line;
  while (std::getline(lines, line) && !line.starts_with("PRE examples")) {
  }
  while (std::getline(lines, line) && !line.empty()) {
    if (!line.starts_with("  qbkit -p ")) continue;
    std::istringstream words(line.substr(8));
    Example example;
    for (std::string word; words >> word;) {
      if (word == ">")
        words >> example.output_file;
      else
        example.args.push_back(word);
    }
    examples.push_back(example);
  }
  return examples;
}

TEST(Help, EveryArchiveExampleWorks) {
  TempDir dir;
  const std::string help = run_qbkit({"--help"}, dir.path()).out;
  const std::vector<Example> examples = archive_examples(help);
  std::vector<std::string> commands;
  for (const Example& e : examples) commands.push_back(e.args[1]);
  EXPECT_EQ(commands, (std::vector<std::string>{"new", "add", "addx", "list", "x", "pack", "update", "jdc", "unpack",
                                                "build", "verify", "diff"}));

  // The files that the help says the folder holds: scripts, so that unpack and verify find
  // nothing amiss.
  const Bytes menu = generate_profile_stream(3000, 1, Switches::kStandard);
  const Bytes intro = generate_profile_stream(500, 2);
  dir.write("scripts/game/menu.qb", menu);
  dir.write("scripts/game/intro.qb", intro);
  dir.write("stream.bin", lzss::compress_plain(menu));

  for (const Example& e : examples) {
    const RunResult r = run_qbkit(e.args, dir.path());
    ASSERT_EQ(r.status, 0) << e.args[1] << ":\n" << r.out << r.err;
    if (!e.output_file.empty()) dir.write(e.output_file, r.out);
  }
  // What the examples made: both members back in place, a packed archive that lists both,
  // and the decoded stream.
  EXPECT_EQ(dir.read("scripts/game/menu.qb"), std::string(menu.begin(), menu.end()));
  EXPECT_EQ(dir.read("scripts/game/intro.qb"), std::string(intro.begin(), intro.end()));
  EXPECT_EQ(run_qbkit({"-p", "list", "rebuilt.prd"}, dir.path()).out, dir.read("members.txt"));
  EXPECT_EQ(dir.read("uncomp.bin"), std::string(menu.begin(), menu.end()));
}

}  // namespace
}  // namespace qbkit::test
