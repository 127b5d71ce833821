// What every list-layout fuzzer checks: any bytes, read through a small
// buffer in pieces of any size, give the same list as when read whole; the
// names come out sorted, each once, non-empty and without a line feed
// (except where a CSV field spans lines or a JSON string escapes one),
// each with a line inside the file; and a failing read is an error, never
// a short list.
//
// Input: byte 0 picks the buffer size, byte 1 the read size; the rest is
// the list.

#ifndef ORBITPICK_FUZZ_FUZZ_LIST_H_
#define ORBITPICK_FUZZ_FUZZ_LIST_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_reader.h"
#include "input/list_format.h"

namespace orbitpick {
namespace fuzz {

inline bool read_fuzzed_list(std::string_view text, ListFormat format,
                             std::size_t buffer_bytes, std::size_t step,
                             std::size_t fail_at, ListRead* read, Error* err) {
  ScriptedReader reader(text, step, fail_at);
  LineBuffer lines;
  init_line_buffer(&lines, &reader, buffer_bytes);
  ListOptions options;
  options.format = format;
  return read_list(&lines, "list", options, [](const std::string&) {}, read,
                   err);
}

inline int fuzz_list(const std::uint8_t* data, std::size_t size,
                     ListFormat format, bool lines_in_names) {
  if (size < 2) return 0;
  const std::size_t buffer_bytes = 1 + data[0] % 128;
  const std::size_t step = 1 + data[1] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2,
                              size - 2);
  ListRead pieces;
  Error err;
  const bool ok = read_fuzzed_list(text, format, buffer_bytes, step,
                                   std::string_view::npos, &pieces, &err);
  ListRead whole;
  Error whole_err;
  const bool whole_ok =
      read_fuzzed_list(text, format, text.size() + 1, text.size() + 1,
                       std::string_view::npos, &whole, &whole_err);
  check(ok == whole_ok && err.what == whole_err.what);
  check(pieces.names == whole.names &&
        pieces.first_lines == whole.first_lines &&
        pieces.no_object_lines == whole.no_object_lines);
  check(ok != pieces.names.empty());
  check(pieces.first_lines.size() == pieces.names.size());
  const std::int64_t lines = 1 + std::count(text.begin(), text.end(), '\n');
  for (std::size_t i = 0; i < pieces.names.size(); ++i) {
    const std::string& name = pieces.names[i];
    check(!name.empty());
    check(lines_in_names || name.find('\n') == std::string::npos);
    check(pieces.first_lines[i] >= 0 && pieces.first_lines[i] <= lines);
    if (i > 0) check(pieces.names[i - 1] < name);
  }
  if (!text.empty()) {
    ListRead failed;
    err = Error();
    check(!read_fuzzed_list(text, format, buffer_bytes, step, text.size() / 2,
                            &failed, &err));
    check(err.what == kReadError && err.path == "list");
  }
  return 0;
}

}  // namespace fuzz
}  // namespace orbitpick

#endif  // ORBITPICK_FUZZ_FUZZ_LIST_H_
