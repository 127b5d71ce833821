// Turning the matched lines of a catalogue into INI sections, for the scan
// of either kind of catalogue (minor planets: catalogue.h, comets:
// comet.h): what a scan is given, how one kind of line becomes a section,
// and the sections gathered and handed on in blocks.

#ifndef ORBITPICK_CONVERSION_CONVERSION_H_
#define ORBITPICK_CONVERSION_CONVERSION_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "conversion/planetarium_rules.h"
#include "conversion/section_keys.h"
#include "input/catalogue_columns.h"
#include "input/line_reader.h"
#include "selection/exact_match.h"
#include "selection/name_account.h"
#include "selection/name_matcher.h"

namespace orbitpick {

constexpr std::int64_t kProgressEvery = 10000;

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
  // Counts each listed name's lines when not null (init_account first).
  NameAccount* account = nullptr;
  // The section names of the whole output, when several scans write into
  // it; null: the names of this scan alone.
  SectionNames* sections = nullptr;
  // With --refresh, the bodies of the file being refreshed: every line one
  // of them selects by a whole designation also gives a section to
  // "refresh_write", whether a listed name selects it or not. Not counted
  // in the account.
  const ExactIndex* refresh = nullptr;
  std::function<bool(std::string_view block, Error* err)> refresh_write;
  // A catalogue already in memory (a mapped file) is searched in pieces cut
  // at line ends, about piece_bytes each, on "threads" threads (0: one per
  // processor the process may use), which also write the sections of up
  // to piece_bytes / 4; the rest of the conversion follows the file's
  // order. Tests make both small to cut it everywhere.
  int threads = 0;
  std::size_t piece_bytes = std::size_t{1} << 20;
};

/// The options of the conversion of the lines options.refresh selects.
ScanOptions refresh_scan_options(const ScanOptions& options);

/// How the lines of one kind of catalogue become sections.
struct LineKind {
  bool (*check)(std::string_view line, Error* err);  // complete, or why not
  void (*write)(std::string_view line, std::string* out, SectionFormat format);
  // The designation quoted for the line in the account of the names.
  std::string_view (*designation)(std::string_view line);
  Source source;  // where the account counts the line
  // What the planetarium's rules look at. REQUIRES: "check" accepts it.
  void (*describe)(std::string_view line, LineFacts* facts);
};

/// Fails when a value that a section copies from "line" (the "count"
/// columns "copied", and "key", which also names the section; each trimmed
/// as it is written) holds a control byte other than tab (a CR or LF there
/// ends the INI line early, and what follows becomes keys or sections of
/// its own; a NUL makes the file no text), or "key" a square bracket (which
/// would end or open a section name).
bool check_copied_columns(std::string_view line, const Column* copied,
                          std::size_t count, Column key, Error* err);

/// The work on one selected line that depends on the line alone (the
/// check, what the rules look at, the section's text), so that it may be
/// done on any thread, ahead of the line's turn.
struct PreparedLine {
  bool ok = false;  // false: "skip" says why the line is not converted
  Error skip;
  LineFacts facts;
  std::size_t text_begin = 0;  // one copy of its section in the text
  std::size_t text_end = 0;
};

/// Prepares "line" of "kind", appending its section (when the line is
/// accepted and not left out) to *text.
void prepare_line(const LineKind& kind, SectionFormat format,
                  std::string_view line, PreparedLine* prepared,
                  std::string* text);

/// A line of a run that find_names matched, prepared: where it lies in the
/// run (its line feed not included) and its matches,
/// matches[first_match, end_match).
struct MatchedLine {
  std::uint32_t line_start = 0;
  std::uint32_t line_end = 0;
  std::uint32_t first_match = 0;
  std::uint32_t end_match = 0;
  PreparedLine prepared;
};

/// Turns the matched lines of one catalogue into sections, block after
/// block, for the scan of either kind of catalogue.
struct Conversion {
  Conversion(const ScanOptions& options, const LineKind& kind);
  const ScanOptions& options;
  const LineKind& kind;
  std::string out;                // sections not yet handed to "write"
  Error skip;                     // why the latest line was not converted
  std::int64_t header_lines = 0;  // added to line numbers in warnings
  SectionNames own_sections;      // when options.sections is null
  SectionNames* sections;         // the section names given so far
  // Reused from line to line and run to run.
  std::vector<MatchedLine> matched;
  std::string text;
  PreparedLine prepared;
};

/// Groups the matches of "body" by line and prepares each line, its
/// sections' text appended to *text, until the text holds "max_bytes" or
/// more (or the lines max_bytes / 256 + 1): what is held stays a few
/// pieces' worth however many lines match. Returns the matches of the lines
/// prepared, the first ones. Depends on nothing but its arguments.
std::size_t prepare_matches(const LineKind& kind, SectionFormat format,
                            std::string_view body,
                            const std::vector<NameMatch>& matches,
                            std::size_t max_bytes,
                            std::vector<MatchedLine>* lines,
                            std::string* text);

/// Converts the lines prepare_matches prepared from "body", a run of whole
/// lines after the file's first "lines_before" catalogue lines, under the
/// rules of convert_matches (the matches it left are for convert_matches).
bool convert_prepared(Conversion* c, std::string_view body,
                      const std::vector<NameMatch>& matches,
                      const std::vector<MatchedLine>& lines,
                      std::string_view text, std::int64_t lines_before,
                      Error* err);

/// Converts the substring matches that find_names found in "body", a run
/// of whole lines after the file's first "lines_before" catalogue lines:
/// each matched line gives one section per listed name in it, a line its
/// kind refuses a warning. The planetarium's rules apply to every section
/// (planetarium_rules.h): an object it must not get is left out with a
/// warning, one without H is written with a warning, and a section name
/// another object holds is made unique with a warning. Every match is
/// counted in options.account. Fails when writing fails.
bool convert_matches(Conversion* c, std::string_view body,
                     const std::vector<NameMatch>& matches,
                     std::int64_t lines_before, Error* err);

/// Converts one line that the listed names "hits" (distinct) select: one
/// section, or a warning naming line "number" of the file, under the rules
/// of convert_matches. Fails when writing fails.
bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err);

/// convert_selected for a line prepared beforehand, its section's text
/// in "text".
bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits,
                      const PreparedLine& prepared, std::string_view text,
                      Error* err);

/// Hands "write" the sections still held.
bool finish_conversion(Conversion* c, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_CONVERSION_H_
