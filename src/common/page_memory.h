// Pages straight from the system for PageBuffer (page_buffer.cc) and the huge-page hint:
// page_memory_posix.cc or page_memory_win32.cc, whichever the build compiles for its platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qbkit::page_memory {

// Zeroed pages, all prefaulted; nullptr when none can be had. `size` comes back as the bytes
// mapped, which may be more than asked for.
uint8_t* map_pages(size_t& size);

// Gives back what map_pages mapped: its pointer and the size it gave back.
void unmap_pages(uint8_t* p, size_t size);

}  // namespace qbkit::page_memory
