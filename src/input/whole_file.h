// Reading a small file whole: the INI file a merge starts from.

#ifndef ORBITPICK_INPUT_WHOLE_FILE_H_
#define ORBITPICK_INPUT_WHOLE_FILE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "base/diagnostics.h"

namespace orbitpick {

/// Reads the whole file at "path" into *text, holding no more than its size
/// when it is a regular file (what a FIFO or a growing file holds beyond
/// that is appended). Fails, naming "path" and leaving *text empty, when
/// the file cannot be opened or read, is a directory, or does not fit in
/// memory.
bool read_whole_file(const std::string& path, std::string* text, Error* err);

/// Limits on a file read as text.
struct TextLimits {
  std::size_t max_bytes;  // more is refused ("larger than N bytes")
  std::string_view what;  // the kind of text, named in the refusal
};

/// read_whole_file for a text file: also fails, as soon as it is read,
/// on a NUL byte (see check_no_nul) and on more than limits.max_bytes
/// bytes, a regular file before anything is read. /dev/zero or an endless
/// FIFO then fails at once instead of filling the memory.
bool read_text_file(const std::string& path, const TextLimits& limits,
                    std::string* text, Error* err);

/// Fails ("holds a NUL byte at offset N: not a text file", N counted from
/// "offset") when "text" holds a NUL byte.
bool check_no_nul(std::string_view text, std::size_t offset, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_WHOLE_FILE_H_
