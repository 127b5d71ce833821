// The target list: the names of the wanted objects, read from the observing
// list that a planning program exported as CSV.
//
// The export has a header line, then one object per line whose first field
// is the object's name in double quotes: "Ceres","Asteroid",7.1,...

#ifndef ORBITPICK_TARGET_LIST_H_
#define ORBITPICK_TARGET_LIST_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.h"

namespace orbitpick {

/// Receives one warning, already formatted as a whole message line without
/// its line feed.
using WarningSink = std::function<void(const std::string& message)>;

/// Copy of "s" without leading and trailing spaces, line feeds, carriage
/// returns and tabs. Inner characters are kept.
std::string trim(const std::string& s);

/// The same as trim, as a view into "s".
std::string_view trim_view(std::string_view s);

/// Deletes, in place, every element equal to an earlier one, keeping the
/// survivors in their order. The list need not be sorted.
void remove(std::vector<std::string>& list);

/// Name in the first field of one CSV line (without its line feed). Returns
/// true and sets *name for a usable name; returns false for a line to skip,
/// setting *reason when the skip deserves a warning and clearing it when the
/// line is simply not an object line (it holds no double quote).
bool parse_list_line(std::string_view line, std::string* name,
                     std::string* reason);

/// Reads the CSV export from "lines" to its end and returns the target list:
/// every usable first-field name, sorted byte-wise, each once. The first line
/// is the export's header and is skipped. Lines skipped with a reason are
/// reported to "warn" as "orbitpick: <path>:<line>: <reason>; line skipped".
/// Returns false on a read failure, with *err set.
bool read_target_list(LineBuffer* lines, const std::string& path,
                      const WarningSink& warn, std::vector<std::string>* list,
                      std::string* err);

}  // namespace orbitpick

#endif  // ORBITPICK_TARGET_LIST_H_
