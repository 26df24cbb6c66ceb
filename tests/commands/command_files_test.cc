#include "commands/command_files.h"

#include <gtest/gtest.h>

#include "common/error.h"

namespace qbkit::commands {
namespace {

TEST(ArchiveFormat, WriteArchiveReportsFailure) {
  try {
    write_archive("no-such-dir/x/t.prd", {});
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 2);
    EXPECT_EQ(e.message(), "Couldn't open file 'no-such-dir/x/t.prd'!\n");
  }
}

}  // namespace
}  // namespace qbkit::commands
