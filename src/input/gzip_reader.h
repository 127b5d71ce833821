// Decompressing a gzip stream while it is read, for the compressed
// catalogue the Minor Planet Center distributes.

#ifndef ORBITPICK_INPUT_GZIP_READER_H_
#define ORBITPICK_INPUT_GZIP_READER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "input/reader.h"

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
///
/// Uses the first of gzip_inflaters(): ISA-L's when the program is built
/// with it, zlib's otherwise.
std::unique_ptr<Reader> make_gzip_reader(
    std::unique_ptr<Reader> source, std::string path,
    std::size_t input_bytes = kGzipInputBytes);

/// The same Reader, decompressing with zlib.
std::unique_ptr<Reader> make_zlib_gzip_reader(
    std::unique_ptr<Reader> source, std::string path,
    std::size_t input_bytes = kGzipInputBytes);

/// The same Reader, decompressing with ISA-L; only in a build with ISA-L
/// (ORBITPICK_HAVE_ISAL). The gzip header and trailer are checked as zlib
/// checks them, with zlib's messages. For damage inside the deflate data,
/// where zlib has a dozen messages, ISA-L tells only three kinds; they get
/// "invalid block type" (any malformed block header or code table),
/// "invalid literal/length code" (any invalid symbol, distance codes too)
/// and "invalid distance too far back". Either way the read fails, and
/// damage that still decodes fails the CRC check as with zlib. Deflate data
/// both damaged and cut short may fail with one of those where zlib, which
/// checks a block's code lengths later, says the data ended. It reads at
/// least 2 KiB of input at a time, whatever "input_bytes" says: ISA-L must
/// see a whole block header unless the input ends.
std::unique_ptr<Reader> make_isal_gzip_reader(
    std::unique_ptr<Reader> source, std::string path,
    std::size_t input_bytes = kGzipInputBytes);

using GzipReaderMaker = std::unique_ptr<Reader> (*)(
    std::unique_ptr<Reader> source, std::string path, std::size_t input_bytes);

struct GzipInflater {
  const char* name;  // "isal", "zlib"
  GzipReaderMaker make;
};

/// The decompressors built into the program, the preferred one first.
std::vector<GzipInflater> gzip_inflaters();

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_GZIP_READER_H_
