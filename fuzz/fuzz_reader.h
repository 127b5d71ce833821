// A Reader over the fuzzer's bytes, handing them out in pieces of a chosen
// size, and optionally failing at a chosen point, the way a pipe or a disk
// does.

#ifndef ORBITPICK_FUZZ_FUZZ_READER_H_
#define ORBITPICK_FUZZ_FUZZ_READER_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "input/line_reader.h"

namespace orbitpick {
namespace fuzz {

constexpr char kReadError[] = "Input/output error";

class BytesReader : public Reader {
 public:
  // "fail_at": the read that would go past this many bytes fails instead;
  // std::string_view::npos never fails.
  BytesReader(std::string_view data, std::size_t step,
              std::size_t fail_at = std::string_view::npos)
      : data_(data), step_(std::max<std::size_t>(step, 1)), fail_at_(fail_at) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    std::size_t n = std::min({size, step_, data_.size() - pos_});
    if (fail_at_ != std::string_view::npos && pos_ + n > fail_at_) {
      return fail(err, kReadError);
    }
    if (n > 0) std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return true;
  }

 private:
  std::string_view data_;
  std::size_t step_;
  std::size_t fail_at_;
  std::size_t pos_ = 0;
};

// The fuzzer's own check failed: stop at once so that libFuzzer keeps the
// input. A trap, unlike abort(), cannot be caught or ignored.
[[noreturn]] inline void fail() { __builtin_trap(); }

inline void check(bool ok) {
  if (!ok) fail();
}

}  // namespace fuzz
}  // namespace orbitpick

#endif  // ORBITPICK_FUZZ_FUZZ_READER_H_
