// A plain file read in place: mapped into memory, its bytes are the page
// cache's own, so the scan takes them without a copy and can share them out
// among threads.

#ifndef ORBITPICK_INPUT_MAPPED_FILE_H_
#define ORBITPICK_INPUT_MAPPED_FILE_H_

#include <memory>
#include <string>

#include "input/reader.h"

namespace orbitpick {

/// A reader of the regular, non-empty file at "path", mapped whole: its
/// mapped() is the file's bytes, and read() hands out the same bytes as
/// any reader does. Null when the file cannot be mapped (missing, not a
/// regular file, empty, or a system without mapping): the caller then opens
/// it as usual, which reports what is wrong with it.
///
/// The file must not shrink while it is mapped; the catalogue is a download
/// that is replaced whole, never rewritten in place.
std::unique_ptr<Reader> map_input_file(const std::string& path);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_MAPPED_FILE_H_
