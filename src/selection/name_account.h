// The account of the listed names: which were found in the catalogue, which
// not, and which in more than one line.
//
// A name that is in no catalogue line gives no section and would otherwise
// go unnoticed; a short name that is in many lines ("Pan", "433") gives a
// section for each. Both are told on stderr after the scan, one line per
// name, naming the list line where the name first stands.

#ifndef ORBITPICK_SELECTION_NAME_ACCOUNT_H_
#define ORBITPICK_SELECTION_NAME_ACCOUNT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/diagnostics.h"

namespace orbitpick {

/// Designations quoted for a name found in several lines.
constexpr std::size_t kAccountExamples = 3;

struct NameAccount {
  std::vector<std::int64_t> lines;  // per listed name: lines it is in
  // The first kAccountExamples designations of each name's lines, in the
  // order found: (name index, designation).
  std::vector<std::pair<std::uint32_t, std::string>> examples;
};

/// Starts the account of "names" listed names, none found yet.
void init_account(NameAccount* account, std::size_t names);

/// Counts one more catalogue line for listed name "name"; "designation" is
/// the line's readable designation, kept for the first few.
void count_line(NameAccount* account, std::uint32_t name,
                std::string_view designation);

/// What the account says about the list, for the report.
struct AccountReport {
  std::string list_path;
  const std::vector<std::string>* names = nullptr;        // the target list
  const std::vector<std::int64_t>* first_lines = nullptr;  // per name
  bool exact = false;  // --exact was given: no hint at it
  // With a comet file too, the account says which file each count is in:
  // the catalogue's and the comet file's paths, and each name's comet
  // lines (the rest of its lines are the catalogue's).
  std::string catalogue_path;
  std::string comets_path;
  const std::vector<std::int64_t>* comet_lines = nullptr;
};

/// Sends "warn" one line for every listed name found in no line, or in
/// more than one, in the order of the list file.
void report_account(const NameAccount& account, const AccountReport& report,
                    const WarningSink& warn);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_NAME_ACCOUNT_H_
