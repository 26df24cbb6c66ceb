// Independent jobs spread over the machine's processors: the archive commands compress their
// members this way, each member on its own, so the result does not depend on the number of
// threads or on which thread ran what.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/interruption.h"

namespace qbkit {

// Calls job(i) once for every i in [0, count), on up to the machine's number of processors
// (the calling thread is one of them). Returns when all calls have returned. Jobs start in
// the order of their numbers; once one throws, no further job starts, and when every thread
// has stopped the exception of the lowest-numbered job that threw is thrown here. Every job
// numbered below it has run by then, so the failure reported is the one a loop over the jobs
// in order would meet first, whatever the timing. Where no thread can be started, the calling
// thread does all jobs.
template <typename Job>
void run_in_parallel(size_t count, const Job& job) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  size_t failed_job = count;
  std::mutex failure_mutex;
  auto work = [&] {
    for (size_t i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) {
      try {
        job(i);
      } catch (...) {
        std::lock_guard<std::mutex> hold(failure_mutex);
        if (i < failed_job) {
          failure = std::current_exception();
          failed_job = i;
        }
        failed = true;
      }
    }
  };
  const size_t processors = std::max(1u, std::thread::hardware_concurrency());
  const size_t helpers = std::min(processors, count) - (count > 0 ? 1 : 0);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  {
    // Started while interruptions are held, the helpers hold them for good: an interruption
    // is always taken by the calling thread.
    const InterruptionsHeld hold;
    for (size_t t = 0; t < helpers; ++t) {
      try {
        threads.emplace_back(work);
      } catch (const std::system_error&) {
        break;  // fewer threads: the ones running, and this one, take the rest
      }
    }
  }
  work();
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace qbkit
