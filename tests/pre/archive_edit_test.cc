#include "pre/archive_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/name_checksum.h"
#include "support/archive_files.h"

namespace qbkit::pre {
namespace {

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// An archive of stored members with the given names and contents, as add writes them.
Bytes archive_of(const std::vector<std::pair<std::string, std::string>>& members, uint32_t format_tag = kFormatTag) {
  std::vector<test::TestMember> stored;
  for (const auto& [name, data] : members) stored.push_back({name, bytes(data)});
  return test::archive_file(stored, format_tag);
}

// The whole file that an edit's pieces make.
Bytes written(ArchiveEdit& edit) {
  Bytes file;
  for (ByteSpan piece : edit.writer.pieces()) file.insert(file.end(), piece.begin(), piece.end());
  return file;
}

Bytes entry_bytes(const Bytes& file, const Member& m) {
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(m.offset), file.begin() + static_cast<std::ptrdiff_t>(next_entry(m)));
}

MemberData stored(const Bytes& data) { return {static_cast<uint32_t>(data.size()), 0, data}; }

// A header whose total size is wrong and a last entry whose padding the file lacks: the
// size is repaired, the padding is written as zeros, and the old entries are kept as they
// stand. A name held in another case is warned of, and still appended.
TEST(ArchiveEdit, AddRepairsTheSizeAndWarnsOfANameHeld) {
  Bytes file = archive_of({{"Scripts\\A.qb", "a"}, {"b.qb", "bb"}}, 0x12345678);
  file.resize(file.size() - 2);  // "bb" padded to four: two bytes of padding gone
  store_u32le(file.data(), 999);
  const AppendableArchive archive = appendable_archive(file, "t.prd");
  const Bytes data = bytes("new");
  ArchiveEdit edit = add_member(archive, "t.prd", "scripts/a.qb", stored(data));
  EXPECT_EQ(edit.out, "Oh, a filesize mistake...\n");
  EXPECT_EQ(edit.err,
            "Warning: 't.prd' already holds a member 'Scripts\\A.qb' of this name; the game may read either entry. "
            "To replace a member, use update.\n");
  EXPECT_FALSE(edit.too_large);

  EXPECT_EQ(written(edit), archive_of({{"Scripts\\A.qb", "a"}, {"b.qb", "bb"}, {"scripts/a.qb", "new"}}, 0x12345678));
}

// Entries that files name get the last such file's data and keep their name and checksum;
// the others are kept byte for byte; a new name is appended once, tidied and
// padded as the game pads it, with the data of its last file.
TEST(ArchiveEdit, UpdateReplacesAppendsAndKeeps) {
  const Bytes file = archive_of({{"keep1.qb", "k1"}, {"Dir\\X.qb", "old"}, {"keep2.qb", "k2"}, {"dir/x.qb", "old2"}});
  const std::vector<Member> old_members = walk_members(file, kHeaderSize, 4).members;
  const AppendableArchive archive = appendable_archive(file, "t.prd");

  const std::vector<std::string> files = {"./dir//x.qb", "new//n.qb", "DIR/X.QB", "new/n.qb"};
  const std::vector<Bytes> contents = {bytes("x1"), bytes("n1"), bytes("x-last"), bytes("n-last")};
  std::vector<MemberData> data;
  for (const Bytes& c : contents) data.push_back(stored(c));
  ArchiveEdit edit = update_members(archive, files, data);
  EXPECT_EQ(edit.progress, "Updating './dir//x.qb'\nAdding 'new//n.qb'\nUpdating 'DIR/X.QB'\nUpdating 'new/n.qb'\n");
  EXPECT_EQ(edit.err, "");

  const Bytes after = written(edit);
  const MemberWalk walk = walk_members(after, kHeaderSize, read_archive_header(after).member_count);
  ASSERT_FALSE(walk.damaged);
  ASSERT_EQ(walk.members.size(), 5u);
  EXPECT_EQ(read_archive_header(after).total_size, after.size());
  EXPECT_EQ(walk.end, after.size());
  for (size_t k : {0u, 2u}) EXPECT_EQ(entry_bytes(after, walk.members[k]), entry_bytes(file, old_members[k]));
  for (size_t k : {1u, 3u}) {
    const Member& m = walk.members[k];
    EXPECT_EQ(m.name, old_members[k].name);
    EXPECT_EQ(m.checksum, old_members[k].checksum);
    EXPECT_EQ(Bytes(m.data.begin(), m.data.end()), bytes("x-last"));
  }
  const Member& added = walk.members[4];
  EXPECT_EQ(added.name, "new/n.qb");
  EXPECT_EQ(added.name_length, 12u);
  EXPECT_EQ(added.checksum, name_checksum("new/n.qb"));
  EXPECT_EQ(Bytes(added.data.begin(), added.data.end()), bytes("n-last"));
}

// Pack names its entries as listed, in the game's layout, and says so for each.
TEST(ArchiveEdit, PackWritesTheGameLayoutInOrder) {
  const std::vector<std::string> names = {"b\\b.qb", "a.qb"};
  const Bytes b = bytes("bbbbb"), stream = bytes("zz");
  const std::vector<MemberData> data = {stored(b), {40, 2, stream}};
  ArchiveEdit edit = pack_members(names, data);
  EXPECT_EQ(edit.progress, "Packing 'b\\b.qb'\nPacking 'a.qb'\n");
  const Bytes after = written(edit);
  EXPECT_EQ(read_archive_header(after).format_tag, kFormatTag);
  const MemberWalk walk = walk_members(after, kHeaderSize, 2);
  ASSERT_EQ(walk.members.size(), 2u);
  EXPECT_EQ(walk.end, after.size());
  EXPECT_EQ(walk.members[0].name_length, 8u);
  EXPECT_EQ(walk.members[1].name, "a.qb");
  EXPECT_EQ(walk.members[1].name_length, 8u);
  EXPECT_EQ(walk.members[1].uncompressed_size, 40u);
  EXPECT_EQ(Bytes(walk.members[1].data.begin(), walk.members[1].data.end()), stream);
}

}  // namespace
}  // namespace qbkit::pre
