// The compiler-specific hints and operations qbkit uses, each with a plain fallback. No other
// file names a builtin or an attribute of one compiler.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QBKIT_SSE2 1
#else
#define QBKIT_SSE2 0
#endif

// Lets the compiler check the arguments of a printf-style function against its format:
// `format_index` is the format's parameter (from 1), `first_argument` the first one it formats.
#if defined(__GNUC__)
#define QBKIT_PRINTF_FORMAT(format_index, first_argument) \
  __attribute__((format(printf, format_index, first_argument)))
#else
#define QBKIT_PRINTF_FORMAT(format_index, first_argument)
#endif

// Asks the compiler to inline a function into each caller, for the few small functions of a
// hot loop that it would otherwise call (the printer's per-token steps).
#if defined(__GNUC__)
#define QBKIT_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define QBKIT_ALWAYS_INLINE inline
#endif

namespace qbkit {

// Starts loading the cache line of `p` for a read that comes soon. Only a hint: it never
// faults, so `p` may be any address.
inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  static_cast<void>(p);
#endif
}

// Starts loading the cache line `distance` bytes after `p`, which may lie past the end of
// its buffer: the address is reckoned as an integer, and a prefetch never faults.
inline void prefetch_ahead(const void* p, size_t distance) {
  prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(p) + distance));
}

// The eight bytes of `v` in reverse order.
inline uint64_t byteswap64(uint64_t v) {
#if defined(__GNUC__)
  return __builtin_bswap64(v);
#else
  v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
  v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
  return (v << 32) | (v >> 32);
#endif
}

// A bit for each of the 16 bytes at `p` that equals `a`, `b` or `c`: bit i for p[i]. All 16
// bytes must be readable. This is the plain form; match16 below is the same with vector
// compares where the target has them.
inline uint32_t match16_plain(const uint8_t* p, uint8_t a, uint8_t b, uint8_t c) {
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint32_t>(p[i] == a || p[i] == b || p[i] == c) << i;
  return bits;
}

// match16_plain in three SSE2 compares (every x86-64 has them), else the plain loop. The
// compiler's scans for the end of a name, a string or a skipped field go through it.
inline uint32_t match16(const uint8_t* p, uint8_t a, uint8_t b, uint8_t c) {
#if QBKIT_SSE2
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(a))),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b)))),
                                   _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))));
  return static_cast<uint32_t>(_mm_movemask_epi8(hit));
#else
  return match16_plain(p, a, b, c);
#endif
}

}  // namespace qbkit
