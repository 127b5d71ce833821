// The fixed columns of an MPCORB.DAT line, read by the selection of lines
// (--exact looks at the designations) and by the section writer.
//
// After a 43-line header the catalogue holds one orbit per line in fixed
// columns (0-based offsets): absolute magnitude at 8, packed epoch at 20,
// mean anomaly at 26, argument of perihelion at 37, ascending node at 48,
// inclination at 59, eccentricity at 70, mean daily motion at 80,
// semi-major axis at 92, and the readable designation at 165: the number in
// parentheses ending at 173, the name or provisional designation from 175.
// The slope parameter G is at 14 (blank for many faint objects), and four
// hexadecimal digits of flags at 161, whose low six bits are the orbit type.

#ifndef ORBITPICK_INPUT_CATALOGUE_COLUMNS_H_
#define ORBITPICK_INPUT_CATALOGUE_COLUMNS_H_

#include <cstddef>
#include <string_view>

namespace orbitpick {

/// A fixed column of a line: 0-based offset and width.
struct Column {
  std::size_t offset;
  std::size_t width;
};

/// The column as far as the line reaches: shorter, or empty, on a short
/// line, never beyond its end.
inline std::string_view field(std::string_view line, Column c) {
  if (c.offset >= line.size()) return {};
  return line.substr(c.offset, c.width);
}

constexpr int kHeaderLines = 43;
/// The shortest line that reaches the first byte of the name.
constexpr std::size_t kMinLineBytes = 175;

namespace mpcorb {

constexpr Column kPacked{0, 7};
constexpr Column kMagnitude{8, 5};
constexpr Column kSlope{14, 5};
constexpr Column kEpoch{20, 5};
constexpr Column kMeanAnomaly{26, 9};
constexpr Column kPericenter{37, 9};
constexpr Column kNode{48, 9};
constexpr Column kInclination{59, 9};
constexpr Column kEccentricity{70, 9};
constexpr Column kMeanMotion{80, 11};
constexpr Column kSemiMajorAxis{92, 11};
constexpr Column kFlags{161, 4};
// The readable designation, "(433) Eros" or "2004 PC112": the number in
// parentheses, then the name or provisional designation.
constexpr Column kDesignation{165, 28};
constexpr Column kNumber{165, 9};
constexpr Column kName{175, 19};

}  // namespace mpcorb
}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_CATALOGUE_COLUMNS_H_
