// A Reader over a string that behaves as a script says: pieces of a chosen
// size, and a failure at a chosen point, the way a pipe or a failing disk
// hands out a file. The tests and the fuzzers use it alike, so it is all in
// this header.

#ifndef ORBITPICK_TESTS_SCRIPTED_READER_H_
#define ORBITPICK_TESTS_SCRIPTED_READER_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "input/reader.h"

namespace orbitpick {
namespace test {

/// What a failed read of a ScriptedReader says.
constexpr char kReadError[] = "Input/output error";

/// Hands out "data" "step" bytes at most per read (0 counts as 1). Once
/// "fail_at" bytes are handed out (a read that would pass them is cut short
/// there), every read fails with kReadError on "error_path", even at the end
/// of the data; with kNever the data ends as a file does. A read of no
/// bytes reads nothing.
class ScriptedReader : public Reader {
 public:
  static constexpr std::size_t kWhole = std::string::npos;
  static constexpr std::size_t kNever = std::string::npos;

  explicit ScriptedReader(std::string_view data, std::size_t step = kWhole,
                          std::size_t fail_at = kNever,
                          std::string error_path = "")
      : data_(data),
        step_(std::max<std::size_t>(step, 1)),
        fail_at_(fail_at),
        error_path_(std::move(error_path)) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    *got = 0;
    if (size == 0) return true;
    if (pos_ == fail_at_) {
      err->path = error_path_;
      return fail(err, kReadError);
    }
    const std::size_t n =
        std::min({size, step_, data_.size() - pos_, fail_at_ - pos_});
    if (n > 0) std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return true;
  }

 private:
  std::string data_;
  std::size_t step_;
  std::size_t fail_at_;
  std::string error_path_;
  std::size_t pos_ = 0;
};

/// A Reader over bytes that lie whole in memory, as a mapped file's do:
/// the scan takes them through mapped() and searches them in pieces, on
/// several threads.
class InMemoryReader : public Reader {
 public:
  explicit InMemoryReader(std::string_view data) : data_(data) {}
  bool read(char*, std::size_t, std::size_t* got, Error*) override {
    *got = 0;  // the scan must not read it block by block
    return true;
  }
  std::string_view mapped() const override { return data_; }

 private:
  std::string_view data_;
};

}  // namespace test
}  // namespace orbitpick

#endif  // ORBITPICK_TESTS_SCRIPTED_READER_H_
