// The server's one loop: read what input there is, cut it into frames, hand each to the
// protocol, write each answer whole, until `exit` or the end of input. One thread; each
// message is done with before the next is read.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "common/error.h"
#include "lsp/engine.h"

namespace qbkit::lsp {

// Where the loop's bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `buffer`: as many as there are, waiting for one at least. 0 at
  // the end of input.
  virtual size_t read(char* buffer, size_t size) = 0;
};

// Returns the process's status: that of `exit`, or at the end of input 0 after `shutdown`
// and 1 without it; 1 as well when `out` takes no more.
ExitStatus run_message_loop(ByteSource& in, std::ostream& out, Engine& engine);

}  // namespace qbkit::lsp
