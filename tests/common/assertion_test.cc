// QBKIT_ASSERT: checked where the build asks for it (the sanitizer, fuzz and debug builds),
// compiled out elsewhere. Each configuration runs the half that applies to it.
#include "common/assertion.h"

#include <gtest/gtest.h>

namespace qbkit {
namespace {

#if defined(QBKIT_ASSERTIONS)

TEST(Assertion, FailureNamesFileLineAndConditionAndAborts) {
  const int three = 3;
  EXPECT_DEATH(QBKIT_ASSERT(1 + 1 == three), "assertion_test\\.cc:[0-9]+: assertion failed: 1 \\+ 1 == three");
  QBKIT_ASSERT(1 + 2 == three);  // a condition that holds goes on
}

#else

TEST(Assertion, CompiledOutConditionIsNotEvaluated) {
  int evaluated = 0;
  QBKIT_ASSERT(++evaluated == 5);
  EXPECT_EQ(evaluated, 0);
}

#endif

}  // namespace
}  // namespace qbkit
