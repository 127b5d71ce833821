// The orbit catalogue MPCORB.DAT: the scan for listed objects and the INI
// section written for each of them.
//
// After a 43-line header the catalogue holds one orbit per line in fixed
// columns (0-based offsets): absolute magnitude at 8, packed epoch at 20,
// mean anomaly at 26, argument of perihelion at 37, ascending node at 48,
// inclination at 59, eccentricity at 70, mean daily motion at 80,
// semi-major axis at 92, and the readable designation at 165: the number in
// parentheses ending at 173, the name or provisional designation from 175.

#ifndef ORBITPICK_CATALOGUE_H_
#define ORBITPICK_CATALOGUE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "diagnostics.h"
#include "exact_match.h"
#include "line_reader.h"
#include "name_account.h"
#include "name_matcher.h"

namespace orbitpick {

constexpr int kHeaderLines = 43;
constexpr std::int64_t kProgressEvery = 10000;
constexpr std::size_t kMinLineBytes = 175;

/// Line ending of the INI file: the platform's text-file convention.
#if defined(_WIN32)
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

/// Checks that "line" gives a complete section; fails with the reason
/// ("line shorter than 175 bytes", "invalid packed epoch") when it cannot.
bool check_section_line(std::string_view line, Error* err);

/// Appends to "out" the INI section of one catalogue line: the key in square
/// brackets, thirteen "key = value" lines and an empty line, each ended by
/// kLineEnd. REQUIRES: check_section_line(line) succeeds.
void write_section(std::string_view line, std::string* out);

/// What the scan needs besides the catalogue and the names.
struct ScanOptions {
  std::string path;  // named in warnings
  std::size_t buffer_bytes = kDefaultBufferBytes;
  std::size_t flush_bytes = 64 * 1024;  // sections held before "write"
  std::function<void(std::int64_t count)> progress;
  WarningSink warn;
  // Takes a block of finished sections; a failure stops the scan. The
  // error it sets names the file written.
  std::function<bool(std::string_view block, Error* err)> write;
  // Match whole designations through this index instead of the substring
  // search; null: substrings.
  const ExactIndex* exact = nullptr;
  // Counts each listed name's lines when not null (init_account first).
  NameAccount* account = nullptr;
};

/// Reads the catalogue from "reader" to its end and hands "write" one
/// section for every (line, name) pair where the name occurs in the line,
/// in the order of the lines and, within a line, of the names (with
/// options.exact: one section for every line a name selects). The first
/// kHeaderLines lines are a header unless the first line is itself an orbit
/// line (as in the MPC's header-less extracts). Calls "progress" at every
/// multiple of kProgressEvery lines. A matched line without a complete
/// section is reported to "warn" and skipped. Sets *lines to the number of
/// lines after the header. Fails when reading or writing fails, and when no
/// line after the header is an orbit line (an empty, cut-short or wrong
/// file); the error names the file concerned.
bool scan_catalogue(Reader* reader, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_CATALOGUE_H_
