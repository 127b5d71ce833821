// Reading a small file whole: the INI file a merge starts from.

#ifndef ORBITPICK_INPUT_WHOLE_FILE_H_
#define ORBITPICK_INPUT_WHOLE_FILE_H_

#include <string>

#include "base/diagnostics.h"

namespace orbitpick {

/// Reads the whole file at "path" into *text, holding no more than its size
/// when it is a regular file (what a FIFO or a growing file holds beyond
/// that is appended). Fails, naming "path" and leaving *text empty, when
/// the file cannot be opened or read, is a directory, or does not fit in
/// memory.
bool read_whole_file(const std::string& path, std::string* text, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_WHOLE_FILE_H_
