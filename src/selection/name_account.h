// The account of the listed names: which were found in the catalogues,
// which not, and which in more than one line.
//
// A name that is in no catalogue line gives no section and would otherwise
// go unnoticed; a short name that is in many lines ("Pan", "433") gives a
// section for each; a spelling whose number names one object and whose
// other parts another ("1 Eros") gives the numbered one's. All are told on
// stderr after the scan, one line per name, naming the list line where the
// name first stands. Lines are counted per file, the catalogue's and the
// comet file's, each sized to the list from the start.

#ifndef ORBITPICK_SELECTION_NAME_ACCOUNT_H_
#define ORBITPICK_SELECTION_NAME_ACCOUNT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "input/targets.h"

namespace orbitpick {

/// Designations quoted for a name found in several lines.
constexpr std::size_t kAccountExamples = 3;

/// The file a counted line is in.
enum class Source { kCatalogue = 0, kComets = 1 };
constexpr std::size_t kSources = 2;

struct NameAccount {
  // Per source, per listed name: the lines of that file it is in.
  std::vector<std::int64_t> lines[kSources];
  // The first kAccountExamples designations of each name's lines, in the
  // order found: (name index, designation).
  std::vector<std::pair<std::uint32_t, std::string>> examples;
  // Per name, the first object its checked parts name where its number
  // does not: (name index, designation); "conflicted" marks them.
  std::vector<std::pair<std::uint32_t, std::string>> conflicts;
  std::vector<bool> conflicted;
};

/// Starts the account of "names" listed names, none found yet.
void init_account(NameAccount* account, std::size_t names);

/// Counts one more line of "source" for listed name "name"; "designation"
/// is the line's readable designation, kept for the first few.
void count_line(NameAccount* account, Source source, std::uint32_t name,
                std::string_view designation);

/// Notes that a part of the spelling of "name" other than its number names
/// the object of a line the number does not select; the first is kept.
void note_conflict(NameAccount* account, std::uint32_t name,
                   std::string_view designation);

/// The lines of every file that name "name" is in.
std::int64_t lines_of(const NameAccount& account, std::uint32_t name);

/// What the account says about the list, for the report.
struct AccountReport {
  std::string list_path;
  const TargetList* targets = nullptr;
  // Whole designations (--exact, and every list layout but the quoted
  // one): no hint at --exact, the reading of a spelling told with a miss,
  // and one closing line of counts.
  bool exact = false;
  // With a comet file, the account says which file each count is in.
  std::string catalogue_path;
  std::string comets_path;  // empty: no comet file
};

/// Sends "warn" one line for every listed name found in no line, or in
/// more than one, or named twice by its spelling, in the order of the list
/// file; with "exact", then the closing line ("orbitpick: list.csv: 1,473
/// objects: 1,397 found, 76 in no catalogue line").
void report_account(const NameAccount& account, const AccountReport& report,
                    const WarningSink& warn);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_NAME_ACCOUNT_H_
