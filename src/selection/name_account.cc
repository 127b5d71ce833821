// The account of the listed names.

#include "selection/name_account.h"

#include <algorithm>

#include "selection/spelling.h"

namespace orbitpick {
namespace {

using Examples = std::vector<std::pair<std::uint32_t, std::string>>;

// "1,473": a count as people read it.
std::string grouped(std::int64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') {
      out += ',';
    }
    out += digits[i];
  }
  return out;
}

// The entries of an Examples list grouped by name, each group in the order
// found: the indices of name n's entries are at[first[n]] to
// at[first[n + 1]] - 1. Two counting passes, the designations left where
// they are.
struct ByName {
  std::vector<std::uint32_t> first;
  std::vector<std::uint32_t> at;
};

ByName by_name(const Examples& entries, std::size_t names) {
  ByName g;
  g.first.assign(names + 1, 0);
  for (const auto& entry : entries) ++g.first[entry.first + 1];
  for (std::size_t n = 0; n < names; ++n) g.first[n + 1] += g.first[n];
  g.at.resize(entries.size());
  std::vector<std::uint32_t> next(g.first.begin(), g.first.end() - 1);
  for (std::uint32_t i = 0; i < entries.size(); ++i) {
    g.at[next[entries[i].first]++] = i;
  }
  return g;
}

}  // namespace

void init_account(NameAccount* account, std::size_t names) {
  for (std::vector<std::int64_t>& lines : account->lines) {
    lines.assign(names, 0);
  }
  account->examples.clear();
  account->conflicts.clear();
  account->conflicted.assign(names, false);
}

void count_line(NameAccount* account, Source source, std::uint32_t name,
                std::string_view designation) {
  ++account->lines[static_cast<std::size_t>(source)][name];
  if (lines_of(*account, name) <=
          static_cast<std::int64_t>(kAccountExamples) &&
      !designation.empty()) {
    account->examples.emplace_back(name, std::string(designation));
  }
}

void note_conflict(NameAccount* account, std::uint32_t name,
                   std::string_view designation) {
  if (account->conflicted[name]) return;
  account->conflicted[name] = true;
  account->conflicts.emplace_back(name, std::string(designation));
}

std::int64_t lines_of(const NameAccount& account, std::uint32_t name) {
  std::int64_t lines = 0;
  for (const std::vector<std::int64_t>& per_source : account.lines) {
    lines += per_source[name];
  }
  return lines;
}

void report_account(const NameAccount& account, const AccountReport& report,
                    const WarningSink& warn) {
  const std::vector<std::string>& names = report.targets->names;
  const std::vector<std::int64_t>& first_lines = report.targets->first_lines;
  // (first line, name): sorted without a look-up per comparison.
  std::vector<std::pair<std::int64_t, std::uint32_t>> order(names.size());
  for (std::uint32_t n = 0; n < names.size(); ++n) {
    order[n] = {first_lines[n], n};
  }
  std::sort(order.begin(), order.end());
  const ByName examples = by_name(account.examples, names.size());
  const ByName conflicts = by_name(account.conflicts, names.size());
  const bool both = !report.comets_path.empty();
  const std::string nowhere =
      both ? "no line of " + report.catalogue_path + " or " + report.comets_path
           : "no catalogue line";

  std::int64_t missing = 0;
  for (const auto& [first_line, name] : order) {
    const std::int64_t found = lines_of(account, name);
    const bool conflicted =
        conflicts.first[name] != conflicts.first[name + 1];
    if (found == 1 && !conflicted) continue;
    const std::string quoted = "\"" + names[name] + "\"";
    if (found == 0) {
      ++missing;
      std::string what = quoted + " is in " + nowhere;
      if (report.exact) {
        // Say how the spelling was read when a part of it was looked up.
        const Spelling spelling = read_spelling(names[name]);
        if (!spelling.number.empty()) {
          what += " (read as number " + std::string(spelling.number);
          for (const std::string_view part :
               {spelling.rest, spelling.parenthesis}) {
            if (!part.empty()) what += " or as " + std::string(part);
          }
          what += ")";
        } else if (!spelling.head.empty()) {
          what += ", nor is \"" + std::string(spelling.head) + "\"";
        }
      }
      warn(format_line_warning(report.list_path, first_line, what));
      continue;
    }
    std::uint32_t example = examples.first[name];
    const std::uint32_t no_example = examples.first[name + 1];
    if (conflicted) {
      const std::string& other =
          account.conflicts[conflicts.at[conflicts.first[name]]].second;
      warn(format_line_warning(
          report.list_path, first_line,
          quoted + " names two objects: " +
              (example != no_example
                   ? account.examples[examples.at[example]].second
                   : "one") +
              " by its number, " + other + " by the rest; took the number"));
    }
    if (found == 1) continue;
    std::string what = quoted + " is in " + std::to_string(found) +
                       " catalogue lines";
    if (both) {
      const std::int64_t comets =
          account.lines[static_cast<std::size_t>(Source::kComets)][name];
      what += ", " + std::to_string(found - comets) + " in " +
              report.catalogue_path + " and " + std::to_string(comets) +
              " in " + report.comets_path;
    }
    what += " (";
    std::size_t shown = 0;
    for (; example != no_example; ++example, ++shown) {
      if (shown > 0) what += ", ";
      what += account.examples[examples.at[example]].second;
    }
    if (static_cast<std::int64_t>(shown) < found) {
      what += shown > 0 ? ", ..." : "...";
    }
    what += ")";
    if (!report.exact) what += "; --exact matches whole designations";
    warn(format_line_warning(report.list_path, first_line, what));
  }
  if (!report.exact) return;
  const auto objects = static_cast<std::int64_t>(names.size());
  warn(format_error(
      {report.list_path, grouped(objects) +
                             (objects == 1 ? " object: " : " objects: ") +
                             grouped(objects - missing) + " found, " +
                             grouped(missing) + " in " + nowhere}));
}

}  // namespace orbitpick
