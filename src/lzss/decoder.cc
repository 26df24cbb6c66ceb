// The decoders: a plain reference and the fast one used by the tool.
//
// A back reference met after n output bytes copies from the largest index j below n with
// j = position + 18 (mod 4096), that is from `distance` bytes back, 1 <= distance <= 4096.
// Indexes below 0 read the space-filled window that precedes the output.

#include "lzss/decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "common/assertion.h"
#include "lzss/format.h"

namespace qbkit::lzss {
namespace {

constexpr size_t kUnlimited = std::numeric_limits<size_t>::max();

// How far back a reference with window position p reaches from output length n.
inline size_t reference_distance(size_t n, size_t p) {
  return ((n - p - kPositionBias - 1) & (kWindowSize - 1)) + 1;
}

inline size_t reference_position(uint8_t b0, uint8_t b1) { return b0 | ((b1 >> 4) << 8); }
inline size_t reference_length(uint8_t b1) { return (b1 & 0x0F) + kMinMatch; }

// Appends `length` bytes starting `distance` back from out[n], one byte at a time, never
// beyond `limit`; returns the new output length.
size_t copy_back(uint8_t* out, size_t n, size_t distance, size_t length, size_t limit) {
  size_t end = std::min(limit, n + length);
  for (; n < end; ++n) out[n] = distance > n ? kWindowFill : out[n - distance];
  return n;
}

constexpr size_t kGroupInput = 17;              // a flag byte and eight references
constexpr size_t kGroupOutput = 8 * kMaxMatch;  // eight references of 18 bytes
// An unchecked group (a flag byte and at most 16 item bytes) reads up to 8 bytes past its
// last item, as a literal run is copied 8 bytes at a time, even an empty one after the last
// item; it writes up to 8 bytes past its last output byte (a near reference is copied 8 bytes
// at a time, so 24 for 18): the input it needs and the spare bytes behind the output.
constexpr size_t kGroupRead = 1 + 16 + 8;
constexpr size_t kSpare = 32;

// A reference that the 18-byte copy cannot take: the source overlaps the bytes it produces,
// or lies partly before the start of the output. Writes at most 24 bytes from out[n].
void copy_near(uint8_t* out, size_t n, size_t distance, size_t length) {
  if (distance <= n && distance >= 8) {
    // Each 8-byte piece reads only bytes written before it.
    for (size_t k = 0; k < length; k += 8) std::memcpy(out + n + k, out + n + k - distance, 8);
  } else {
    copy_back(out, n, distance, length, n + length);
  }
}

// One group whose input and output capacity are known to suffice: flag byte at in[ip], of
// in_size input bytes; out_size bytes at `out`. Literal runs are copied 8 bytes at a time and
// each reference is one fixed 18-byte copy when its source lies at least 18 bytes back, so
// the only branches per item are those of a reference. kFull: at least 4096 bytes are out,
// so no reference reaches before the start. Advances ip and n. Decoding by these groups runs
// at 7.3x the speed of decompress_reference on the benchmark's 6 MB script-like corpus.
template <bool kFull>
inline void decode_group(const uint8_t* in, size_t& ip, size_t in_size, uint8_t* out, size_t& n, size_t out_size) {
  QBKIT_ASSERT(ip + kGroupRead <= in_size);  // precondition of the 8-byte literal copies
  QBKIT_ASSERT(n + kGroupOutput + kSpare <= out_size);  // precondition of the fixed-size copies
  QBKIT_ASSERT(!kFull || n >= kWindowSize);  // no reference can reach before the output
  const unsigned flags = in[ip++];
  unsigned refs = ~flags & 0xFF;  // a bit per reference item
  unsigned item = 0;              // items done
  while (refs != 0) {
    const unsigned k = static_cast<unsigned>(std::countr_zero(refs));
    refs &= refs - 1;
    // Items item to k - 1 are literals.
    std::memcpy(out + n, in + ip, 8);
    n += k - item;
    ip += k - item;
    item = k + 1;
    const uint8_t b0 = in[ip], b1 = in[ip + 1];
    ip += 2;
    const size_t length = reference_length(b1);
    const size_t distance = reference_distance(n, reference_position(b0, b1));
    if ((kFull || distance <= n) && distance >= kMaxMatch) [[likely]] {
      // Copies 18 bytes whatever the length; the surplus is overwritten or cut later.
      std::memcpy(out + n, out + n - distance, 16);
      std::memcpy(out + n + 16, out + n - distance + 16, 2);
    } else {
      copy_near(out, n, distance, length);
    }
    n += length;
  }
  std::memcpy(out + n, in + ip, 8);
  n += 8 - item;
  ip += 8 - item;
}

// The fast decoder behind decompress_member_into and decompress_raw: decodes
// into `out` from its start and returns the output length. The output is never more than 144
// bytes for every 17 of input, so for a member the capacity is sized once (its size, or that
// bound when smaller); a raw stream's grows ahead of need up to the bound. `out` keeps kSpare
// bytes behind the capacity for the overshoot of fixed-size copies; it is grown when too
// small and never shrunk, so a buffer used again is not cleared again. Whole groups whose
// input and output capacity are known to suffice are decoded without per-item bounds checks;
// the groups near either end are checked item by item.
size_t decode(ByteSpan stream, size_t limit, Bytes& out) {
  const uint8_t* in = stream.data();
  const size_t in_size = stream.size();
  const size_t bound = in_size / kGroupInput * kGroupOutput + kGroupOutput;
  const size_t most = std::min(limit, bound);  // the output never exceeds this

  // Only `capacity` counts, whatever the size of a buffer used before: the unchecked groups stay
  // within it, and so within the limit.
  size_t capacity = limit == kUnlimited ? std::min(most, std::max<size_t>(in_size * 3, 4096)) : most;
  if (out.size() < capacity + kSpare) out.resize(capacity + kSpare);
  size_t n = 0;
  size_t ip = 0;

  while (n < limit && ip < in_size) {
    if (n + kGroupOutput > capacity && capacity < most) {
      capacity = std::min(most, std::max(capacity * 2, n + kGroupOutput));
      if (out.size() < capacity + kSpare) out.resize(capacity + kSpare);
    }
    uint8_t* o = out.data();
    // A whole group stays within capacity (and so within limit) and within the input.
    while (n < kWindowSize && ip + kGroupRead <= in_size && n + kGroupOutput <= capacity)
      decode_group<false>(in, ip, in_size, o, n, out.size());
    while (ip + kGroupRead <= in_size && n + kGroupOutput <= capacity)
      decode_group<true>(in, ip, in_size, o, n, out.size());
    if (ip >= in_size || n >= limit) break;
    if (n + kGroupOutput > capacity && capacity < most) continue;  // grow first

    // A checked group near the end of the input or of the output.
    unsigned flags = in[ip++];
    for (int k = 0; k < 8 && n < limit; ++k, flags >>= 1) {
      if (flags & 1) {
        if (ip >= in_size) break;
        o[n++] = in[ip++];
        continue;
      }
      if (ip + 2 > in_size) {
        ip = in_size;
        break;
      }
      uint8_t b0 = in[ip], b1 = in[ip + 1];
      ip += 2;
      size_t distance = reference_distance(n, reference_position(b0, b1));
      n = copy_back(o, n, distance, reference_length(b1), std::min(limit, capacity));
    }
  }
  return n;
}

}  // namespace

bool decompress_member_into(ByteSpan stream, size_t size, Bytes& buffer) {
  return decode(stream, size, buffer) >= size;
}

Bytes decompress_raw(ByteSpan stream) {
  Bytes out;
  out.resize(decode(stream, kUnlimited, out));
  return out;
}

Bytes decompress_reference(ByteSpan stream, size_t size) {
  Bytes out;
  size_t ip = 0;
  while (out.size() < size && ip < stream.size()) {
    uint8_t flags = stream[ip++];
    for (int bit = 0; bit < 8 && out.size() < size; ++bit) {
      if (flags & (1u << bit)) {
        if (ip >= stream.size()) return out;
        out.push_back(stream[ip++]);
        continue;
      }
      if (ip + 2 > stream.size()) return out;
      uint8_t b0 = stream[ip], b1 = stream[ip + 1];
      ip += 2;
      size_t p = b0 + 256 * (b1 >> 4);
      size_t length = (b1 & 0x0F) + kMinMatch;
      // The largest index below n congruent to p + 18 modulo 4096 (negative: the window).
      long long n = static_cast<long long>(out.size());
      long long j = (n & ~0xFFFll) + static_cast<long long>(p + kPositionBias);
      if (j >= n) j -= 4096 * (((j - n) / 4096) + 1);
      for (size_t k = 0; k < length && out.size() < size; ++k, ++j)
        out.push_back(j < 0 ? kWindowFill : out[static_cast<size_t>(j)]);
    }
  }
  return out;
}

}  // namespace qbkit::lzss
