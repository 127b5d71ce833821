// Opening the program's inputs for reading.

#ifndef ORBITPICK_INPUT_INPUT_FILE_H_
#define ORBITPICK_INPUT_INPUT_FILE_H_

#include <memory>
#include <string>

#include "input/reader.h"

namespace orbitpick {

/// Opens the file at "path" for reading as raw bytes into *reader. A
/// directory is refused. Errors, at the opening or at a later read, name
/// "path".
bool open_input_file(const std::string& path, std::unique_ptr<Reader>* reader,
                     Error* err);

/// Opens the catalogue: the file at "path", or standard input when "path" is
/// "-". A gzip stream (found by its first two bytes, whatever the name) is
/// decompressed while it is read; standard input is looked at only by the
/// first read, so that opening it never waits. Standard input is refused
/// when it is a terminal or was closed when the program started. With more
/// than one processor to run on, a plain file is mapped (its reader's
/// mapped() holds it whole, see mapped_file.h), and a compressed catalogue
/// and standard input are read ahead on a second thread (see
/// threaded_reader.h). Errors name "path".
bool open_catalogue(const std::string& path, std::unique_ptr<Reader>* reader,
                    Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_INPUT_FILE_H_
