// Decompressing a gzip stream while it is read, with zlib, and the choice
// of decompressor.

#include "input/gzip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "input/gzip_input.h"

namespace orbitpick {
namespace {

class GzipReader : public Reader {
 public:
  GzipReader(std::unique_ptr<Reader> source, std::string path,
             std::size_t input_bytes)
      : in_(std::move(source), std::move(path), input_bytes) {
    // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
    if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) {
      Error err;
      in_.fail_with(z_.msg != nullptr ? z_.msg : "cannot start decompression",
                    &err);
    } else {
      initialized_ = true;
    }
  }
  ~GzipReader() override {
    if (initialized_) inflateEnd(&z_);
  }
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override;

 private:
  enum class State { kInMember, kBetweenMembers, kDone };

  GzipInput in_;
  z_stream z_{};
  bool initialized_ = false;
  State state_ = State::kInMember;
};

bool GzipReader::read(char* buf, std::size_t size, std::size_t* got,
                      Error* err) {
  *got = 0;
  if (in_.failed(err)) return false;
  if (state_ == State::kDone || size == 0) return true;
  // Straight into the caller's buffer: no copy beyond inflate's own.
  const uInt want = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
  z_.next_out = reinterpret_cast<Bytef*>(buf);
  z_.avail_out = want;
  for (;;) {
    if (state_ == State::kBetweenMembers) {
      switch (in_.next_member(err)) {
        case GzipInput::Next::kFailed:
          return false;
        case GzipInput::Next::kEnd:
          state_ = State::kDone;
          *got = want - z_.avail_out;
          return true;
        case GzipInput::Next::kMember:
          state_ = State::kInMember;
          break;
      }
    }
    if (in_.size() == 0 && !in_.ended() && !in_.fill(err)) return false;

    const uInt given =
        static_cast<uInt>(std::min<std::size_t>(in_.size(), UINT_MAX));
    z_.next_in = const_cast<Bytef*>(in_.data());
    z_.avail_in = given;
    const int rc = inflate(&z_, Z_NO_FLUSH);
    in_.consume(given - z_.avail_in);
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
        if (in_.ended() && in_.size() == 0) {
          return in_.fail_with(kGzipTruncated, err);
        }
        break;
      default:
        return in_.fail_with(z_.msg != nullptr ? z_.msg : zError(rc), err);
    }
    if (z_.avail_out == 0) {
      *got = want;
      return true;
    }
  }
}

}  // namespace

std::unique_ptr<Reader> make_zlib_gzip_reader(std::unique_ptr<Reader> source,
                                              std::string path,
                                              std::size_t input_bytes) {
  return std::make_unique<GzipReader>(std::move(source), std::move(path),
                                      input_bytes);
}

std::vector<GzipInflater> gzip_inflaters() {
  return {
#if defined(ORBITPICK_HAVE_ISAL)
      {"isal", make_isal_gzip_reader},
#endif
      {"zlib", make_zlib_gzip_reader},
  };
}

std::unique_ptr<Reader> make_gzip_reader(std::unique_ptr<Reader> source,
                                         std::string path,
                                         std::size_t input_bytes) {
  return gzip_inflaters().front().make(std::move(source), std::move(path),
                                       input_bytes);
}

}  // namespace orbitpick
