// Large buffers (an input file, a compile's output) are touched once from start to end. Backing them with huge pages where the system offers them spares most of the page
// faults of that first touch, which otherwise cost more than reading the text.
#pragma once

#include "common/bytes.h"

namespace qbkit {

// Asks for huge pages under the reserved capacity of `buffer`; call it before the buffer is
// first written. Does nothing for small buffers or where the system has no such request.
void prefer_huge_pages(Bytes& buffer);

}  // namespace qbkit
