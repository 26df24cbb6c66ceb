#include "scripts/name_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/name_checksum.h"

namespace qbkit::scripts {
namespace {

// Each occurrence as "LINE:COLUMN ROLE NAME".
std::vector<std::string> shown(std::string_view text, std::optional<uint32_t> checksum = std::nullopt) {
  std::vector<std::string> out;
  for (const NameOccurrence& o : find_names(text, checksum))
    out.push_back(std::to_string(o.line) + ":" + std::to_string(o.column) + " " + std::string(role_word(o.role)) +
                  " " + std::string(o.name));
  return out;
}

TEST(NameFinder, RolesAndPlaces) {
  const std::string text =
      "#/ QB Script version 2 $not_a_use$\n"
      "%include \"a $b$.qbi\"   #/ Table file\n"
      "#addx 0x0000abcd \"Declared\"\n"
      "#addx \"new name\"\n"
      ":i function $Speed$\n"
      "\t:i $x$ = %s(9,\"$y$ \n#/ $z$\")$Speed$\n"
      "\tfunctional $w$ call $v$ arguments\n"
      "\t:i $[efbeadde]$ $open\n"
      ":i endfunction\n";
  EXPECT_EQ(shown(text), (std::vector<std::string>{
                             "3:1 declaration Declared", "4:1 declaration new name", "5:4 definition Speed",
                             "6:5 use x", "7:9 use Speed", "8:13 use w", "8:22 use v", "9:5 use [efbeadde]"}));
  // Matched by the game's checksum: case and separators do not matter; a declaration keeps the
  // checksum it gives, and the bracket form is the checksum's bytes in file order.
  EXPECT_EQ(shown(text, name_checksum("SPEED")), (std::vector<std::string>{"5:4 definition Speed", "7:9 use Speed"}));
  EXPECT_EQ(shown(text, 0xabcd), (std::vector<std::string>{"3:1 declaration Declared"}));
  EXPECT_EQ(shown(text, 0xdeadbeef), (std::vector<std::string>{"9:5 use [efbeadde]"}));
}

TEST(NameFinder, WantedChecksum) {
  EXPECT_EQ(wanted_checksum("0x1A2b"), 0x1a2bu);
  EXPECT_EQ(wanted_checksum("Scripts/Menu"), name_checksum("scripts\\menu"));
  EXPECT_EQ(wanted_checksum("0x123456789"), name_checksum("0x123456789"));  // too long: a name
  EXPECT_EQ(wanted_checksum("0xg"), name_checksum("0xg"));
}

}  // namespace
}  // namespace qbkit::scripts
