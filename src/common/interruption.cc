#include "common/interruption.h"

#include "common/assertion.h"
#include "common/interruption_registry.h"

namespace qbkit {
namespace interruption {

Registry& registry() {
  // Made before main and never destroyed.
  static Registry* const the_registry = new Registry;
  return *the_registry;
}

namespace {

// Whoever changes the registry holds interruptions.
Registry& changing() {
  Registry& r = registry();
  QBKIT_ASSERT(r.holds > 0);  // an interruption must never find the registry half changed
  return r;
}

size_t add(Temporary temporary) {
  std::vector<Temporary>& all = changing().temporaries;
  all.push_back(std::move(temporary));
  return all.size() - 1;
}

}  // namespace
}  // namespace interruption

using interruption::changing;

size_t register_temporary_file(const std::string& path, intptr_t handle) {
  return interruption::add({path, handle, false, true});
}

size_t register_temporary_folder(const std::string& path) { return interruption::add({path, -1, true, true}); }

void temporary_file_closed(size_t id) { changing().temporaries[id].handle = -1; }

void forget_temporary(size_t id) {
  std::vector<interruption::Temporary>& all = changing().temporaries;
  all[id].live = false;
  // Ids are indices: only the forgotten at the end can go.
  while (!all.empty() && !all.back().live) all.pop_back();
}

}  // namespace qbkit
