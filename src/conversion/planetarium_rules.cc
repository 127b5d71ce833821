// The planetarium's rules for the bodies of its minor-body file.

#include "conversion/planetarium_rules.h"

#include <functional>
#include <utility>

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

std::string_view SectionNames::claim(std::string_view section,
                                     std::string_view designation) {
  if (2 * (used_ + 1) > slots_.size()) grow();
  const std::uint64_t hash = std::hash<std::string_view>()(section);
  const std::size_t mask = slots_.size() - 1;
  const std::string_view text = text_;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;;
       i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.end == 0) {
      text_.append(section);
      text_.append(designation);
      slot = {hash, text_.size() + 1,
              static_cast<std::uint32_t>(section.size()),
              static_cast<std::uint32_t>(designation.size())};
      ++used_;
      return designation;
    }
    const std::size_t at =
        slot.end - 1 - slot.section_size - slot.designation_size;
    if (slot.hash == hash && text.substr(at, slot.section_size) == section) {
      return text.substr(at + slot.section_size, slot.designation_size);
    }
  }
}

void SectionNames::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : 2 * old.size(), Slot());
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.end == 0) continue;
    std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
    while (slots_[i].end != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

bool claim_section_name(SectionNames* names, const LineFacts& facts,
                       std::string* suffix, std::string* other) {
  const std::string_view held =
      names->claim(facts.section, facts.designation);
  if (held == facts.designation) return true;
  *other = held;
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
    if (names->claim(facts.section + *suffix, facts.designation) ==
        facts.designation) {
      return false;
    }
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
