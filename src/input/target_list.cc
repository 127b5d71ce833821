// The target list from the CSV export.

#include "input/target_list.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "input/list_read.h"

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
  ListRead read;
  std::string name;
  Error skip;
  // Until a line gives a name the warnings wait: a list that gives none is
  // refused in one message, not after a warning for each of its lines.
  std::vector<std::pair<std::int64_t, std::string>> waiting;
  // Rows of several fields without a double quote: what a spreadsheet
  // writes for the names that need no quoting.
  std::int64_t unquoted = 0;
  std::int64_t first_unquoted = 0;
  const bool read_all = for_each_line(
      lines,
      [&](std::string_view line, std::int64_t number) {
        if (number == 1) return;
        if (!parse_list_line(line, &name, &skip)) {
          std::string why = skip.what + "; line skipped";
          if (read.names.empty()) {
            waiting.emplace_back(number, std::move(why));
          } else {
            warn(format_line_warning(path, number, why));
          }
        } else if (!name.empty()) {
          if (read.names.empty()) {
            for (const auto& w : waiting) {
              warn(format_line_warning(path, w.first, w.second));
            }
            waiting.clear();
          }
          add_name(&read, name, number);
        } else if (line.find_first_of(",;\t") != std::string_view::npos &&
                   !trim_view(line).empty()) {
          if (unquoted++ == 0) first_unquoted = number;
        }
      },
      err);
  if (!read_all) {
    name_path(err, path);
    return false;
  }
  if (unquoted > 0 && !read.names.empty()) {
    // A spreadsheet quotes only the names that need it (those with a comma):
    // the bare ones would otherwise be lost without a word.
    warn(format_line_warning(
        path, first_unquoted,
        std::to_string(unquoted) +
            (unquoted == 1 ? " line holds" : " lines hold") +
            " fields but no double quote and " +
            (unquoted == 1 ? "was" : "were") +
            " skipped (this is the first); --list-format csv reads them"));
  }
  if (first_lines == nullptr) {
    *list = std::move(read.names);
    std::sort(list->begin(), list->end());
    remove(*list);
    return true;
  }
  finish_list(&read);
  *list = std::move(read.names);
  *first_lines = std::move(read.first_lines);
  return true;
}

}  // namespace orbitpick
