// The orbit catalogue MPCORB.DAT: the scan for listed objects and the INI
// section written for each of them (the columns read: catalogue_columns.h).

#ifndef ORBITPICK_CONVERSION_CATALOGUE_H_
#define ORBITPICK_CONVERSION_CATALOGUE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "conversion/planetarium_rules.h"
#include "input/catalogue_columns.h"
#include "selection/exact_match.h"
#include "input/line_reader.h"
#include "selection/name_account.h"
#include "selection/name_matcher.h"

namespace orbitpick {

constexpr std::int64_t kProgressEvery = 10000;

/// Line ending of the INI file: the platform's text-file convention.
#if defined(_WIN32)
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

/// Checks that "line" gives a complete section; fails with the reason
/// ("line shorter than 175 bytes", "invalid packed epoch") when it cannot.
bool check_section_line(std::string_view line, Error* err);

/// The keys a section holds.
enum class SectionFormat {
  // Thirteen keys, always all of them, empty values included, every object
  // of type "asteroid": what every planetarium version reads.
  kDefault,
  // For newer planetaria: also slope_parameter (G, so that magnitudes come
  // out right) and iau_designation (unnumbered objects), dwarf planet and
  // trans-Neptunian types, no key whose value is empty and no coord_func.
  kExtended,
};

/// Which format writes a key of a section.
enum class KeyUse {
  kBoth,          // both; left out of kExtended when its value is empty
  kDefaultOnly,   // kDefault only (coord_func)
  kExtendedOnly,  // kExtended only, and only with a value
  kWhenGiven,     // both, but only with a value
};

/// One key of a section: its name padded to 31 characters, then "= ".
struct SectionKey {
  const char* text;
  KeyUse use;
};

/// Appends "[key]", then a "key = value" line for each of the "count" keys
/// that "format" writes with its value, and an empty line, each ended by
/// kLineEnd. The keys come in the order given (alphabetical, as the
/// planetarium writes them).
void append_section(std::string_view key, const SectionKey* keys,
                    const std::string_view* values, std::size_t count,
                    SectionFormat format, std::string* out);

/// Appends to "out" the INI section of one catalogue line: the key in square
/// brackets, one "key = value" line per key of "format" in alphabetical
/// order, and an empty line, each ended by kLineEnd. REQUIRES:
/// check_section_line(line) succeeds.
void write_section(std::string_view line, std::string* out,
                   SectionFormat format = SectionFormat::kDefault);

/// What the scan needs besides the catalogue and the names.
struct ScanOptions {
  std::string path;  // named in warnings
  std::size_t buffer_bytes = kDefaultBufferBytes;
  std::size_t flush_bytes = 64 * 1024;  // sections held before "write"
  SectionFormat format = SectionFormat::kDefault;
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
  // The section keys of the whole output, when several scans write into
  // it; null: the keys of this scan alone.
  SectionKeys* keys = nullptr;
};

/// How the lines of one kind of catalogue become sections.
struct LineKind {
  bool (*check)(std::string_view line, Error* err);  // complete, or why not
  void (*write)(std::string_view line, std::string* out, SectionFormat format);
  // The designation quoted for the line in the account of the names.
  std::string_view (*designation)(std::string_view line);
  // What the planetarium's rules look at. REQUIRES: "check" accepts it.
  void (*describe)(std::string_view line, LineFacts* facts);
};

/// The minor planets of MPCORB.DAT and its extracts.
extern const LineKind kMinorPlanetLines;

/// The readable designation of a catalogue line, "(433) Eros", trimmed.
std::string_view readable_designation(std::string_view line);

/// The section key of a catalogue line: its readable designation without
/// the parentheses and its first two spaces, lower-cased ("433eros").
std::string section_key(std::string_view line);

/// Turns the matched lines of one catalogue into sections, block after
/// block, for the scan of either kind of catalogue.
struct Conversion {
  Conversion(const ScanOptions& options, const LineKind& kind);
  const ScanOptions& options;
  const LineKind& kind;
  std::string out;                // sections not yet handed to "write"
  Error skip;                     // why the latest line was not converted
  std::int64_t header_lines = 0;  // added to line numbers in warnings
  SectionKeys own_keys;           // when options.keys is null
  SectionKeys* keys;              // the keys given so far
};

/// Converts the substring matches that find_names found in "body", a run
/// of whole lines after the file's first "lines_before" catalogue lines:
/// each matched line gives one section per listed name in it, a line its
/// kind refuses a warning. The planetarium's rules apply to every section
/// (planetarium_rules.h): an object it must not get is left out with a
/// warning, one without H is written with a warning, and a key another
/// object holds is made unique with a warning. Every match is counted in
/// options.account. Fails when writing fails.
bool convert_matches(Conversion* c, std::string_view body,
                     const std::vector<NameMatch>& matches,
                     std::int64_t lines_before, Error* err);

/// Converts one line that the listed names "hits" (distinct) select: one
/// section, or a warning naming line "number" of the file, under the rules
/// of convert_matches. Fails when writing fails.
bool convert_selected(Conversion* c, std::string_view line,
                      std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err);

/// Hands "write" the sections still held.
bool finish_conversion(Conversion* c, Error* err);

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

#endif  // ORBITPICK_CONVERSION_CATALOGUE_H_
