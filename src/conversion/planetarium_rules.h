// What the planetarium makes of a body beyond the keys of its section: the
// few objects it must not get from this file, the ones it will load but not
// draw, and section names that would merge two bodies into one.

#ifndef ORBITPICK_CONVERSION_PLANETARIUM_RULES_H_
#define ORBITPICK_CONVERSION_PLANETARIUM_RULES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

/// What the rules look at in one catalogue line of either kind.
struct LineFacts {
  std::string section;           // its section name, "433eros"
  std::string_view designation;  // as printed, "(433) Eros", "2I/Borisov"
  std::string_view packed;       // "00433", "K04PB2C", "0002I", "CK23A030"
  std::string_view number;       // minor-planet number, "433"; empty else
  bool has_magnitude = true;     // an absolute magnitude H is given
};

/// Why the planetarium must not get this object from the minor-body file,
/// as the end of a warning; empty when it may. (134340) Pluto is among the
/// planetarium's major bodies, and a second body called Pluto is built as
/// a planet of its own beside it.
std::string_view left_out_reason(const LineFacts& facts);

/// The warning text for an object written without an absolute magnitude.
std::string no_magnitude_warning(const LineFacts& facts);

/// The section names given so far in one output file and whose they are:
/// the planetarium merges the keys of two sections with one name into one
/// body. Every selected line claims its name on the one thread that keeps
/// the file's order, so the table is flat: one probe of a slot array, the
/// texts in one buffer, no allocation per name.
class SectionNames {
 public:
  /// The designation "section" is held by; when it is held by none, claims
  /// it for "designation" and returns that. The text returned lasts until
  /// the next claim.
  std::string_view claim(std::string_view section,
                         std::string_view designation);

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::size_t end = 0;  // 0: free; else one past where its texts end
    std::uint32_t section_size = 0;  // the name, then its designation
    std::uint32_t designation_size = 0;
  };
  void grow();

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  std::string text_;
};

/// Claims facts.section for the object; true when it is free or already the
/// object's own (two names selecting one line write it twice, as before).
/// Otherwise sets *suffix to what makes the name the object's own ("_" and
/// the packed designation's letters and digits, lower-cased, then a count
/// if need be), claims the longer name, sets *other to the designation that
/// holds facts.section and returns false.
bool claim_section_name(SectionNames* names, const LineFacts& facts,
                       std::string* suffix, std::string* other);

/// The warning text for a section name made unique by claim_section_name.
std::string renamed_section_warning(const LineFacts& facts,
                                std::string_view suffix,
                                std::string_view other);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_PLANETARIUM_RULES_H_
