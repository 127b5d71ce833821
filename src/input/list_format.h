// Reading the observing list in the layout the user names, or in the one
// its content shows (--list-format auto).
//
//   quoted  the default: a header, then the name in double quotes first on
//           each line (target_list.h)
//   csv     CSV with a header (list_csv.h)
//   text    one object a line (list_text.h)
//   json    Stellarium's observing lists (list_json.h)
//   edb     XEphem's database format (list_edb.h)

#ifndef ORBITPICK_INPUT_LIST_FORMAT_H_
#define ORBITPICK_INPUT_LIST_FORMAT_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "input/line_reader.h"
#include "input/list_read.h"

namespace orbitpick {

enum class ListFormat { kQuoted, kCsv, kText, kJson, kEdb, kAuto };

/// The format named "name" (quoted, csv, text, json, edb, auto); false for
/// any other name.
bool parse_list_format(std::string_view name, ListFormat* format);

struct ListOptions {
  ListFormat format = ListFormat::kQuoted;
  std::string column;  // --column: the CSV designation column
};

/// The layout the first lines of a list show (never kQuoted or kAuto):
/// JSON when it opens with "{" or "[", edb when most lines have a one-letter
/// type code as their second comma-separated field, CSV when the header
/// line and most lines after it have two fields or more, else text.
ListFormat detect_list_format(const std::vector<std::string>& first_lines);

/// Reads the list from "lines" into "read" (sorted names, each with its
/// first line). With auto, one line to "warn" names the layout chosen;
/// with any layout but quoted, one line counts the lines that hold no
/// object. Fails on a read failure, on a --column the header lacks, and
/// when the list holds no object; the error names "path".
bool read_list(LineBuffer* lines, const std::string& path,
               const ListOptions& options, const WarningSink& warn,
               ListRead* read, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_FORMAT_H_
