// The INI section of one MPCORB.DAT line.

#include "conversion/catalogue_section.h"

#include <charconv>
#include <iterator>
#include <string>

#include "base/text.h"
#include "conversion/epoch.h"
#include "input/catalogue_columns.h"

namespace orbitpick {
namespace {

using namespace mpcorb;

void erase_first(std::string* s, char c) {
  const std::size_t at = s->find(c);
  if (at != std::string::npos) s->erase(at, 1);
}

// Orbit types in the low six bits of the flags that the planetarium groups
// as kinds of trans-Neptunian objects.
constexpr unsigned kOrbitTypeBits = 0x3F;
constexpr unsigned kPlutino = 14;
constexpr unsigned kCubewano = 16;
constexpr unsigned kScatteredDisc = 17;

// The planetarium's type of a numbered ("number", without parentheses) or
// unnumbered minor planet with these flags. The five dwarf planets go by
// number: their flags only say where their orbits lie.
std::string_view minor_planet_type(std::string_view number,
                                   std::string_view flags) {
  static constexpr std::string_view kDwarfPlanets[] = {"1", "134340", "136199",
                                                       "136108", "136472"};
  for (std::string_view dwarf : kDwarfPlanets) {
    if (number == dwarf) return "dwarf planet";
  }
  unsigned bits = 0;
  for (char c : flags) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return "asteroid";
    }
    bits = bits * 16 + digit;
  }
  switch (bits & kOrbitTypeBits) {
    case kPlutino:
      return "plutino";
    case kCubewano:
      return "cubewano";
    case kScatteredDisc:
      return "scattered disc object";
    default:
      return "asteroid";
  }
}

}  // namespace

std::string section_name(std::string_view line) {
  // "(433) Eros" gives 433eros, "2004 PC112" 2004pc112: the first "(", the
  // first ")" and the first two blanks dropped, capitals made small.
  const std::string_view designation = trim_view(field(line, kDesignation));
  std::string name;
  name.reserve(designation.size());
  bool open = false;
  bool close = false;
  int blanks = 0;
  for (char c : designation) {
    if (c == '(' && !open) {
      open = true;
    } else if (c == ')' && !close) {
      close = true;
    } else if (c == ' ' && blanks < 2) {
      ++blanks;
    } else {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      name += c;
    }
  }
  return name;
}

void describe_minor_planet(std::string_view line, LineFacts* facts) {
  facts->section = section_name(line);
  facts->designation = readable_designation(line);
  facts->packed = trim_view(field(line, kPacked));
  const std::string_view number = trim_view(field(line, kNumber));
  // "(433)" without its parentheses.
  facts->number = number.size() > 2 && number.front() == '('
                      ? number.substr(1, number.size() - 2)
                      : std::string_view();
  facts->has_magnitude = !trim_view(field(line, kMagnitude)).empty();
}

bool check_section_line(std::string_view line, Error* err) {
  if (line.size() < kMinLineBytes) {
    return fail(err, "line shorter than 175 bytes");
  }
  if (!epoch_is_valid(std::string(field(line, kEpoch)))) {
    return fail(err, "invalid packed epoch");
  }
  return true;
}

void write_section(std::string_view line, std::string* out,
                   SectionFormat format) {
  const std::string key = section_name(line);
  std::string number(field(line, kNumber));
  erase_first(&number, '(');
  erase_first(&number, ')');

  // %.10g, without the C library's slow path for a double.
  char epoch_text[32];
  const std::to_chars_result epoch_end =
      std::to_chars(epoch_text, epoch_text + sizeof epoch_text,
                    jd(std::string(field(line, kEpoch))),
                    std::chars_format::general, 10);
  const std::string_view epoch(epoch_text,
                               static_cast<std::size_t>(epoch_end.ptr -
                                                        epoch_text));

  const std::string_view number_value = trim_view(number);
  const std::string_view name = trim_view(field(line, kName));
  const bool extended = format == SectionFormat::kExtended;

  // The keys in alphabetical order, as the planetarium writes them.
  using K = Key;
  using U = KeyUse;
  const SectionValue values[] = {
      {K::kAbsoluteMagnitude, U::kBoth, trim_view(field(line, kMagnitude))},
      {K::kCoordFunc, U::kDefaultOnly, "comet_orbit"},
      // An unnumbered object's name is its provisional designation.
      {K::kIauDesignation, U::kExtendedOnly,
       number_value.empty() ? name : std::string_view()},
      {K::kMinorPlanetNumber, U::kBoth, number_value},
      {K::kName, U::kBoth, name},
      {K::kOrbitArgOfPericenter, U::kBoth, trim_view(field(line, kPericenter))},
      {K::kOrbitAscendingNode, U::kBoth, trim_view(field(line, kNode))},
      {K::kOrbitEccentricity, U::kBoth, trim_view(field(line, kEccentricity))},
      {K::kOrbitEpoch, U::kBoth, epoch},
      {K::kOrbitInclination, U::kBoth, trim_view(field(line, kInclination))},
      {K::kOrbitMeanAnomaly, U::kBoth, trim_view(field(line, kMeanAnomaly))},
      {K::kOrbitMeanMotion, U::kBoth, trim_view(field(line, kMeanMotion))},
      {K::kOrbitSemiMajorAxis, U::kBoth,
       trim_view(field(line, kSemiMajorAxis))},
      {K::kSlopeParameter, U::kExtendedOnly, trim_view(field(line, kSlope))},
      {K::kType, U::kBoth,
       extended ? minor_planet_type(number_value, field(line, kFlags))
                : "asteroid"},
  };
  append_section(key, values, std::size(values), format, out);
}

std::string_view readable_designation(std::string_view line) {
  return trim_view(field(line, kDesignation));
}

}  // namespace orbitpick
