// QBKIT_ASSERT(condition): a precondition that a fast path relies on and does not check.
//
// Active in the sanitizer, fuzz and debug builds (the build defines QBKIT_ASSERTIONS), where a
// failing condition prints its file, line and text to standard error and aborts. Release
// builds compile it out: the condition is not evaluated. An assertion states what the code
// itself guarantees; input that can be wrong is refused with a qbkit::Error instead.
//
// Each assertion says on its line why the condition must hold:
//   QBKIT_ASSERT(ip + 8 <= in_size);  // the literal copy reads 8 bytes
#pragma once

namespace qbkit {

// Prints "file:line: assertion failed: condition" to standard error and aborts.
[[noreturn]] void assertion_failed(const char* file, int line, const char* condition);

}  // namespace qbkit

#if defined(QBKIT_ASSERTIONS)
#define QBKIT_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::qbkit::assertion_failed(__FILE__, __LINE__, #condition))
#else
// Never evaluated, but still compiled: a variable used only here is not reported as unused.
#define QBKIT_ASSERT(condition) static_cast<void>(false && (condition))
#endif
