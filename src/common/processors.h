// How many processors this process may run on.
#pragma once

namespace qbkit {

// The processors in the process's affinity mask (at least 1): a process that was started on
// one processor (taskset, start /affinity) counts one, whatever the machine has.
unsigned usable_processors();

}  // namespace qbkit
