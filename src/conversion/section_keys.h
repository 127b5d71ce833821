// The keys of a minor-body INI section: one table, with the role of each
// key, that both section writers (minor planets, comets) write from and that
// the merge asks which base values it may replace.
//
// A new key goes here once: a row in kSectionKeys (alphabetical, as the
// planetarium writes them) and its Key, then a SectionValue in the writer
// that gives it a value.

#ifndef ORBITPICK_CONVERSION_SECTION_KEYS_H_
#define ORBITPICK_CONVERSION_SECTION_KEYS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace orbitpick {

/// Line ending of the INI file: the platform's text-file convention.
#if defined(_WIN32)
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

/// What a key says about a body, and so whether a merge may overwrite it.
enum class KeyRole {
  kIdentity,    // what the body is (name, number, type): only filled in
  kOrbit,       // the orbit elements: replaced by the catalogue's
  kBrightness,  // absolute magnitude and slope: replaced by the catalogue's
  kFixed,       // the same for every body (coord_func): only filled in
};

/// Every key either writer knows, in alphabetical order (the order of
/// kSectionKeys and of the lines of a section).
enum class Key : unsigned char {
  kAbsoluteMagnitude,
  kCoordFunc,
  kIauDesignation,
  kMinorPlanetNumber,
  kName,
  kOrbitArgOfPericenter,
  kOrbitAscendingNode,
  kOrbitEccentricity,
  kOrbitEpoch,
  kOrbitInclination,
  kOrbitMeanAnomaly,
  kOrbitMeanMotion,
  kOrbitPericenterDistance,
  kOrbitSemiMajorAxis,
  kOrbitTimeAtPericenter,
  kSlopeParameter,
  kType,
};

/// One key: the start of its line, the name padded to 31 characters and
/// "= ", and its role.
struct SectionKey {
  std::string_view line_head;
  KeyRole role;
  constexpr std::string_view name() const {
    return line_head.substr(0, line_head.find(' '));
  }
};

/// The row of "key" in the table.
const SectionKey& section_key(Key key);

/// The row whose name is "name" (byte for byte), or null for a key that
/// orbitpick does not write.
const SectionKey* find_section_key(std::string_view name);

/// True when a merge only fills the key in where the base has no value for
/// it: the planetarium's own file knows better what a body is (Ceres is a
/// dwarf planet there, not an asteroid). Keys not in the table are replaced.
bool merge_only_fills(std::string_view name);

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

/// One line of a section as a writer gives it: the key, which formats
/// write it, and its value.
struct SectionValue {
  Key key;
  KeyUse use;
  std::string_view value;
};

/// Appends "[name]", then a "key = value" line for each of the "count"
/// values that "format" writes, and an empty line, each ended by kLineEnd.
/// REQUIRES: the values are in the order of their keys.
void append_section(std::string_view name, const SectionValue* values,
                    std::size_t count, SectionFormat format, std::string* out);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_SECTION_KEYS_H_
