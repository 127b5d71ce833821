// A source of bytes: a file, standard input, a decompressor.
//
// The implementations live with the code that opens them: plain files and
// standard input in input_file.cc, gzip decompression in gzip_reader.cc and
// isal_gzip_reader.cc, reading ahead in threaded_reader.cc.

#ifndef ORBITPICK_INPUT_READER_H_
#define ORBITPICK_INPUT_READER_H_

#include <cstddef>
#include <string_view>

#include "base/diagnostics.h"

namespace orbitpick {

class Reader {
 public:
  virtual ~Reader() = default;

  /// Reads up to "size" bytes into "buf" and sets *got to the number read.
  /// Returns false on failure, with *err set. For a "size" of 1 or more, *got
  /// is 0 only at the end of the input, and stays 0 from then on. A "size" of
  /// 0 reads nothing and sets *got to 0 without meaning the end: the next
  /// read gives what it would have given; it may still fail, as a reader
  /// that failed before fails again. Callers that take *got == 0 as the end
  /// therefore never ask for 0 bytes.
  virtual bool read(char* buf, std::size_t size, std::size_t* got,
                    Error* err) = 0;

  /// The whole input where it already lies in memory (a mapped file), for
  /// a caller that takes its bytes in place rather than read them; empty
  /// for every other input. Valid while the reader lives.
  virtual std::string_view mapped() const { return {}; }
};

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_READER_H_
