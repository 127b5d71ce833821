// What every list reader hands the run: the names of the wanted objects as
// the list spells them, sorted and each once, with the line where each
// first stands, and the count of lines that hold no object.
//
// The readers of the layouts other than the default (list_csv, list_text,
// list_json, list_edb) take the list one line at a time, so that the
// dispatcher (list_format) can look at the first lines before it picks one.

#ifndef ORBITPICK_INPUT_LIST_READ_H_
#define ORBITPICK_INPUT_LIST_READ_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "input/line_reader.h"
#include "input/targets.h"

namespace orbitpick {

/// The target list (names sorted byte-wise, distinct; each one's first
/// line) and what the reading saw besides.
struct ListRead : TargetList {
  // Lines with text that hold no object (notes, dividers, headers, other
  // bodies): counted, not listed one by one. 0 for the default layout,
  // whose skipped lines are warned about as before.
  std::int64_t no_object_lines = 0;
  std::int64_t first_no_object_line = 0;
  // How the list was read, for the one line "--list-format auto" prints:
  // "CSV, designations from column \"full_name\"".
  std::string layout;
};

/// Adds one name, read on line "line", to "read" (unsorted until
/// finish_list). An empty name is not added.
void add_name(ListRead* read, std::string_view name, std::int64_t line);

/// Counts line "line" as one that holds no object.
void count_no_object(ListRead* read, std::int64_t line);

/// Sorts the names added, keeping each once with the line where it first
/// stands.
void finish_list(ListRead* read);

/// "line" without a carriage return at its end.
inline std::string_view without_cr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

/// Calls on_line(line, number) for every line of "lines" (without its line
/// feed; numbers from 1). False on a read failure, with *err set.
template <typename OnLine>
bool for_each_line(LineBuffer* lines, OnLine on_line, Error* err) {
  std::int64_t number = 0;
  std::string_view run;
  LinesRead got;
  while ((got = next_lines(lines, &run, err)) == LinesRead::kRun) {
    std::string_view line;
    while (take_line(&run, &line)) on_line(line, ++number);
  }
  return got != LinesRead::kFailed;
}

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_READ_H_
