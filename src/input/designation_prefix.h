// Does a text start with a minor planet's or a comet's designation, and how
// long is it? Hand-made lists and planner tables write one object a line,
// followed by notes or columns; only the designation is the object.
//
// Recognised, each ending at a blank, a tab, a comma, a semicolon, a double
// quote or the end:
//   numbers            433, (433), 433), 00433
//   number and name    1 Ceres, (1) Ceres, 1) Ceres, 9007 James Bond (later
//                      words of a name start with a capital letter, so that
//                      "433 Eros bright tonight" is 433 Eros)
//   with provisional   1566 Icarus (1949 MA), 4953 (1990 MU), 1915 1953 EA
//   provisional        2004 PC112, (2014 SM143), 2040 P-L, 3138 T-1
//   comets             C/2020 F8 (SWAN), C/-146 P1, P/2004 V5-A, 2P/Encke,
//                      88P, 141P-G/Machholz, 11P/Tempel-Swift-LINEAR
//   a name alone       Ceres, Hale-Bopp, Cérès: one word with a capital first
//                      and not all in capitals ("DARK" is a note), standing
//                      alone or before a tab, two blanks or a comma, and not a
//                      word of a table header (Designation, Name, Object, ...)

#ifndef ORBITPICK_INPUT_DESIGNATION_PREFIX_H_
#define ORBITPICK_INPUT_DESIGNATION_PREFIX_H_

#include <cstddef>
#include <string_view>

namespace orbitpick {

/// Length of the designation "text" starts with (no blank before it), 0
/// when it starts with none.
std::size_t designation_length(std::string_view text);

/// The designation one line of a hand-made list or planner table holds:
/// after leading blanks, inside double quotes when the field is quoted, and
/// after a leading priority or class code ("0  \"2017 YK5\"  15960.0",
/// "2  2004 PC112"). Empty when the line holds none.
std::string_view line_designation(std::string_view line);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_DESIGNATION_PREFIX_H_
