// The compressed side of a gzip reader.

#include "input/gzip_input.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orbitpick {

GzipInput::GzipInput(std::unique_ptr<Reader> source, std::string path,
                     std::size_t buffer_bytes)
    : source_(std::move(source)),
      path_(std::move(path)),
      // The magic number of a following member must fit whole.
      buffer_(std::max(buffer_bytes, sizeof kGzipMagic)) {}

bool GzipInput::fill(Error* err) {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, size());
    end_ -= start_;
    start_ = 0;
  }
  if (end_ == buffer_.size()) return true;
  std::size_t got = 0;
  if (!source_->read(reinterpret_cast<char*>(buffer_.data()) + end_,
                     buffer_.size() - end_, &got, err)) {
    name_path(err, path_);
    error_ = *err;
    return false;
  }
  if (got == 0) ended_ = true;
  end_ += got;
  return true;
}

bool GzipInput::ensure(std::size_t want, Error* err) {
  while (size() < want && !ended_) {
    if (!fill(err)) return false;
  }
  return true;
}

void GzipInput::put_back(const unsigned char* bytes, std::size_t n) {
  if (n == 0) return;
  if (start_ < n) {
    if (buffer_.size() < size() + n) buffer_.resize(size() + n);
    std::memmove(buffer_.data() + n, buffer_.data() + start_, size());
    end_ = n + size();
    start_ = n;
  }
  start_ -= n;
  std::memcpy(buffer_.data() + start_, bytes, n);
}

GzipInput::Next GzipInput::next_member(Error* err) {
  if (!ensure(sizeof kGzipMagic, err)) return Next::kFailed;
  if (size() == 0) return Next::kEnd;
  if (size() < sizeof kGzipMagic ||
      std::memcmp(data(), kGzipMagic, sizeof kGzipMagic) != 0) {
    fail_with(kGzipTrailing, err);
    return Next::kFailed;
  }
  return Next::kMember;
}

bool GzipInput::failed(Error* err) const {
  if (error_.what.empty()) return false;
  *err = error_;
  return true;
}

bool GzipInput::fail_with(const std::string& why, Error* err) {
  error_ = {path_, why};
  *err = error_;
  return false;
}

}  // namespace orbitpick
