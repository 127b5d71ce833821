// The base's bodies for --refresh, and the account of the refresh.

#include "app/refresh.h"

namespace orbitpick {
namespace {

// Names beyond this many are counted, not listed: a file of thousands of
// the planetarium's own bodies would otherwise fill the screen.
constexpr std::size_t kNamesListed = 40;

std::string sections(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " section" : " sections");
}

std::string name_list(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t i = 0; i < names.size() && i < kNamesListed; ++i) {
    if (i > 0) list += ", ";
    list += names[i];
  }
  if (names.size() > kNamesListed) {
    list += " and " + std::to_string(names.size() - kNamesListed) + " more";
  }
  return list;
}

}  // namespace

void prepare_refresh(std::string_view base, Refresh* refresh) {
  refresh->bodies = read_base_bodies(base);
  std::vector<std::string> lookups;
  for (const BaseBody& body : refresh->bodies) {
    lookups.insert(lookups.end(), body.lookups.begin(), body.lookups.end());
  }
  refresh->index = build_exact_index(lookups);
}

std::vector<std::string> refresh_report(const std::string& output,
                                        const std::vector<std::string>& paths,
                                        const RefreshCounts& counts) {
  const std::string head = "orbitpick: " + output + ": ";
  std::vector<std::string> lines;
  std::string line = head + "refreshed ";
  for (std::size_t i = 0; i < counts.refreshed.size(); ++i) {
    if (i > 0) line += ", ";
    const auto n = static_cast<std::size_t>(counts.refreshed[i]);
    line += (i == 0 ? sections(n) : std::to_string(n)) + " from " + paths[i];
  }
  lines.push_back(line);
  if (!counts.newer.empty()) {
    lines.push_back(head + sections(counts.newer.size()) +
                    " kept, the file's orbit being newer than the "
                    "catalogue's: " + name_list(counts.newer));
  }
  if (!counts.unmatched.empty()) {
    lines.push_back(head + sections(counts.unmatched.size()) +
                    (counts.unmatched.size() == 1 ? " names" : " name") +
                    " no object of the catalogues: " +
                    name_list(counts.unmatched));
  }
  return lines;
}

}  // namespace orbitpick
