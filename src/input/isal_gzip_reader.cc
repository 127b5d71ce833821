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
      : source_(std::move(source)),
        path_(std::move(path)),
        input_(std::max(input_bytes, 2 * kMinInflateInput)),
        state_(std::make_unique<inflate_state>()) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override;

 private:
  enum class Stage { kHeader, kData, kTrailer, kBetweenMembers, kDone };

  std::size_t unread() const { return end_ - start_; }
  // Moves the unread input to the front and reads more after it; sets
  // source_ended_ when the source has no more. False with *err set when the
  // source fails.
  bool fill(Error* err);
  // Makes at least "want" bytes unread unless the source ends first.
  bool ensure(std::size_t want, Error* err);
  // The next input byte; fails as truncated at the end of the input.
  bool next_byte(unsigned char* byte, Error* err);
  bool read_bytes(unsigned char* bytes, std::size_t n, Error* err);
  // Puts bytes that ISA-L took but did not use back in front of the input.
  void push_back_leftover();
  // Reads and checks a member's header, as zlib does.
  bool read_header(Error* err);
  bool read_trailer(Error* err);
  bool fail_with(const std::string& why, Error* err) {
    error_ = {path_, why};
    *err = error_;
    return false;
  }

  std::unique_ptr<Reader> source_;
  std::string path_;
  std::vector<unsigned char> input_;
  std::size_t start_ = 0;  // unread input is [start_, end_)
  std::size_t end_ = 0;
  bool source_ended_ = false;
  std::unique_ptr<inflate_state> state_;
  Stage stage_ = Stage::kHeader;
  Error error_;  // once failed, every later read fails the same way
};

bool IsalGzipReader::fill(Error* err) {
  if (start_ > 0) {
    std::memmove(input_.data(), input_.data() + start_, unread());
    end_ -= start_;
    start_ = 0;
  }
  std::size_t got = 0;
  if (!source_->read(reinterpret_cast<char*>(input_.data()) + end_,
                     input_.size() - end_, &got, err)) {
    name_path(err, path_);
    error_ = *err;
    return false;
  }
  if (got == 0) source_ended_ = true;
  end_ += got;
  return true;
}

bool IsalGzipReader::ensure(std::size_t want, Error* err) {
  while (unread() < want && !source_ended_) {
    if (!fill(err)) return false;
  }
  return true;
}

bool IsalGzipReader::next_byte(unsigned char* byte, Error* err) {
  if (!ensure(1, err)) return false;
  if (unread() == 0) return fail_with(kGzipTruncated, err);
  *byte = input_[start_++];
  return true;
}

void IsalGzipReader::push_back_leftover() {
  // ISA-L reads ahead: whole bytes past the deflate data wait in its bit
  // buffer (after the last byte's padding bits) and in its small input
  // buffer, both taken from the input before next_in.
  inflate_state& s = *state_;
  unsigned char back[sizeof s.read_in + sizeof s.tmp_in_buffer];
  std::size_t n = 0;
  const int padding = s.read_in_length % 8;
  std::uint64_t bits = s.read_in >> padding;
  for (int i = 0; i < s.read_in_length / 8; ++i, bits >>= 8) {
    back[n++] = static_cast<unsigned char>(bits & 0xff);
  }
  std::memcpy(back + n, s.tmp_in_buffer, s.tmp_in_size);
  n += s.tmp_in_size;
  if (n == 0) return;
  if (start_ < n) {
    if (input_.size() < unread() + n) input_.resize(unread() + n);
    std::memmove(input_.data() + n, input_.data() + start_, unread());
    end_ = n + unread();
    start_ = n;
  }
  start_ -= n;
  std::memcpy(input_.data() + start_, back, n);
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
    return fail_with("incorrect header check", err);
  }
  if (!read_bytes(header + 2, 2, err)) return false;
  if (header[2] != kDeflate) {
    return fail_with("unknown compression method", err);
  }
  if (header[3] & kReservedFlags) {
    return fail_with("unknown header flags set", err);
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
      return fail_with("header crc mismatch", err);
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
    return fail_with("incorrect data check", err);
  }
  if (le32(trailer + 4) != state_->total_out) {
    return fail_with("incorrect length check", err);
  }
  return true;
}

bool IsalGzipReader::read(char* buf, std::size_t size, std::size_t* got,
                          Error* err) {
  *got = 0;
  if (!error_.what.empty()) {
    *err = error_;
    return false;
  }
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
        if (!ensure(sizeof kGzipMagic, err)) return false;
        if (unread() == 0) {
          stage_ = Stage::kDone;
          continue;
        }
        if (unread() < sizeof kGzipMagic ||
            std::memcmp(input_.data() + start_, kGzipMagic,
                        sizeof kGzipMagic) != 0) {
          return fail_with(kGzipTrailing, err);
        }
        stage_ = Stage::kHeader;
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
    if (!ensure(kMinInflateInput, err)) return false;
    s.next_in = input_.data() + start_;
    s.avail_in = static_cast<std::uint32_t>(unread());
    s.next_out = reinterpret_cast<std::uint8_t*>(buf) + done;
    s.avail_out = static_cast<std::uint32_t>(want - done);
    const int rc = isal_inflate(&s);
    const std::size_t used = s.next_in - (input_.data() + start_);
    const std::size_t made = want - done - s.avail_out;
    start_ += used;
    done += made;
    if (rc < 0) {
      // Bits read past the end of the input: zlib would wait for them.
      if (s.read_in_length < 0 && source_ended_) {
        return fail_with(kGzipTruncated, err);
      }
      return fail_with(deflate_error(rc), err);
    }
    if (s.block_state == ISAL_BLOCK_FINISH) {
      push_back_leftover();
      stage_ = Stage::kTrailer;
    } else if (used == 0 && made == 0) {
      // No progress: ISA-L wants more input than there is. (Given at
      // least kMinInflateInput bytes, it always takes some.)
      if (source_ended_) return fail_with(kGzipTruncated, err);
      return fail_with("data error", err);
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
