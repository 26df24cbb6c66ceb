// The check every fuzz target makes of its property: on failure it names what broke and
// where, then aborts, so that libFuzzer saves the input and a replay shows the reason.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace qbkit::fuzz {

[[noreturn]] inline void property_broken(const char* what, const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: fuzz property broken: %s (%s)\n", file, line, what, condition);
  std::abort();
}

}  // namespace qbkit::fuzz

#define FUZZ_ASSERT(cond, what)                                              \
  do {                                                                       \
    if (!(cond)) ::qbkit::fuzz::property_broken(what, #cond, __FILE__, __LINE__); \
  } while (0)
