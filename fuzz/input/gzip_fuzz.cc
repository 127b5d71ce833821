// Fuzzes the compressed catalogue's reading: any bytes as a gzip file,
// through each decompressor of the build, read ahead on a second thread in
// blocks of random sizes, with the file failing part way or not.
//
// Input: byte 0 picks the size of the file's reads, byte 1 the size of the
// decompressor's input buffer, byte 2 the read-ahead blocks' size, byte 3
// their number, the size of the caller's reads and where the file fails;
// the rest is the file. Read ahead, a decompressor hands out exactly what
// it does read directly. The decompressors agree: what zlib reads whole,
// ISA-L reads the same; where zlib refuses the header, a member's end or
// what follows it, ISA-L refuses it with the same message; where zlib
// refuses the deflate data, ISA-L refuses it too (and where it is both
// damaged and cut short, may name the damage rather than the end).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_reader.h"
#include "input/gzip_reader.h"
#include "input/threaded_reader.h"

namespace orbitpick {
namespace {

struct Result {
  bool ok = false;
  std::string data;
  Error err;
};

Result read_all(Reader* reader, std::size_t step) {
  Result r;
  std::vector<char> buf(step);
  for (;;) {
    std::size_t got = 0;
    if (!reader->read(buf.data(), buf.size(), &got, &r.err)) return r;
    if (got == 0) break;
    fuzz::check(got <= step);
    r.data.append(buf.data(), got);
  }
  r.ok = true;
  return r;
}

// One of "a" and "b" starts the other.
bool same_start(const std::string& a, const std::string& b) {
  return a.size() <= b.size() ? b.compare(0, a.size(), a) == 0
                              : a.compare(0, b.size(), b) == 0;
}

constexpr char kTruncated[] = "unexpected end of compressed data";

// zlib's messages for damage in the deflate data, and for damage that
// decodes into the wrong bytes.
const std::set<std::string> kDeflateDamage = {
    "invalid block type",
    "invalid stored block lengths",
    "too many length or distance symbols",
    "invalid code lengths set",
    "invalid bit length repeat",
    "invalid code -- missing end-of-block",
    "invalid literal/lengths set",
    "invalid distances set",
    "invalid literal/length code",
    "invalid distance code",
    "invalid distance too far back",
    "incorrect data check",
    "incorrect length check",
};

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size < 4) return 0;
  const std::size_t in_step = 1 + data[0] % 64 * (data[0] >= 128 ? 97 : 1);
  const std::size_t input_bytes = 2 + data[1] % 128 * (data[1] >= 128 ? 61 : 1);
  const std::size_t small_block = 1 + data[2] * (data[2] >= 200 ? 331 : 1);
  const int blocks = 1 + data[3] % 4;
  const std::size_t out_step = 1 + (data[3] >> 2) % 16 * 517;
  const bool fails = (data[3] & 0x40) != 0;
  const std::string_view file(reinterpret_cast<const char*>(data) + 4,
                              size - 4);

  std::vector<Result> direct;
  for (const GzipInflater& inflater : gzip_inflaters()) {
    std::unique_ptr<Reader> reader = inflater.make(
        std::make_unique<fuzz::ScriptedReader>(file, 1 << 16), "c.gz", 1 << 16);
    direct.push_back(read_all(reader.get(), 1 << 16));
    const Result& expected = direct.back();
    fuzz::check(expected.ok ? expected.err.what.empty()
                            : !expected.err.what.empty());

    // At most some 64 blocks a file: a handover costs more than a byte.
    const std::size_t block_bytes =
        std::max(small_block, expected.data.size() / 64);
    const std::size_t fail_at = fails ? file.size() / 2 : std::string_view::npos;
    std::unique_ptr<Reader> ahead = make_threaded_reader(
        inflater.make(
            std::make_unique<fuzz::ScriptedReader>(file, in_step, fail_at),
            "c.gz", input_bytes),
        block_bytes, blocks);
    const Result got = read_all(ahead.get(), out_step);
    // A read that fails hands out nothing of what it decompressed, so how
    // much comes before an error depends on the sizes of the reads.
    fuzz::check(same_start(got.data, expected.data));
    if (!fails) {
      fuzz::check(got.ok == expected.ok && got.err.what == expected.err.what);
      fuzz::check(!got.ok || got.data == expected.data);
    } else {
      // The file fails, unless the decompressor stopped before that.
      fuzz::check(!got.ok);
      fuzz::check(got.err.what == fuzz::kReadError ||
                  got.err.what == expected.err.what);
    }
    fuzz::check(got.ok || got.err.path == "c.gz");
  }

  // The first decompressor is the build's own; zlib is the last.
  const Result& zlib = direct.back();
  for (std::size_t i = 0; i + 1 < direct.size(); ++i) {
    const Result& other = direct[i];
    fuzz::check(same_start(other.data, zlib.data));
    if (zlib.ok) {
      fuzz::check(other.ok && other.data == zlib.data);
    } else if (kDeflateDamage.count(zlib.err.what) > 0) {
      fuzz::check(!other.ok);
    } else if (zlib.err.what == kTruncated && !other.ok &&
               kDeflateDamage.count(other.err.what) > 0) {
      // Deflate data both damaged and cut short: zlib stops at the end of
      // the input before it sees the damage that ISA-L, checking a block's
      // code lengths sooner, already has.
    } else {
      fuzz::check(other.err.what == zlib.err.what);
    }
  }
  return 0;
}
