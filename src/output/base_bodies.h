// Which body a section of a minor-body INI file is, told by its identity
// keys and its name: the merge updates a base section when it is the same
// body as a new one, and --refresh looks every base section's body up in
// the catalogues.
//
// A section's identities, each a whole designation, normalised as
// --exact normalises listed names (case and punctuation dropped):
//  - its section name, percent-decoded as the planetarium decodes it
//    ([c2013us10%28catalina%29] is c2013us10(catalina));
//  - its minor_planet_number;
//  - the designation that its iau_designation or its name is or starts
//    with: a provisional designation ("2002 AA29", "2040 P-L"), a periodic
//    comet's number ("2P" of "2P/Encke", "73P-B", "1I"), or a comet's
//    provisional designation ("C/1995 O1" of "C/1995 O1 (Hale-Bopp)").
// A name that is no designation ("Ceres", "Tesla Roadster") is none.

#ifndef ORBITPICK_OUTPUT_BASE_BODIES_H_
#define ORBITPICK_OUTPUT_BASE_BODIES_H_

#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

/// The section name as the planetarium reads it: every "%XX" (two hex
/// digits) is the byte XX; any other '%' stays.
std::string decode_section_name(std::string_view name);

/// The designation that "text" is or starts with (see above), or empty.
std::string_view designation_in_name(std::string_view text);

/// The values of a section that say which body it is.
struct SectionKeys {
  std::string_view section;  // the name in brackets, as written
  std::string_view number;   // minor_planet_number
  std::string_view iau_designation;
  std::string_view name;
};

/// A section's identities, each tagged with its kind ("s:", "n:", "d:") so
/// that a number never equals a designation: two sections are the same body
/// when they share one.
std::vector<std::string> section_identities(const SectionKeys& keys);

/// A section of a base file, and the texts to look its body up by in the
/// catalogues (its number, designations and decoded section name, as a
/// listed name would give them).
struct BaseBody {
  std::string section;
  std::vector<std::string> lookups;
};

/// Every section of the INI text "ini", in order (a section named twice is
/// listed twice).
std::vector<BaseBody> read_base_bodies(std::string_view ini);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_BASE_BODIES_H_
