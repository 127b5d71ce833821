// What every fuzzer shares: the reader of its bytes and its own check.

#ifndef ORBITPICK_FUZZ_FUZZ_READER_H_
#define ORBITPICK_FUZZ_FUZZ_READER_H_

#include "input/line_reader.h"
#include "scripted_reader.h"

namespace orbitpick {
namespace fuzz {

// The tests' reader over a string, handing the fuzzer's bytes out in pieces
// of a chosen size and failing at a chosen point.
using test::kReadError;
using test::ScriptedReader;

// The fuzzer's own check failed: stop at once so that libFuzzer keeps the
// input. A trap, unlike abort(), cannot be caught or ignored.
[[noreturn]] inline void fail() { __builtin_trap(); }

inline void check(bool ok) {
  if (!ok) fail();
}

}  // namespace fuzz
}  // namespace orbitpick

#endif  // ORBITPICK_FUZZ_FUZZ_READER_H_
