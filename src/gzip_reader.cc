// Decompressing a gzip stream while it is read.

#include "gzip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace orbitpick {
namespace {

constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};

class GzipReader : public Reader {
 public:
  GzipReader(std::unique_ptr<Reader> source, std::size_t input_bytes)
      : source_(std::move(source)),
        // The magic number of a following member must fit whole.
        input_(std::max<std::size_t>(input_bytes, sizeof kGzipMagic)) {
    // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
    if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) {
      error_ = z_.msg != nullptr ? z_.msg : "cannot start decompression";
    } else {
      initialized_ = true;
    }
  }
  ~GzipReader() override {
    if (initialized_) inflateEnd(&z_);
  }
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  std::ptrdiff_t read(char* buf, std::size_t size, std::string* err) override;

 private:
  enum class State { kInMember, kBetweenMembers, kDone };

  // Moves the unread input to the front and reads more after it. False with
  // *err set when the source fails.
  bool fill(std::string* err);
  std::ptrdiff_t fail(const std::string& why, std::string* err) {
    error_ = why;
    *err = why;
    return -1;
  }

  std::unique_ptr<Reader> source_;
  std::vector<unsigned char> input_;
  z_stream z_{};
  bool initialized_ = false;
  bool source_ended_ = false;
  State state_ = State::kInMember;
  std::string error_;  // once failed, every later read fails the same way
};

bool GzipReader::fill(std::string* err) {
  if (z_.avail_in > 0 && z_.next_in != input_.data()) {
    std::memmove(input_.data(), z_.next_in, z_.avail_in);
  }
  z_.next_in = input_.data();
  const std::ptrdiff_t got =
      source_->read(reinterpret_cast<char*>(input_.data()) + z_.avail_in,
                    input_.size() - z_.avail_in, err);
  if (got < 0) {
    error_ = *err;
    return false;
  }
  if (got == 0) source_ended_ = true;
  z_.avail_in += static_cast<uInt>(got);
  return true;
}

std::ptrdiff_t GzipReader::read(char* buf, std::size_t size, std::string* err) {
  if (!error_.empty()) {
    *err = error_;
    return -1;
  }
  if (state_ == State::kDone || size == 0) return 0;
  // Straight into the caller's buffer: no copy beyond inflate's own.
  const uInt want = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
  z_.next_out = reinterpret_cast<Bytef*>(buf);
  z_.avail_out = want;
  for (;;) {
    if (state_ == State::kBetweenMembers) {
      while (z_.avail_in < sizeof kGzipMagic && !source_ended_) {
        if (!fill(err)) return -1;
      }
      if (z_.avail_in == 0) {
        state_ = State::kDone;
        return static_cast<std::ptrdiff_t>(want - z_.avail_out);
      }
      if (z_.avail_in < sizeof kGzipMagic ||
          std::memcmp(z_.next_in, kGzipMagic, sizeof kGzipMagic) != 0) {
        return fail("trailing garbage after compressed data", err);
      }
      state_ = State::kInMember;
    }
    if (z_.avail_in == 0 && !source_ended_ && !fill(err)) return -1;

    const int rc = inflate(&z_, Z_NO_FLUSH);
    switch (rc) {
      case Z_STREAM_END:
        // Each member is a whole stream with its own header and trailer.
        inflateReset(&z_);
        state_ = State::kBetweenMembers;
        break;
      case Z_OK:
        break;
      case Z_BUF_ERROR:
        // No progress: inflate wants input and the source has none left.
        if (source_ended_ && z_.avail_in == 0) {
          return fail("unexpected end of compressed data", err);
        }
        break;
      default:
        return fail(z_.msg != nullptr ? z_.msg : zError(rc), err);
    }
    if (z_.avail_out == 0) return static_cast<std::ptrdiff_t>(want);
  }
}

}  // namespace

std::unique_ptr<Reader> make_gzip_reader(std::unique_ptr<Reader> source,
                                         std::size_t input_bytes) {
  return std::make_unique<GzipReader>(std::move(source), input_bytes);
}

}  // namespace orbitpick
