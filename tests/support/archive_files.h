// Archives for tests, made in memory through the writer that the tool uses, so that a test
// can hand qbkit an archive that qbkit itself would refuse to make (unsafe names, paths
// through other members), and their members read back.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::test {

struct TestMember {
  std::string name;
  Bytes data;                      // the member's bytes, or its compressed stream
  uint32_t uncompressed_size = 0;  // of a compressed member; 0: the member is stored
};

// An archive file holding `members` in order, laid out as add and addx lay them out.
inline Bytes archive_file(const std::vector<TestMember>& members, uint32_t format_tag = pre::kFormatTag) {
  pre::ArchiveWriter writer(format_tag);
  for (const TestMember& m : members) {
    const auto size = static_cast<uint32_t>(m.data.size());
    if (m.uncompressed_size == 0)
      writer.named_entry(m.name, false, size, 0, m.data);
    else
      writer.named_entry(m.name, false, m.uncompressed_size, size, m.data);
  }
  Bytes file;
  for (ByteSpan piece : writer.pieces()) file.insert(file.end(), piece.begin(), piece.end());
  return file;
}

// An archive of stored members given as (name, content), as a string.
inline std::string archive_with(const std::vector<std::pair<std::string, std::string>>& members) {
  std::vector<TestMember> stored;
  for (const auto& [name, content] : members) stored.push_back({name, Bytes(content.begin(), content.end())});
  const Bytes file = archive_file(stored);
  return std::string(file.begin(), file.end());
}

// The members of an archive file, as far as their entries lie inside it.
inline std::vector<pre::Member> archive_members(ByteSpan file) {
  return pre::walk_members(file, pre::kHeaderSize, pre::read_archive_header(file).member_count).members;
}

}  // namespace qbkit::test
