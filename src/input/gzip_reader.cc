// Decompressing a gzip stream while it is read, with zlib, and the choice
// of decompressor.

#include "input/gzip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace orbitpick {
namespace {


class GzipReader : public Reader {
 public:
  GzipReader(std::unique_ptr<Reader> source, std::string path,
             std::size_t input_bytes)
      : source_(std::move(source)),
        path_(std::move(path)),
        // The magic number of a following member must fit whole.
        input_(std::max<std::size_t>(input_bytes, sizeof kGzipMagic)) {
    // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
    if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) {
      error_ = {path_, z_.msg != nullptr ? z_.msg : "cannot start decompression"};
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

  // Moves the unread input to the front and reads more after it. False with
  // *err set when the source fails.
  bool fill(Error* err);
  bool fail_with(const std::string& why, Error* err) {
    error_ = {path_, why};
    *err = error_;
    return false;
  }

  std::unique_ptr<Reader> source_;
  std::string path_;
  std::vector<unsigned char> input_;
  z_stream z_{};
  bool initialized_ = false;
  bool source_ended_ = false;
  State state_ = State::kInMember;
  Error error_;  // once failed, every later read fails the same way
};

bool GzipReader::fill(Error* err) {
  if (z_.avail_in > 0 && z_.next_in != input_.data()) {
    std::memmove(input_.data(), z_.next_in, z_.avail_in);
  }
  z_.next_in = input_.data();
  std::size_t got = 0;
  if (!source_->read(reinterpret_cast<char*>(input_.data()) + z_.avail_in,
                     input_.size() - z_.avail_in, &got, err)) {
    name_path(err, path_);
    error_ = *err;
    return false;
  }
  if (got == 0) source_ended_ = true;
  z_.avail_in += static_cast<uInt>(got);
  return true;
}

bool GzipReader::read(char* buf, std::size_t size, std::size_t* got,
                      Error* err) {
  *got = 0;
  if (!error_.what.empty()) {
    *err = error_;
    return false;
  }
  if (state_ == State::kDone || size == 0) return true;
  // Straight into the caller's buffer: no copy beyond inflate's own.
  const uInt want = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
  z_.next_out = reinterpret_cast<Bytef*>(buf);
  z_.avail_out = want;
  for (;;) {
    if (state_ == State::kBetweenMembers) {
      while (z_.avail_in < sizeof kGzipMagic && !source_ended_) {
        if (!fill(err)) return false;
      }
      if (z_.avail_in == 0) {
        state_ = State::kDone;
        *got = want - z_.avail_out;
        return true;
      }
      if (z_.avail_in < sizeof kGzipMagic ||
          std::memcmp(z_.next_in, kGzipMagic, sizeof kGzipMagic) != 0) {
        return fail_with(kGzipTrailing, err);
      }
      state_ = State::kInMember;
    }
    if (z_.avail_in == 0 && !source_ended_ && !fill(err)) return false;

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
          return fail_with(kGzipTruncated, err);
        }
        break;
      default:
        return fail_with(z_.msg != nullptr ? z_.msg : zError(rc), err);
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
