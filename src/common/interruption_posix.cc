// Interruptions on POSIX systems: SIGINT, SIGTERM, SIGHUP and SIGPIPE, blocked while held.
#include <signal.h>
#include <unistd.h>

#include <iterator>

#include "common/interruption.h"
#include "common/interruption_registry.h"

namespace qbkit {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The signals that clean up: those of kSignals whose bit is set in `bits`.
sigset_t signal_set(unsigned bits) {
  sigset_t set;
  sigemptyset(&set);
  for (size_t k = 0; k < std::size(kSignals); ++k)
    if (bits & (1u << k)) sigaddset(&set, kSignals[k]);
  return set;
}

// Removes what is registered with calls that are safe in a signal handler.
void remove_temporaries() {
  interruption::remove_registered([](const interruption::Temporary& t) {
    if (t.folder)
      ::rmdir(t.path.c_str());
    else
      ::unlink(t.path.c_str());
  });
}

// The process ends by the signal itself, as it would have without this handler: its parent
// sees how it ended, and nothing is printed.
void on_interruption(int signal) {
  remove_temporaries();
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // not reached: the signal ends the process
}

}  // namespace

void clean_up_when_interrupted() {
  interruption::Registry& r = interruption::registry();
  struct sigaction action = {};
  action.sa_handler = on_interruption;
  action.sa_mask = signal_set(~0u);  // one clean-up at a time
  // A signal ignored or blocked when the process started is left so.
  sigset_t blocked;
  ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  for (size_t k = 0; k < std::size(kSignals); ++k) {
    struct sigaction before;
    if (::sigaction(kSignals[k], nullptr, &before) != 0 || before.sa_handler == SIG_IGN ||
        sigismember(&blocked, kSignals[k]) == 1)
      continue;
    if (::sigaction(kSignals[k], &action, nullptr) == 0) r.handled |= 1u << k;
  }
}

InterruptionsHeld::InterruptionsHeld() {
  interruption::Registry& r = interruption::registry();
  if (r.holds++ > 0) return;
  const sigset_t set = signal_set(r.handled);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptionsHeld::~InterruptionsHeld() {
  interruption::Registry& r = interruption::registry();
  if (--r.holds > 0) return;
  const sigset_t set = signal_set(r.handled);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace qbkit
