// Decompressing a gzip stream with Intel's ISA-L, several times faster than
// zlib on the catalogue. ISA-L inflates the deflate data; the gzip header and
// trailer are read here, with zlib's checks and messages, so that both
// readers refuse the same input for the same reason.

#include <isa-l.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "input/gzip_input.h"
#include "input/gzip_reader.h"

namespace orbitpick {
namespace {

constexpr unsigned char kDeflate = 8;

// Header flag bits.
constexpr unsigned kHeaderCrc = 0x02;
constexpr unsigned kExtra = 0x04;
constexpr unsigned kName = 0x08;
constexpr unsigned kComment = 0x10;
constexpr unsigned kReservedFlags = 0xe0;

// Input ISA-L is given at each call, unless the input ends first. ISA-L
// decodes a block header as soon as it is called, padding whatever input
// it lacks with zero bits, and can then take a header cut by the end of
// the input for a bad one. A dynamic header is at most 328 bytes
// (ISAL_DEF_MAX_HDR_SIZE), so with this much at hand it never lacks any
// except at the real end.
constexpr std::size_t kMinInflateInput = 1024;

// ISA-L tells three kinds of damage in the deflate data where zlib tells a
// dozen; each gets the zlib message of its most common case.
const char* deflate_error(int rc) {
  switch (rc) {
    case ISAL_INVALID_BLOCK:  // also bad code lengths, stored lengths
      return "invalid block type";
    case ISAL_INVALID_SYMBOL:  // also an invalid distance code
      return "invalid literal/length code";
    case ISAL_INVALID_LOOKBACK:
      return "invalid distance too far back";
    default:
      return "data error";
  }
}

class IsalGzipReader : public Reader {
 public:
  IsalGzipReader(std::unique_ptr<Reader> source, std::string path,
                 std::size_t input_bytes)
      : in_(std::move(source), std::move(path),
            std::max(input_bytes, 2 * kMinInflateInput)),
        state_(std::make_unique<inflate_state>()) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override;

 private:
  enum class Stage { kHeader, kData, kTrailer, kBetweenMembers, kDone };

  // The next input byte; fails as truncated at the end of the input.
  bool next_byte(unsigned char* byte, Error* err);
  bool read_bytes(unsigned char* bytes, std::size_t n, Error* err);
  // Puts bytes that ISA-L took but did not use back in front of the input.
  void push_back_leftover();
  // Reads and checks a member's header, as zlib does.
  bool read_header(Error* err);
  bool read_trailer(Error* err);

  GzipInput in_;
  std::unique_ptr<inflate_state> state_;
  Stage stage_ = Stage::kHeader;
};

bool IsalGzipReader::next_byte(unsigned char* byte, Error* err) {
  if (!in_.ensure(1, err)) return false;
  if (in_.size() == 0) return in_.fail_with(kGzipTruncated, err);
  *byte = in_.data()[0];
  in_.consume(1);
  return true;
}

void IsalGzipReader::push_back_leftover() {
  // ISA-L reads ahead: whole bytes past the deflate data wait in its bit
  // buffer (after the last byte's padding bits) and in its small input
  // buffer, both taken from the input before next_in. A negative bit count
  // (bits made up past the end of the input) leaves none to give back.
  inflate_state& s = *state_;
  unsigned char back[sizeof s.read_in + sizeof s.tmp_in_buffer];
  std::size_t n = 0;
  const int bits_held = std::max(s.read_in_length, 0);
  std::uint64_t bits = s.read_in >> (bits_held % 8);
  for (int i = 0; i < bits_held / 8; ++i, bits >>= 8) {
    back[n++] = static_cast<unsigned char>(bits & 0xff);
  }
  std::memcpy(back + n, s.tmp_in_buffer, s.tmp_in_size);
  n += s.tmp_in_size;
  in_.put_back(back, n);
}

bool IsalGzipReader::read_bytes(unsigned char* bytes, std::size_t n,
                                Error* err) {
  for (std::size_t i = 0; i < n; ++i) {
    if (!next_byte(&bytes[i], err)) return false;
  }
  return true;
}

bool IsalGzipReader::read_header(Error* err) {
  // Magic number, method, flags, then time, extra flags and system.
  unsigned char header[10];
  if (!read_bytes(header, 2, err)) return false;
  if (std::memcmp(header, kGzipMagic, sizeof kGzipMagic) != 0) {
    return in_.fail_with("incorrect header check", err);
  }
  if (!read_bytes(header + 2, 2, err)) return false;
  if (header[2] != kDeflate) {
    return in_.fail_with("unknown compression method", err);
  }
  if (header[3] & kReservedFlags) {
    return in_.fail_with("unknown header flags set", err);
  }
  if (!read_bytes(header + 4, 6, err)) return false;
  const unsigned flags = header[3];
  uLong crc = crc32(0L, header, sizeof header);
  unsigned char byte = 0;
  if (flags & kExtra) {
    unsigned char len[2];
    if (!read_bytes(len, 2, err)) return false;
    crc = crc32(crc, len, 2);
    for (unsigned left = len[0] | len[1] << 8; left > 0; --left) {
      if (!next_byte(&byte, err)) return false;
      crc = crc32(crc, &byte, 1);
    }
  }
  for (unsigned field : {kName, kComment}) {
    if (!(flags & field)) continue;
    do {
      if (!next_byte(&byte, err)) return false;
      crc = crc32(crc, &byte, 1);
    } while (byte != 0);
  }
  if (flags & kHeaderCrc) {
    unsigned char check[2];
    if (!read_bytes(check, 2, err)) return false;
    const uLong stored = check[0] | check[1] << 8;
    if (stored != (crc & 0xffff)) {
      return in_.fail_with("header crc mismatch", err);
    }
  }
  return true;
}

bool IsalGzipReader::read_trailer(Error* err) {
  unsigned char trailer[8];
  if (!read_bytes(trailer, sizeof trailer, err)) return false;
  auto le32 = [](const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
           std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
  };
  // The same order of checks as zlib: the CRC first, then the length.
  if (le32(trailer) != state_->crc) {
    return in_.fail_with("incorrect data check", err);
  }
  if (le32(trailer + 4) != state_->total_out) {
    return in_.fail_with("incorrect length check", err);
  }
  return true;
}

bool IsalGzipReader::read(char* buf, std::size_t size, std::size_t* got,
                          Error* err) {
  *got = 0;
  if (in_.failed(err)) return false;
  if (size == 0) return true;
  // Straight into the caller's buffer: no copy beyond inflate's own.
  std::size_t done = 0;
  const std::size_t want = std::min<std::size_t>(size, UINT32_MAX);
  inflate_state& s = *state_;
  while (done < want) {
    switch (stage_) {
      case Stage::kDone:
        *got = done;
        return true;
      case Stage::kBetweenMembers:
        switch (in_.next_member(err)) {
          case GzipInput::Next::kFailed:
            return false;
          case GzipInput::Next::kEnd:
            stage_ = Stage::kDone;
            continue;
          case GzipInput::Next::kMember:
            stage_ = Stage::kHeader;
            continue;
        }
        continue;
      case Stage::kHeader:
        if (!read_header(err)) return false;
        isal_inflate_init(&s);
        s.crc_flag = ISAL_GZIP_NO_HDR;  // keep the CRC-32 of the output
        stage_ = Stage::kData;
        continue;
      case Stage::kTrailer:
        if (!read_trailer(err)) return false;
        stage_ = Stage::kBetweenMembers;
        continue;
      case Stage::kData:
        break;
    }
    if (!in_.ensure(kMinInflateInput, err)) return false;
    s.next_in = const_cast<std::uint8_t*>(in_.data());
    s.avail_in = static_cast<std::uint32_t>(in_.size());
    s.next_out = reinterpret_cast<std::uint8_t*>(buf) + done;
    s.avail_out = static_cast<std::uint32_t>(want - done);
    const int rc = isal_inflate(&s);
    const std::size_t used = s.next_in - in_.data();
    const std::size_t made = want - done - s.avail_out;
    in_.consume(used);
    done += made;
    // Bits read past the end of the input: zlib would wait for them.
    const bool past_end = s.read_in_length < 0 && in_.ended();
    if (rc < 0) {
      return in_.fail_with(past_end ? kGzipTruncated : deflate_error(rc), err);
    }
    if (s.block_state == ISAL_BLOCK_FINISH) {
      if (past_end) return in_.fail_with(kGzipTruncated, err);
      push_back_leftover();
      stage_ = Stage::kTrailer;
    } else if (used == 0 && made == 0) {
      // No progress: ISA-L wants more input than there is. (Given at
      // least kMinInflateInput bytes, it always takes some.)
      return in_.fail_with(in_.ended() ? kGzipTruncated : "data error", err);
    }
  }
  *got = done;
  return true;
}

}  // namespace

std::unique_ptr<Reader> make_isal_gzip_reader(std::unique_ptr<Reader> source,
                                              std::string path,
                                              std::size_t input_bytes) {
  return std::make_unique<IsalGzipReader>(std::move(source), std::move(path),
                                          input_bytes);
}

}  // namespace orbitpick
