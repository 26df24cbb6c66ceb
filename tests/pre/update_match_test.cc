#include "pre/update_match.h"

#include <gtest/gtest.h>

namespace qbkit::pre {
namespace {

using Entries = std::vector<UpdateMatch::NewEntry>;

constexpr size_t kKept = UpdateMatch::kKept;

TEST(UpdateMatch, FilesUpdateEveryEntryOfTheirNameAndAddTheRest) {
  const std::vector<std::string_view> members = {"scripts\\a.qb", "b.qb", "Scripts\\A.qb", "c.qb"};
  const std::vector<std::string> files = {"./scripts/a.qb", "new/x.qb", "b.qb", "B.QB", "new//x.qb", "z.qb"};
  const UpdateMatch m = match_update(members, files);
  // Both entries of scripts\a.qb; b.qb from the last file of its name.
  EXPECT_EQ(m.source, (std::vector<size_t>{0, 3, 0, kKept}));
  // new/x.qb is added once, with the data of the later file of its name.
  EXPECT_EQ(m.appended, (Entries{{1, 4}, {5, 5}}));
  EXPECT_EQ(m.updates, (std::vector<bool>{true, false, true, true, true, false}));
}

TEST(UpdateMatch, NoFilesKeepEverything) {
  const std::vector<std::string_view> members = {"a.qb"};
  const UpdateMatch m = match_update(members, {});
  EXPECT_EQ(m.source, (std::vector<size_t>{kKept}));
  EXPECT_TRUE(m.appended.empty());
  const UpdateMatch empty = match_update({}, std::vector<std::string>{"a.qb", "./a.qb"});
  EXPECT_EQ(empty.appended, (Entries{{0, 1}}));
  EXPECT_EQ(empty.updates, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace qbkit::pre
