// The names every list reader collects, sorted with their first lines.

#include "input/list_read.h"

#include <algorithm>
#include <numeric>

namespace orbitpick {

void add_name(ListRead* read, std::string_view name, std::int64_t line) {
  if (name.empty()) return;
  read->names.emplace_back(name);
  read->first_lines.push_back(line);
}

void count_no_object(ListRead* read, std::int64_t line) {
  if (read->no_object_lines++ == 0) read->first_no_object_line = line;
}

void finish_list(ListRead* read) {
  std::vector<std::string>& names = read->names;
  // Sorted with their lines, equal names in file order: the first of each
  // run of equal names is where the name first stands.
  std::vector<std::uint32_t> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) {
                     return names[a] < names[b];
                   });
  std::vector<std::string> sorted;
  std::vector<std::int64_t> lines;
  sorted.reserve(names.size());
  lines.reserve(names.size());
  for (std::uint32_t i : order) {
    if (!sorted.empty() && names[i] == sorted.back()) continue;
    sorted.push_back(std::move(names[i]));
    lines.push_back(read->first_lines[i]);
  }
  names = std::move(sorted);
  read->first_lines = std::move(lines);
}

}  // namespace orbitpick
