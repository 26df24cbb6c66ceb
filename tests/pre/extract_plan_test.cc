#include "pre/extract_plan.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "lzss/plain_encoder.h"

namespace qbkit::pre {
namespace {

Member member(const std::string& name, uint32_t size, uint32_t compressed, const Bytes& data) {
  Member m;
  m.name = name;
  m.uncompressed_size = size;
  m.compressed_size = compressed;
  m.name_length = static_cast<uint32_t>(name.size() + 1);
  m.data = data;
  return m;
}

Bytes as_bytes(ByteSpan span) { return Bytes(span.begin(), span.end()); }

// One buffer serves every member, as in an extraction: what a larger member left in it
// never shows in a smaller one, nor makes a short stream pass.
TEST(DecodeMember, StoredCopiedCompressedDecodedDamagedRefused) {
  Bytes stored = {0xFE, 0xED, 0xF0, 1};  // would decode to spaces, but is copied
  Bytes text(300, 'q'), other(20, 'z');
  Bytes stream = lzss::compress_plain(text), short_stream = lzss::compress_plain(other);
  Bytes buffer;
  const uint32_t size = static_cast<uint32_t>(stream.size());
  EXPECT_EQ(as_bytes(decode_member(member("c.qb", 300, size, stream), 2, "t.prd", buffer)), text);
  EXPECT_EQ(as_bytes(decode_member(member("s.qb", 4, 0, stored), 1, "t.prd", buffer)), stored);
  EXPECT_EQ(as_bytes(decode_member(member("o.qb", 20, static_cast<uint32_t>(short_stream.size()), short_stream), 4,
                                   "t.prd", buffer)),
            other);
  try {
    decode_member(member("short.qb", 21, static_cast<uint32_t>(short_stream.size()), short_stream), 3, "t.prd",
                  buffer);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Archive 't.prd' is damaged: member 3 does not decode to its size\n");
  }
}

}  // namespace
}  // namespace qbkit::pre
