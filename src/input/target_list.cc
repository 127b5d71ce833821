// The target list from the CSV export.

#include "input/target_list.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace orbitpick {

std::string trim(const std::string& s) { return std::string(trim_view(s)); }

void remove(std::vector<std::string>& list) {
  if (std::is_sorted(list.begin(), list.end())) {
    // Equal values are neighbours: keep the first of each run.
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return;
  }
  // Order the positions by (value, position): the first of each run of equal
  // values is the one that survives.
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int c = list[a].compare(list[b]);
    return c < 0 || (c == 0 && a < b);
  });
  std::vector<bool> keep(list.size(), false);
  for (std::size_t i = 0; i < order.size(); ++i) {
    keep[order[i]] = i == 0 || list[order[i]] != list[order[i - 1]];
  }
  std::size_t out = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!keep[i]) continue;
    if (out != i) list[out] = std::move(list[i]);
    ++out;
  }
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(out), list.end());
}

bool parse_list_line(std::string_view line, std::string* name, Error* err) {
  name->clear();
  const std::size_t open = line.find('"');
  if (open == std::string_view::npos) return true;
  const std::size_t first = line.find_first_not_of(" \t");
  if (first != open) {
    return fail(err, "first field does not start with a double quote");
  }
  std::string_view rest = line.substr(open + 1);
  const std::size_t close = rest.find('"');
  if (close != std::string_view::npos) rest = rest.substr(0, close);
  rest = trim_view(rest);
  if (rest.empty()) return fail(err, "no object name in first field");
  name->assign(rest.data(), rest.size());
  return true;
}

bool read_target_list(LineBuffer* lines, const std::string& path,
                      const WarningSink& warn, std::vector<std::string>* list,
                      std::vector<std::int64_t>* first_lines, Error* err) {
  list->clear();
  *err = Error();
  std::string name;
  Error skip;
  std::int64_t line_number = 0;
  std::vector<std::int64_t> name_lines;  // of each name read, in file order
  std::string_view run;
  LinesRead got;
  while ((got = next_lines(lines, &run, err)) == LinesRead::kRun) {
    std::string_view line;
    while (take_line(&run, &line)) {
      ++line_number;
      if (line_number == 1) continue;
      if (!parse_list_line(line, &name, &skip)) {
        warn(format_line_warning(path, line_number,
                                 skip.what + "; line skipped"));
      } else if (!name.empty()) {
        list->push_back(name);
        if (first_lines != nullptr) name_lines.push_back(line_number);
      }
    }
  }
  if (got == LinesRead::kFailed) {
    name_path(err, path);
    return false;
  }
  if (first_lines == nullptr) {
    std::sort(list->begin(), list->end());
    remove(*list);
    return true;
  }
  // Sorted with their lines, equal names in file order: the first of each
  // run of equal names is where the name first stands.
  std::vector<std::uint32_t> order(list->size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) {
                     return (*list)[a] < (*list)[b];
                   });
  std::vector<std::string> sorted;
  sorted.reserve(list->size());
  first_lines->clear();
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!sorted.empty() && (*list)[order[i]] == sorted.back()) continue;
    sorted.push_back(std::move((*list)[order[i]]));
    first_lines->push_back(name_lines[order[i]]);
  }
  *list = std::move(sorted);
  return true;
}

}  // namespace orbitpick
