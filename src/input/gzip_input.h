// The compressed side of a gzip reader, the same for every decompressor:
// the buffer of input read from the source, its refilling, the error that
// stays once a read failed, and the check for a next member after one ends.
// The readers in gzip_reader.cc (zlib) and isal_gzip_reader.cc (ISA-L) own
// one each and differ only in how they inflate.

#ifndef ORBITPICK_INPUT_GZIP_INPUT_H_
#define ORBITPICK_INPUT_GZIP_INPUT_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "input/reader.h"

namespace orbitpick {

/// The first two bytes of every gzip member.
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};

/// The errors both decompressors give in the same words, as gzip -d does.
constexpr char kGzipTruncated[] = "unexpected end of compressed data";
constexpr char kGzipTrailing[] = "trailing garbage after compressed data";

class GzipInput {
 public:
  /// Reads "source" through a buffer of "buffer_bytes" (at least the magic
  /// number's two); errors name "path".
  GzipInput(std::unique_ptr<Reader> source, std::string path,
            std::size_t buffer_bytes);

  /// The input read and not yet used.
  const unsigned char* data() const { return buffer_.data() + start_; }
  std::size_t size() const { return end_ - start_; }
  /// Marks the first "n" (at most size()) bytes as used.
  void consume(std::size_t n) { start_ += n; }
  /// True once the source said it has no more.
  bool ended() const { return ended_; }

  /// Moves the unread input to the front of the buffer and reads more after
  /// it. With the buffer full it reads nothing: a read of no bytes tells
  /// nothing of the source's end. False when the source fails.
  bool fill(Error* err);
  /// Fills until at least "want" bytes are unread or the source ends.
  bool ensure(std::size_t want, Error* err);
  /// Puts "n" bytes back in front of the unread input, as the next to use.
  void put_back(const unsigned char* bytes, std::size_t n);

  /// After a member: kMember when another one starts here, kEnd at the end
  /// of the input, kFailed when the source fails or anything else follows
  /// (kGzipTrailing).
  enum class Next { kMember, kEnd, kFailed };
  Next next_member(Error* err);

  /// True, with *err set, when a read already failed: every later read
  /// fails the same way.
  bool failed(Error* err) const;
  /// Fails with "why" on this input's path, for good. Returns false.
  bool fail_with(const std::string& why, Error* err);

 private:
  std::unique_ptr<Reader> source_;
  std::string path_;
  std::vector<unsigned char> buffer_;
  std::size_t start_ = 0;  // unread input is [start_, end_)
  std::size_t end_ = 0;
  bool ended_ = false;
  Error error_;  // what.empty() until a read fails
};

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_GZIP_INPUT_H_
