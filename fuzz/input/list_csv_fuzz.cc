// Fuzzes the reader of CSV lists: records spanning lines, quotes, separators, a byte order mark (see fuzz_list.h for what is checked).

#include <cstddef>
#include <cstdint>

#include "fuzz_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  return fuzz::fuzz_list(data, size, ListFormat::kCsv, true);
}
