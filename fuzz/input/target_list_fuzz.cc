// Fuzzes the observing-list reader: any bytes as the whole CSV export, read
// in pieces of every size through a small buffer.
//
// Input: byte 0 picks the buffer size, byte 1 the read size; the rest is the
// file. The list must come out sorted, without repeats, with every name
// non-empty, trimmed and free of quotes and line feeds, and equal to what a
// plain line-by-line reading gives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_reader.h"
#include "input/line_reader.h"
#include "input/target_list.h"

namespace orbitpick {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The list as the export is meant to be read: split at line feeds, skip
// the header, keep the usable names, sort, drop repeats.
void reference_list(std::string_view csv, std::vector<std::string>* list,
                    std::vector<std::string>* warnings) {
  std::size_t number = 0;
  std::string name;
  Error reason;
  std::size_t begin = 0;
  std::size_t unquoted = 0;
  std::size_t first_unquoted = 0;
  while (begin < csv.size()) {
    std::size_t end = csv.find('\n', begin);
    if (end == std::string_view::npos) end = csv.size();
    ++number;
    const std::string_view line = csv.substr(begin, end - begin);
    if (number > 1) {
      if (!parse_list_line(line, &name, &reason)) {
        warnings->push_back("orbitpick: list.csv:" + std::to_string(number) +
                            ": " + reason.what + "; line skipped");
      } else if (!name.empty()) {
        list->push_back(name);
      } else if (line.find_first_of(",;\t") != std::string_view::npos &&
                 line.find_first_not_of(" \t\r") != std::string_view::npos) {
        if (unquoted++ == 0) first_unquoted = number;
      }
    }
    begin = end + 1;
  }
  // A list that names nothing is one error, without a warning per line.
  if (list->empty()) warnings->clear();
  if (unquoted > 0 && !list->empty()) {
    warnings->push_back(
        "orbitpick: list.csv:" + std::to_string(first_unquoted) + ": " +
        std::to_string(unquoted) +
        (unquoted == 1 ? " line holds" : " lines hold") +
        " fields but no double quote and " + (unquoted == 1 ? "was" : "were") +
        " skipped (this is the first); --list-format csv reads them");
  }
  std::sort(list->begin(), list->end());
  list->erase(std::unique(list->begin(), list->end()), list->end());
}

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size < 2) return 0;
  const std::size_t buffer_bytes = 1 + data[0] % 128;
  const std::size_t step = 1 + data[1] % 64;
  const std::string_view csv(reinterpret_cast<const char*>(data) + 2, size - 2);

  fuzz::ScriptedReader reader(csv, step);
  LineBuffer lines;
  init_line_buffer(&lines, &reader, buffer_bytes);
  std::vector<std::string> warnings;
  const WarningSink warn = [&](const std::string& message) {
    warnings.push_back(message);
  };
  std::vector<std::string> list;
  Error err;
  std::vector<std::int64_t> first_lines;
  fuzz::check(
      read_target_list(&lines, "list.csv", warn, &list, &first_lines, &err));
  fuzz::check(first_lines.size() == list.size());
  fuzz::check(err.what.empty());

  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string& name = list[i];
    fuzz::check(!name.empty());
    fuzz::check(!is_blank(name.front()) && !is_blank(name.back()));
    fuzz::check(name.find('"') == std::string::npos);
    fuzz::check(name.find('\n') == std::string::npos);
    if (i > 0) fuzz::check(list[i - 1] < name);
  }

  std::vector<std::string> expected_list;
  std::vector<std::string> expected_warnings;
  reference_list(csv, &expected_list, &expected_warnings);
  fuzz::check(list == expected_list);
  fuzz::check(warnings == expected_warnings);

  // A read failure anywhere must surface as an error, never as a short list.
  if (!csv.empty()) {
    fuzz::ScriptedReader failing(csv, step, csv.size() / 2);
    init_line_buffer(&lines, &failing, buffer_bytes);
    err = Error();
    fuzz::check(!read_target_list(
        &lines, "list.csv", [](const std::string&) {}, &list, nullptr, &err));
    fuzz::check(err.what == fuzz::kReadError && err.path == "list.csv");
  }
  return 0;
}
