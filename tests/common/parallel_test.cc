#include "common/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qbkit {
namespace {

TEST(RunInParallel, EveryJobRunsOnce) {
  for (size_t count : {0u, 1u, 2u, 3u, 1000u}) {
    std::vector<std::atomic<int>> runs(count);
    run_in_parallel(count, [&](size_t i) { ++runs[i]; });
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << "job " << i << " of " << count;
  }
}

TEST(RunInParallel, AFailureIsThrownToTheCallerAndStopsTheRest) {
  // Each job takes a while, so that the throw (slow under a sanitizer) is seen long before
  // the jobs could all have run.
  std::atomic<size_t> ran{0};
  EXPECT_THROW(run_in_parallel(2000, [&](size_t i) {
                 ++ran;
                 if (i == 3) throw std::runtime_error("job 3");
                 std::this_thread::sleep_for(std::chrono::microseconds(500));
               }),
               std::runtime_error);
  EXPECT_LT(ran.load(), 2000u);
}

// Job 3 throws after job 7 has: the caller still sees job 3's failure, the one a loop in
// order would meet first.
TEST(RunInParallel, TheLowestNumberedFailureIsThrown) {
  try {
    run_in_parallel(10, [&](size_t i) {
      if (i == 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        throw std::runtime_error("job 3");
      }
      if (i == 7) throw std::runtime_error("job 7");
    });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "job 3");
  }
}

}  // namespace
}  // namespace qbkit
