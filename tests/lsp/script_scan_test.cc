// The scan of names in script text: what counts as a name, a declaration, a function and an
// include, and what is passed over (comments, quoted texts, longer words).
#include "lsp/script_scan.h"

#include <gtest/gtest.h>

#include "common/name_checksum.h"

namespace qbkit::lsp {
namespace {

std::vector<std::string> names(std::string_view text, const ScriptScan& scan) {
  std::vector<std::string> out;
  for (const NameMention& n : scan.names) out.emplace_back(n.name.in(text));
  return out;
}

TEST(ScriptScan, FindsNamesDeclarationsFunctionsAndIncludesAsTheCompilerReadsThem) {
  const std::string_view text =
      "#/ $not$ a name\n"
      "%include \"t.qbi\"\n"
      "#addx \"a b\"  #addx 0x0000002A \"Two\"\n"
      ":i function $f$ :i $ x $ = %s(0,\"$no$\") $Birdhouse Team$$a$\n"
      ":i functional $g$ function $h$\n"
      ":i $open\n"
      ":i endfunction :i $after$";
  const ScriptScan scan = scan_script(text);
  EXPECT_EQ(names(text, scan), (std::vector<std::string>{"f", " x ", "Birdhouse Team", "a", "g", "h", "after"}));
  EXPECT_EQ(scan.names[6].checksum, name_checksum("after"));
  ASSERT_EQ(scan.declarations.size(), 2u);
  EXPECT_EQ(scan.declarations[0].name.in(text), "a b");
  EXPECT_EQ(scan.declarations[0].checksum, name_checksum("a b"));
  EXPECT_EQ(scan.declarations[1].checksum, 0x2Au);
  ASSERT_EQ(scan.includes.size(), 1u);
  EXPECT_EQ(scan.includes[0].file.in(text), "t.qbi");
  // A function without its closer ends where the next one starts.
  ASSERT_EQ(scan.functions.size(), 2u);
  EXPECT_EQ(text.substr(scan.functions[0].whole.start, 12), "function $f$");
  EXPECT_EQ(scan.functions[0].whole.end, text.find("function $h$"));
  EXPECT_EQ(scan.functions[1].whole.end, text.find(" :i $after$"));
  EXPECT_EQ(scan.functions[1].body.end, text.find("endfunction"));

  // The name under a place, either sign included; a declaration's quoted name too.
  const size_t team = text.find("$Birdhouse");
  EXPECT_EQ(name_at(text, scan, team)->name.in(text), "Birdhouse Team");
  EXPECT_EQ(name_at(text, scan, team + 15)->name.in(text), "Birdhouse Team");
  EXPECT_EQ(name_at(text, scan, team + 16)->name.in(text), "a");
  EXPECT_EQ(name_at(text, scan, text.find("Two"))->name.in(text), "Two");
  EXPECT_EQ(name_at(text, scan, text.find("Two"))->checksum, 0x2Au);  // as declared, not the name's own
  EXPECT_FALSE(name_at(text, scan, text.find("$no$") + 1));
  EXPECT_FALSE(name_at(text, scan, text.find("$open")));
}

}  // namespace
}  // namespace qbkit::lsp
