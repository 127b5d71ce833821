// The target list: the names of the wanted objects, read from the observing
// list that a planning program exported as CSV.
//
// The export has a header line, then one object per line whose first field
// is the object's name in double quotes: "Ceres","Asteroid",7.1,...

#ifndef ORBITPICK_INPUT_TARGET_LIST_H_
#define ORBITPICK_INPUT_TARGET_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "base/text.h"
#include "input/line_reader.h"

namespace orbitpick {

/// Copy of "s" without leading and trailing spaces, line feeds, carriage
/// returns and tabs. Inner characters are kept.
std::string trim(const std::string& s);

/// Deletes, in place, every element equal to an earlier one, keeping the
/// survivors in their order. The list need not be sorted.
void remove(std::vector<std::string>& list);

/// Name in the first field of one CSV line (without its line feed). Sets
/// *name to it, or to empty when the line is simply not an object line (it
/// holds no double quote). Fails, with the reason, for a line that should
/// name an object but does not.
bool parse_list_line(std::string_view line, std::string* name, Error* err);

/// Reads the CSV export from "lines" to its end and returns the target list:
/// every usable first-field name, sorted byte-wise, each once. The first line
/// is the export's header and is skipped. Lines skipped with a reason are
/// reported to "warn" as "orbitpick: <path>:<line>: <reason>; line skipped".
/// When "first_lines" is not null it gets, for each name of the list, the
/// line of the file where the name first stands (1-based). Fails when the
/// list cannot be read; the error names "path".
bool read_target_list(LineBuffer* lines, const std::string& path,
                      const WarningSink& warn, std::vector<std::string>* list,
                      std::vector<std::int64_t>* first_lines, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_TARGET_LIST_H_
