// Fuzzes the reader of Stellarium observing lists: any JSON, well formed or not (see fuzz_list.h for what is checked).

#include <cstddef>
#include <cstdint>

#include "fuzz_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  return fuzz::fuzz_list(data, size, ListFormat::kJson, false);
}
