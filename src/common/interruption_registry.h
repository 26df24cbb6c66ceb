// The registry of interruption.h as its platform halves (interruption_posix.cc and
// interruption_win32.cc) see it. Only those and interruption.cc include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qbkit::interruption {

struct Temporary {
  std::string path;
  intptr_t handle = -1;  // the file while open (Windows); -1 when closed, or a folder
  bool folder = false;
  bool live = true;  // false once forgotten
};

// The registered paths in the order made. Forgotten ones at the end are dropped, so that a
// run that makes and forgets one after another keeps it short.
struct Registry {
  std::vector<Temporary> temporaries;
  int holds = 0;  // the InterruptionsHeld alive (on the main thread)
  unsigned handled = 0;  // POSIX: bit k set when the k-th interruption signal is handled
  // Windows: held by the holds and by the thread of a console event, which never lets go.
  std::recursive_mutex lock;
};

// The one registry; it lives until the process ends (it is never destroyed, so that a signal
// at exit still finds it whole).
Registry& registry();

// Calls remove(temporary) for each live registration, the newest first: the files in a
// folder go before it. Reads the registry only: safe in a signal handler.
template <typename Remove>
void remove_registered(Remove remove) {
  std::vector<Temporary>& all = registry().temporaries;
  for (size_t k = all.size(); k-- > 0;)
    if (all[k].live) remove(all[k]);
}

}  // namespace qbkit::interruption
