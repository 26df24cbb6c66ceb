#include "decompiler/parallel_printer.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "common/interruption.h"

namespace qbkit::decompiler {
namespace {

// Chunks printed and not yet handed to the sink, at most: each has a buffer for its text.
constexpr size_t kSlots = 3;

class ParallelPrint {
 public:
  ParallelPrint(const PrintSource& source, size_t chunk_bytes, TextWriter& out)
      : source_(source), chunks_(source.scan.chunks), out_(out), done_(chunks_.size(), false) {
    // A chunk's text is about three times its bytes; a longer one is finished by emit.
    const size_t capacity = std::min(TextWriter::kMaxCapacity, 4 * chunk_bytes);
    for (size_t i = 0; i < kSlots; ++i) slots_.push_back(std::make_unique<Slot>(out.sink(), capacity));
  }

  // The calling thread's part: it prints chunks too, and hands each chunk's text to the sink
  // in order as soon as the chunk is printed.
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (written_ < chunks_.size() && !failure_) {
      if (done_[written_]) {
        lock.unlock();
        emit(written_);
        lock.lock();
        ++written_;
        changed_.notify_all();
      } else if (claimable()) {
        print_claimed(lock);
      } else {
        changed_.wait(lock);
      }
    }
  }

  // The second thread's part: it prints chunks while there are chunks and free slots.
  void help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return failure_ || claimable() || next_ == chunks_.size(); });
      if (failure_ || next_ == chunks_.size()) return;
      print_claimed(lock);
    }
  }

  // Ends the work of both threads: one of them failed.
  void fail(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_) failure_ = failure;
    changed_.notify_all();
  }
  std::exception_ptr failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

 private:
  struct Slot {
    Slot(TextSink& sink, size_t capacity) : text(sink, capacity) {}
    TextWriter text;                 // the chunk's text, handed to the sink by emit
    std::optional<PrintState> rest;  // where the text stopped, when the chunk did not fit
  };

  // The next chunk may be printed once the chunk that had its slot before is written.
  bool claimable() const { return next_ < chunks_.size() && next_ < written_ + kSlots; }

  size_t end_of(size_t chunk) const { return chunk + 1 < chunks_.size() ? chunks_[chunk + 1].pos : source_.scan.end; }

  // Takes the next chunk and prints as much of it as its slot holds, without the lock.
  void print_claimed(std::unique_lock<std::mutex>& lock) {
    const size_t chunk = next_++;
    lock.unlock();
    Slot& slot = *slots_[chunk % kSlots];
    TokenPrinter printer(source_, chunks_[chunk]);
    slot.rest.reset();
    if (!printer.print_until(slot.text, end_of(chunk), true)) slot.rest = printer.state();
    lock.lock();
    done_[chunk] = true;
    changed_.notify_all();
  }

  // The chunk's text to the sink, after what `out` holds; the part that did not fit its slot
  // is printed through `out` now.
  void emit(size_t chunk) {
    Slot& slot = *slots_[chunk % kSlots];
    out_.flush();
    slot.text.flush();
    if (slot.rest) TokenPrinter(source_, *slot.rest).print_until(out_, end_of(chunk), false);
  }

  const PrintSource& source_;
  const std::vector<PrintState>& chunks_;
  TextWriter& out_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;  // a chunk was printed or written, or the work failed
  std::vector<bool> done_;           // each chunk: printed into its slot
  size_t next_ = 0;                  // the next chunk to print
  size_t written_ = 0;               // the chunks handed to the sink
  std::exception_ptr failure_;
};

}  // namespace

bool print_tokens_in_parallel(const PrintSource& source, size_t chunk_bytes, TextWriter& out) {
  ParallelPrint print(source, chunk_bytes, out);
  std::thread helper;
  try {
    // Started while interruptions are held, the helper holds them for good: the printing
    // thread takes them (common/interruption.h).
    const InterruptionsHeld hold;
    helper = std::thread([&print] {
      try {
        print.help();
      } catch (...) {
        print.fail(std::current_exception());
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  try {
    print.run();
  } catch (...) {
    print.fail(std::current_exception());
  }
  helper.join();
  if (const std::exception_ptr failure = print.failure()) std::rethrow_exception(failure);
  return true;
}

}  // namespace qbkit::decompiler
