// The LZSS stream of archive members, which every encoder here writes and the decoder reads.
//
// A stream is a run of groups: one flag byte, then up to eight items governed by its bits
// from bit 0 up. A set bit is a literal byte; a clear bit is a two-byte back reference
// (12-bit window position, length 3 to 18). Positions count in a 4096-byte ring whose write
// position starts at 4096 - 18, as in the classic scheme; both sides here work on flat
// buffers. A reference that resolves before the start of the output reads from a window of
// spaces, the classic initial ring fill.
//
// The codec works on byte buffers only and knows nothing of archives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qbkit::lzss {

inline constexpr size_t kWindowSize = 4096;
inline constexpr size_t kMaxDistance = kWindowSize - 1;  // the plain encoder looks back this far
inline constexpr size_t kMinMatch = 3;
inline constexpr size_t kMaxMatch = 18;
inline constexpr size_t kPositionBias = 18;
inline constexpr uint8_t kWindowFill = 0x20;  // what lies before the start of the output

}  // namespace qbkit::lzss
