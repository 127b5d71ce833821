// Reading ahead on a second thread: the next blocks of the catalogue are
// read and decompressed while the program scans the one before.

#ifndef ORBITPICK_INPUT_THREADED_READER_H_
#define ORBITPICK_INPUT_THREADED_READER_H_

#include <cstddef>
#include <memory>

#include "base/threads.h"  // usable_processors, for the callers
#include "input/reader.h"

namespace orbitpick {

/// Bytes of one block read ahead: the size of the scan's own buffer, so that
/// a block is still in the cache when the scan takes it.
constexpr std::size_t kReadAheadBlockBytes = 256 * 1024;

/// Blocks read ahead at most; with the scan's buffer, the memory the input
/// takes stays near (kReadAheadBlocks + 1) * kReadAheadBlockBytes whatever
/// the size of the input.
constexpr int kReadAheadBlocks = 4;

/// A Reader that hands out what "inner" does, the same bytes and then the
/// same end or error, while a thread of its own reads "inner" ahead, up to
/// "blocks" blocks of "block_bytes" bytes (at least 1 each). The thread
/// starts at once and stops at the end or the first error of "inner".
///
/// Destroying the reader before the end (when the scan stopped on a write
/// error, say) stops the thread too: it waits for the read of "inner" in
/// progress, which for a pipe is until its writer writes or closes it, and
/// joins the thread, so that none is left running.
///
/// When no thread can be started, reads go straight to "inner".
std::unique_ptr<Reader> make_threaded_reader(
    std::unique_ptr<Reader> inner,
    std::size_t block_bytes = kReadAheadBlockBytes,
    int blocks = kReadAheadBlocks);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_THREADED_READER_H_
