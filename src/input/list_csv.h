// CSV lists with a header line (RFC 4180): JPL Small-Body Database exports,
// the same re-saved by a spreadsheet, planners' exports. Fields may be
// quoted, with "" for a quote and separators or line breaks inside; lines
// end in CR LF or LF; a UTF-8 byte order mark may lead. The separator (",",
// ";" or tab) is the one the header line uses most.
//
// The designation is read from the column the user names (by header, case
// ignored, or by number from 1), else from the first column whose header
// says it holds one (full_name, designation, pdes, ..., name), else from
// the first column.

#ifndef ORBITPICK_INPUT_LIST_CSV_H_
#define ORBITPICK_INPUT_LIST_CSV_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/list_read.h"

namespace orbitpick {

/// Counts the fields of one line split at "separator" outside double
/// quotes (a quote left open counts to the line's end).
std::size_t count_csv_fields(std::string_view line, char separator);

/// The separator the header line "line" uses most: ',', ';' or '\t'
/// (',' when it uses none).
char csv_separator(std::string_view line);

struct CsvList {
  std::string column;  // --column: a header or a number; empty: choose
  // Filled from the header record.
  bool have_header = false;
  char separator = ',';
  std::size_t designation = 0;  // column, from 0
  std::vector<std::string> header;
  // The record being read, which may span lines.
  bool in_record = false;
  bool in_quotes = false;
  std::size_t field = 0;
  std::string value;  // of the designation column (any column in the header)
  std::int64_t record_line = 0;
  std::string failure;  // set when --column names no column; reading stops
};

/// Reads line "number" (without its line feed) of a CSV list into "read".
void csv_line(CsvList* csv, std::string_view line, std::int64_t number,
              ListRead* read);

/// Ends the list: a record left open by a quote is taken as it stands.
void csv_end(CsvList* csv, ListRead* read);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_CSV_H_
