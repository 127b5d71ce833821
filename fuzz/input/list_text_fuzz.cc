// Fuzzes the reader of one-object-a-line lists: the designation a line starts with (see fuzz_list.h for what is checked).

#include <cstddef>
#include <cstdint>

#include "fuzz_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  return fuzz::fuzz_list(data, size, ListFormat::kText, false);
}
