// The printing pass on two threads, for a stream scanned with a ChunkPlan: the tokens from one
// chunk start to the next make a chunk. Either thread takes the next chunk and prints it into
// a buffer of its own, from the layout state that the scan noted at the chunk's start; the
// calling thread hands the buffers to the sink in order. The text is the one print_tokens
// writes, whatever the timing.
//
// Measured on the benchmark's 7.8 MB script on a machine whose two processors other work kept
// busy (no quiet one was to be had): in process, 37.9 ms against 39.7 ms on one thread (33.7
// ms with chunks of 128 KiB); whole processes in pairs, 0.93 of the time on one processor.
// Printing is three quarters of a decompile, so two idle processors should take a third off.
#pragma once

#include <cstddef>

#include "decompiler/printer.h"
#include "decompiler/text_writer.h"

namespace qbkit::decompiler {

// Prints the tokens of `source` to `out`, on the calling thread and a second one; the chunks
// were planned `chunk_bytes` apart. False when no second thread can be started: then nothing
// was written.
bool print_tokens_in_parallel(const PrintSource& source, size_t chunk_bytes, TextWriter& out);

}  // namespace qbkit::decompiler
