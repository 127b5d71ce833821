// Fuzzes the reader of Stellarium observing lists: any JSON, well formed or not (see fuzz_list.h for what is checked).

#include <cstddef>
#include <cstdint>

#include "fuzz_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  // A JSON string may hold "\u000a": such a name is looked up like any
  // other (any layout but the quoted one matches whole designations) and
  // found in no line.
  return fuzz::fuzz_list(data, size, ListFormat::kJson, true);
}
