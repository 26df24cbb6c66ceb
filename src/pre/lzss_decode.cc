// The decoders: a plain reference and the fast one used by the tool.
//
// A back reference met after n output bytes copies from the largest index j below n with
// j = position + 18 (mod 4096), that is from `distance` bytes back, 1 <= distance <= 4096.
// Indexes below 0 read the space-filled window that precedes the output.

#include <algorithm>
#include <cstring>
#include <limits>

#include "pre/lzss.h"

namespace qbkit::pre {
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

// The fast decoder behind decompress_member and decompress_raw. Output goes into a buffer
// that grows ahead of need (never beyond `limit`); whole groups whose input and output room
// are known to suffice are decoded without per-item bounds checks.
Bytes decode(ByteSpan stream, size_t limit) {
  const uint8_t* in = stream.data();
  const size_t in_size = stream.size();
  constexpr size_t kGroupInput = 17;                // flag byte and eight references
  constexpr size_t kGroupOutput = 8 * kMaxMatch;    // eight references of 18 bytes
  constexpr size_t kGroupRoom = kGroupOutput + kMaxMatch;

  Bytes out;
  // Each input byte yields at most 144/17 output bytes, so a stream's output is bounded.
  size_t bound = in_size / kGroupInput * kGroupOutput + kGroupOutput;
  out.resize(std::min({limit, bound, std::max<size_t>(in_size * 2, 4096)}));
  size_t n = 0;
  size_t ip = 0;

  auto ensure_room = [&] {
    if (out.size() - n >= kGroupRoom || out.size() == limit) return;
    out.resize(std::min(limit, std::max(out.size() * 2, n + kGroupRoom)));
  };

  while (n < limit && ip < in_size) {
    ensure_room();
    uint8_t* o = out.data();
    unsigned flags = in[ip++];
    if (ip + 16 <= in_size && n + kGroupRoom <= limit && n + kGroupRoom <= out.size()) {
      // Unchecked group: at most 16 item bytes, and room for 144 output bytes plus the
      // overshoot of a fixed 18-byte copy.
      if (flags == 0xFF) {  // eight literals
        std::memcpy(o + n, in + ip, 8);
        n += 8;
        ip += 8;
        continue;
      }
      for (int k = 0; k < 8; ++k, flags >>= 1) {
        if (flags & 1) {
          o[n++] = in[ip++];
          continue;
        }
        uint8_t b0 = in[ip], b1 = in[ip + 1];
        ip += 2;
        size_t length = reference_length(b1);
        size_t distance = reference_distance(n, reference_position(b0, b1));
        if (distance <= n && distance >= kMaxMatch) {
          // Copies 18 bytes whatever the length; the surplus is overwritten or cut later.
          std::memcpy(o + n, o + n - distance, kMaxMatch);
          n += length;
        } else if (distance <= n && distance >= length) {
          std::memcpy(o + n, o + n - distance, length);
          n += length;
        } else {
          n = copy_back(o, n, distance, length, kUnlimited);
        }
      }
      continue;
    }
    // Checked group near the end of the input or of the output.
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
      n = copy_back(o, n, distance, reference_length(b1), std::min(limit, out.size()));
    }
  }
  out.resize(n);
  return out;
}

}  // namespace

std::optional<Bytes> decompress_member(ByteSpan stream, size_t size) {
  Bytes out = decode(stream, size);
  if (out.size() < size) return std::nullopt;
  return out;
}

Bytes decompress_raw(ByteSpan stream) { return decode(stream, kUnlimited); }

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

}  // namespace qbkit::pre
