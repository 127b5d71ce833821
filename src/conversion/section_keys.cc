// The one table of section keys, and a section written from it.

#include "conversion/section_keys.h"

#include <cassert>
#include <iterator>

namespace orbitpick {
namespace {

using R = KeyRole;

// In the order of Key.
constexpr SectionKey kSectionKeys[] = {
    {"absolute_magnitude             = ", R::kBrightness},
    {"coord_func                     = ", R::kFixed},
    {"iau_designation                = ", R::kIdentity},
    {"minor_planet_number            = ", R::kIdentity},
    {"name                           = ", R::kIdentity},
    {"orbit_ArgOfPericenter          = ", R::kOrbit},
    {"orbit_AscendingNode            = ", R::kOrbit},
    {"orbit_Eccentricity             = ", R::kOrbit},
    {"orbit_Epoch                    = ", R::kOrbit},
    {"orbit_Inclination              = ", R::kOrbit},
    {"orbit_MeanAnomaly              = ", R::kOrbit},
    {"orbit_MeanMotion               = ", R::kOrbit},
    {"orbit_PericenterDistance       = ", R::kOrbit},
    {"orbit_SemiMajorAxis            = ", R::kOrbit},
    {"orbit_TimeAtPericenter         = ", R::kOrbit},
    {"slope_parameter                = ", R::kBrightness},
    {"type                           = ", R::kIdentity},
};
static_assert(std::size(kSectionKeys) ==
                  static_cast<std::size_t>(Key::kType) + 1,
              "one row per Key");

constexpr bool rows_are_sorted() {
  for (std::size_t i = 1; i < std::size(kSectionKeys); ++i) {
    if (!(kSectionKeys[i - 1].name() < kSectionKeys[i].name())) return false;
  }
  return true;
}
static_assert(rows_are_sorted(), "keys in the planetarium's order");

}  // namespace

const SectionKey& section_key(Key key) {
  return kSectionKeys[static_cast<std::size_t>(key)];
}

const SectionKey* find_section_key(std::string_view name) {
  for (const SectionKey& k : kSectionKeys) {
    if (k.name() == name) return &k;
  }
  return nullptr;
}

bool merge_only_fills(std::string_view name) {
  const SectionKey* key = find_section_key(name);
  return key != nullptr &&
         (key->role == KeyRole::kIdentity || key->role == KeyRole::kFixed);
}

void append_section(std::string_view name, const SectionValue* values,
                    std::size_t count, SectionFormat format, std::string* out) {
  const bool extended = format == SectionFormat::kExtended;
  out->append("[");
  out->append(name);
  out->append("]");
  out->append(kLineEnd.data(), kLineEnd.size());
  for (std::size_t i = 0; i < count; ++i) {
    assert(i == 0 || values[i - 1].key < values[i].key);
    const KeyUse use = values[i].use;
    if (use == (extended ? KeyUse::kDefaultOnly : KeyUse::kExtendedOnly)) {
      continue;
    }
    const std::string_view value = values[i].value;
    if ((extended || use == KeyUse::kWhenGiven) && value.empty()) continue;
    const std::string_view head = section_key(values[i].key).line_head;
    out->append(head.data(), head.size());
    out->append(value.data(), value.size());
    out->append(kLineEnd.data(), kLineEnd.size());
  }
  out->append(kLineEnd.data(), kLineEnd.size());
}

}  // namespace orbitpick
