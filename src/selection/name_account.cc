// The account of the listed names.

#include "selection/name_account.h"

#include <algorithm>
#include <numeric>

namespace orbitpick {

void init_account(NameAccount* account, std::size_t names) {
  account->lines.assign(names, 0);
  account->examples.clear();
}

void count_line(NameAccount* account, std::uint32_t name,
                std::string_view designation) {
  if (++account->lines[name] <= static_cast<std::int64_t>(kAccountExamples) &&
      !designation.empty()) {
    account->examples.emplace_back(name, std::string(designation));
  }
}

void report_account(const NameAccount& account, const AccountReport& report,
                    const WarningSink& warn) {
  const std::vector<std::string>& names = *report.names;
  const std::vector<std::int64_t>& first_lines = *report.first_lines;
  std::vector<std::uint32_t> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return first_lines[a] < first_lines[b];
  });
  // The examples of each name, in the order they were found.
  std::vector<std::pair<std::uint32_t, std::string>> examples =
      account.examples;
  std::stable_sort(examples.begin(), examples.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  for (const std::uint32_t name : order) {
    const std::int64_t found = account.lines[name];
    if (found == 1) continue;
    std::string what = "\"" + names[name] + "\" is in ";
    const bool both = report.comet_lines != nullptr;
    if (found == 0) {
      what += both ? "no line of " + report.catalogue_path + " or " +
                         report.comets_path
                   : "no catalogue line";
    } else {
      what += std::to_string(found) + " catalogue lines";
      if (both) {
        const std::int64_t comets = name < report.comet_lines->size()
                                        ? (*report.comet_lines)[name]
                                        : 0;
        what += ", " + std::to_string(found - comets) + " in " +
                report.catalogue_path + " and " + std::to_string(comets) +
                " in " + report.comets_path;
      }
      what += " (";
      auto it = std::lower_bound(
          examples.begin(), examples.end(), name,
          [](const auto& e, std::uint32_t n) { return e.first < n; });
      std::size_t shown = 0;
      for (; it != examples.end() && it->first == name; ++it, ++shown) {
        if (shown > 0) what += ", ";
        what += it->second;
      }
      if (static_cast<std::int64_t>(shown) < found) {
        what += shown > 0 ? ", ..." : "...";
      }
      what += ")";
      if (!report.exact) what += "; --exact matches whole designations";
    }
    warn(format_line_warning(report.list_path, first_lines[name], what));
  }
}

}  // namespace orbitpick
