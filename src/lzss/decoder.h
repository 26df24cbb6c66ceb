// The decoder of every stream the encoders write (format.h), and its reference.
#pragma once

#include <cstddef>

#include "common/bytes.h"

namespace qbkit::lzss {

// Decodes a stream into the first `size` bytes of `buffer`, reading nothing beyond `stream`,
// for decoding many members one after another: the buffer is grown when too small (with some
// spare capacity) and never shrunk, so it is not cleared for each member (1.05x against a
// fresh buffer per member). false when the stream ends before it has produced `size` bytes.
bool decompress_member_into(ByteSpan stream, size_t size, Bytes& buffer);

// Decodes a whole buffer as one stream: every byte it produces. An item whose bytes would
// lie past the end of the buffer is not decoded.
Bytes decompress_raw(ByteSpan stream);

// The plain byte-at-a-time decoder that defines the output of the two above (`size` is
// SIZE_MAX for a raw stream); they must agree with it on every input.
Bytes decompress_reference(ByteSpan stream, size_t size);

}  // namespace qbkit::lzss
