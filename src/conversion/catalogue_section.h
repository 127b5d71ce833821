// The INI section of one MPCORB.DAT line (the columns read:
// input/catalogue_columns.h; the keys: section_keys.h).

#ifndef ORBITPICK_CONVERSION_CATALOGUE_SECTION_H_
#define ORBITPICK_CONVERSION_CATALOGUE_SECTION_H_

#include <string>
#include <string_view>

#include "base/diagnostics.h"
#include "conversion/planetarium_rules.h"
#include "conversion/section_keys.h"

namespace orbitpick {

/// Checks that "line" gives a complete section; fails with the reason
/// ("line shorter than 175 bytes", "invalid packed epoch") when it cannot.
bool check_section_line(std::string_view line, Error* err);

/// Appends to "out" the INI section of one catalogue line: the key in square
/// brackets, one "key = value" line per key of "format" in alphabetical
/// order, and an empty line, each ended by kLineEnd. REQUIRES:
/// check_section_line(line) succeeds.
void write_section(std::string_view line, std::string* out,
                   SectionFormat format = SectionFormat::kDefault);

/// The readable designation of a catalogue line, "(433) Eros", trimmed.
std::string_view readable_designation(std::string_view line);

/// The section name of a catalogue line: its readable designation without
/// the parentheses and its first two spaces, lower-cased ("433eros").
std::string section_name(std::string_view line);

/// What the planetarium's rules look at in a catalogue line. REQUIRES:
/// check_section_line(line) succeeds.
void describe_minor_planet(std::string_view line, LineFacts* facts);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_CATALOGUE_SECTION_H_
