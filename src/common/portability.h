// The compiler-specific hints and operations qbkit uses, each with a plain fallback. No other
// file names a builtin or an attribute of one compiler.
#pragma once

#include <cstdint>

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

}  // namespace qbkit
