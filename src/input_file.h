// Opening the program's inputs for reading.

#ifndef ORBITPICK_INPUT_FILE_H_
#define ORBITPICK_INPUT_FILE_H_

#include <memory>
#include <string>

#include "line_reader.h"

namespace orbitpick {

/// Opens the file at "path" for reading as raw bytes. A directory is refused.
/// On failure returns null and sets *err to the reason (no path in it).
std::unique_ptr<Reader> open_input_file(const std::string& path,
                                        std::string* err);

/// Opens the catalogue: the file at "path", or standard input when "path" is
/// "-". A gzip stream (found by its first two bytes, whatever the name) is
/// decompressed while it is read. On failure returns null and sets *err.
std::unique_ptr<Reader> open_catalogue(const std::string& path,
                                       std::string* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_FILE_H_
