// Reading an input in big blocks of whole lines.
//
// The catalogue is ~290 MB of short lines; reading it a line at a time costs
// more than searching it. The reader hands out runs of complete lines from a
// large buffer, carrying an unfinished last line over to the next run.

#ifndef ORBITPICK_INPUT_LINE_READER_H_
#define ORBITPICK_INPUT_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/reader.h"

namespace orbitpick {

/// Default size of the reading buffer; it fits the second-level cache.
constexpr std::size_t kDefaultBufferBytes = 256 * 1024;

/// The longest line the buffer grows for. No catalogue or list line comes
/// near it; a file that has one is refused rather than read into memory
/// without bound (and offsets into a run stay below 2^32).
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 30;

struct LineBuffer {
  Reader* reader = nullptr;
  std::size_t capacity = kDefaultBufferBytes;  // grows for a longer line
  std::size_t max_capacity = kMaxLineBytes;
  std::vector<char> data;  // "capacity" bytes
  std::size_t head = 0;    // first byte not handed out
  std::size_t tail = 0;    // end of the bytes read
  bool at_end = false;
};

/// Prepares "lines" to read "reader" (which must outlive it) through a buffer
/// of "buffer_bytes" bytes (at least 1), which grows up to "max_line_bytes"
/// for a long line.
void init_line_buffer(LineBuffer* lines, Reader* reader,
                      std::size_t buffer_bytes = kDefaultBufferBytes,
                      std::size_t max_line_bytes = kMaxLineBytes);

/// Sets *run to the next run of complete lines: it ends just after a line
/// feed, except at the end of the input, where it is the last line without
/// one. The run stays valid until the next call. Returns false at the end of
/// the input, and also on a read failure or a line longer than the buffer
/// may grow, which set err->what (left empty otherwise).
bool next_lines(LineBuffer* lines, std::string_view* run, Error* err);

/// Number of line feeds in [begin, end).
std::int64_t count_newlines(const char* begin, const char* end);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LINE_READER_H_
