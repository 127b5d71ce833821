// Comet orbits from the Minor Planet Center's CometEls.txt: checking a line,
// its INI section, the ways a list may name it, and the scan for listed
// comets.
//
// The file has no header and one orbit per line in fixed columns (0-based
// offsets): periodic number at 0 (4), orbit type at 4 (C, P, D, X, I, A),
// packed provisional designation at 5 (7, a fragment's letters at its end),
// perihelion time at 14 (year, 4), 19 (month, 2) and 22 (day with fraction,
// 7; TT), perihelion distance q at 30 (9), eccentricity at 41 (8), argument
// of perihelion at 51, ascending node at 61 and inclination at 71 (8 each,
// J2000 degrees), epoch YYYYMMDD at 81 (8, may be blank), H at 91 (4), the
// slope parameter at 96 (4), designation and name at 102 (56), reference at
// 159.

#ifndef ORBITPICK_CONVERSION_COMET_H_
#define ORBITPICK_CONVERSION_COMET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"
#include "conversion/conversion.h"
#include "input/catalogue_columns.h"
#include "input/reader.h"
#include "selection/exact_match.h"
#include "selection/name_matcher.h"

namespace orbitpick {

/// A comet line must reach the first byte of its designation.
constexpr std::size_t kMinCometLineBytes = 103;

/// Checks that "line" gives a complete comet section; fails with the reason
/// ("line shorter than 103 bytes", "invalid perihelion time", "missing
/// perihelion distance", ...) when it cannot. Hyperbolic and parabolic
/// orbits are complete; a blank epoch, H or slope parameter is allowed.
bool check_comet_line(std::string_view line, Error* err);

/// Appends to "out" the INI section of one comet line, keys in alphabetical
/// order and padded as in the minor-planet sections. The section key is the
/// designation and name, lower-cased, without spaces, "/", "-" and "'":
/// "C/2023 A3 (Tsuchinshan-ATLAS)" gives c2023a3(tsuchinshanatlas). The
/// perihelion time and the epoch are written as Julian dates; a blank epoch
/// or slope parameter leaves its key out. Every orbit type, interstellar
/// (I) included, is of type "comet". kExtended also leaves out
/// coord_func and every other key whose value would be empty. REQUIRES:
/// check_comet_line(line) succeeds.
void write_comet_section(std::string_view line, std::string* out,
                         SectionFormat format = SectionFormat::kDefault);

/// The section name of a comet line (see write_comet_section).
std::string comet_section_name(std::string_view line);

/// The designation and name of a comet line as printed, trimmed:
/// "C/2023 A3 (Tsuchinshan-ATLAS)".
std::string_view comet_designation(std::string_view line);

/// The comets of CometEls.txt.
extern const LineKind kCometLines;

/// The ways an observing list may name the comet of one line, as written
/// in the file (none of them checked). For "0012P" ... "12P/Pons-Brooks":
/// packed "0012P", designation "12P", full "12P/Pons-Brooks", name
/// "Pons-Brooks". For "    CK23A030" ... "C/2023 A3 (Tsuchinshan-ATLAS)":
/// "CK23A030", "C/2023 A3", the whole, "Tsuchinshan-ATLAS".
struct CometIdentities {
  std::string packed;       // columns 1-12 without blanks ("0073Pbt")
  std::string designation;  // "12P", "73P-BT", "C/2023 A3", "C/2025 K1-C"
  std::string full;         // designation and name as printed
  std::string name;         // empty when the line gives none ("288P")
  // The name alone names this comet: no other line of the file has it
  // ("Tempel" and "PANSTARRS" name several). Set by mark_unique_names.
  bool name_is_unique = false;
};

/// The identities of one comet line; name_is_unique is left false.
CometIdentities comet_identities(std::string_view line);

/// Sets name_is_unique in each of "comets" (the identities of lines of one
/// file) whose non-empty name no other entry has, nor any of the file's
/// other lines: "others" counts, by name, the lines not in "comets".
void mark_unique_names(
    std::vector<CometIdentities>* comets,
    const std::unordered_map<std::string, int>& others = {});

/// What scan_comets found (the lines of each name: options.account).
struct CometScan {
  std::int64_t lines = 0;  // lines in the file
};

/// Reads the comet file from "reader" whole (it has no header) and hands
/// "write" one comet section in options.format for every (line, name) pair
/// where the name occurs in the line, in the order of the lines and, within
/// a line, of the names: the rule of scan_catalogue. Counts each matched
/// line, those skipped with a warning included, in options.account when it
/// is set. A matched line without a
/// complete section is reported to "warn" with options.path and its line
/// number, and skipped. Fails when reading or writing fails, when the file
/// has a line longer than kMaxLineBytes, and when none of its lines is a complete
/// comet line; the error names the file concerned.
bool scan_comets(Reader* reader, const NameMatcher& matcher,
                 const ScanOptions& options, CometScan* scan, Error* err);

/// As above, but by whole designations: one section for each line that a
/// listed name selects through "index" by one of the line's identities
/// (CometIdentities; the name alone only where it is unique in the file).
bool scan_comets(Reader* reader, const ExactIndex& index,
                 const ScanOptions& options, CometScan* scan, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_COMET_H_
