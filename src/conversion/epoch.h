// Packed epochs of the orbit catalogue and their Julian dates.
//
// The catalogue gives an orbit's epoch as five characters: a century letter
// (I 1800s, J 1900s, K 2000s, L 2100s), two year digits, then the month and
// the day of the month, each one character of the packed digit alphabet
// "1"-"9" (1-9) and "A"-"V" (10-31). K24AH is 2024 October 17.

#ifndef ORBITPICK_CONVERSION_EPOCH_H_
#define ORBITPICK_CONVERSION_EPOCH_H_

#include <string>

namespace orbitpick {

/// Julian date of 0 h on the Gregorian calendar date "year"-"month"-"day"
/// (proleptic before 1582). REQUIRES: month >= 1. A day past the end of the
/// month counts on into the next one; months 13 and 14 are January and
/// February of the year after, as a packed month may say. Every Julian date
/// of the program comes from here.
double calendar_jd(int year, int month, int day);

/// Value of one packed digit: "1"-"9" give 1-9, "A"-"V" give 10-31. Anything
/// else (another character, a lower-case letter, "0", an empty or longer
/// string) gives 1.
double chat2int(std::string c);

/// True when "packed" can be dated: at least four characters, a known century
/// letter, and year characters that hold a number (leading white space and a
/// sign allowed, as std::stoi takes them).
bool epoch_is_valid(const std::string& packed);

/// Julian date of 0 h on the calendar date of "packed" (Gregorian calendar).
/// Characters after the fifth are ignored; a missing fifth (day) character
/// counts as day 1. Month and day are not checked against the calendar: day
/// 31 of a 30-day month is the first of the next month. REQUIRES:
/// epoch_is_valid(packed); text that cannot be dated gives NaN, never a
/// date that looks right.
double jd(std::string packed);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_EPOCH_H_
