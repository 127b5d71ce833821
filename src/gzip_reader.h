// Decompressing a gzip stream while it is read, for the compressed
// catalogue the Minor Planet Center distributes.

#ifndef ORBITPICK_GZIP_READER_H_
#define ORBITPICK_GZIP_READER_H_

#include <cstddef>
#include <memory>
#include <string>

#include "reader.h"

namespace orbitpick {

/// Bytes of compressed input read from the source at a time.
constexpr std::size_t kGzipInputBytes = 256 * 1024;

/// A Reader that hands out the decompressed contents of the gzip stream read
/// from "source"; its errors name "path". Concatenated members (as "cat a.gz b.gz" or a parallel
/// compressor make) are read one after the other, like gzip -d does. A read
/// fails, with *err set, when the data is corrupt (zlib's own
/// message, such as "incorrect data check" for a bad CRC), when the input
/// ends inside a member ("unexpected end of compressed data"), or when
/// anything but another gzip member follows one, even zeros that gzip only
/// warns about: a catalogue followed by junk is not one to trust.
std::unique_ptr<Reader> make_gzip_reader(
    std::unique_ptr<Reader> source, std::string path,
    std::size_t input_bytes = kGzipInputBytes);

}  // namespace orbitpick

#endif  // ORBITPICK_GZIP_READER_H_
