// The planetarium's rules for the bodies of its minor-body file.

#include "conversion/planetarium_rules.h"

namespace orbitpick {

std::string_view left_out_reason(const LineFacts& facts) {
  // The planetarium builds any body called Pluto as a planet; the one it
  // ships among its major bodies is already there.
  if (facts.number == "134340") {
    return "the planetarium has Pluto among its major bodies, and would "
           "show a second one beside it";
  }
  return {};
}

std::string no_magnitude_warning(const LineFacts& facts) {
  return std::string(facts.designation) +
         " has no absolute magnitude: the planetarium will not draw it (no "
         "magnitude to draw it with)";
}

bool claim_section_name(SectionNames* names, const LineFacts& facts,
                       std::string* suffix, std::string* other) {
  const auto [held, added] =
      names->owner.try_emplace(facts.section, facts.designation);
  if (added || held->second == facts.designation) return true;
  *other = held->second;
  // Letters and digits alone: the packed designation is not checked as the
  // written fields are, and a control byte or a bracket there would break
  // the section's name.
  std::string packed = "_";
  for (const char c : facts.packed) {
    if (c >= 'A' && c <= 'Z') {
      packed += static_cast<char>(c - 'A' + 'a');
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      packed += c;
    }
  }
  *suffix = packed;
  for (int count = 2;; ++count) {
    const auto [mine, claimed] =
        names->owner.try_emplace(facts.section + *suffix, facts.designation);
    if (claimed || mine->second == facts.designation) return false;
    *suffix = packed + "_" + std::to_string(count);
  }
}

std::string renamed_section_warning(const LineFacts& facts,
                                std::string_view suffix,
                                std::string_view other) {
  return std::string(facts.designation) + " would share the section key [" +
         facts.section + "] with " + std::string(other) +
         ", and the planetarium would merge the two; written as [" +
         facts.section + std::string(suffix) + "]";
}

}  // namespace orbitpick
