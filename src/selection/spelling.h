// How a list spells an object: which part of the spelling decides the
// object it names under --exact.
//
// Lists from other programs put more than one designation in a spelling:
// JPL's "1566 Icarus (1949 MA)" and "4953 (1990 MU)", the MPC's "1) Ceres",
// XEphem's "1915 1953 EA" (a number with the provisional designation of a
// numbered object, which the catalogue no longer holds), a comet with its
// name in parentheses, "C/2020 K8 (Catalina- ATLAS)". A leading number
// decides alone, since it is the one part no two objects share; the other
// parts are only checked against it. Without a number the spelling as a
// whole decides, and so does the part before a closing parenthesis.

#ifndef ORBITPICK_SELECTION_SPELLING_H_
#define ORBITPICK_SELECTION_SPELLING_H_

#include <string_view>

namespace orbitpick {

/// The parts of one listed spelling, as views into it.
struct Spelling {
  // The leading number, without leading zeros ("1566", "1"); empty when
  // the spelling has none that decides: a number alone ("433") or a
  // provisional designation ("2004 PC112", "2040 P-L") is a whole.
  std::string_view number;
  // With a number: what follows it before any closing parenthesis
  // ("Icarus", "1953 EA"); may be empty ("4953 (1990 MU)").
  std::string_view rest;
  // The text of a closing parenthesis after something else ("1949 MA",
  // "Catalina- ATLAS"); empty when there is none.
  std::string_view parenthesis;
  // The text before that parenthesis ("1566 Icarus", "C/2020 K8").
  std::string_view head;
};

/// Reads the parts of "text" (blanks around it ignored).
Spelling read_spelling(std::string_view text);

/// True for a provisional designation spelled out: a four-digit year,
/// blanks, two letters and optional digits ("2004 PC112", "1953 EA"), or a
/// survey designation ("2040 P-L", "3138 T-1").
bool is_provisional_designation(std::string_view text);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_SPELLING_H_
