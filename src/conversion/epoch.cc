// Calendar dates and packed epochs to Julian dates.

#include "conversion/epoch.h"

#include <cmath>

namespace orbitpick {
namespace {

constexpr char kPackedDigits[] = "123456789ABCDEFGHIJKLMNOPQRSTUV";

// First year of the century named by the packed century letter, or -1.
int century_start(char letter) {
  switch (letter) {
    case 'I':
      return 1800;
    case 'J':
      return 1900;
    case 'K':
      return 2000;
    case 'L':
      return 2100;
    default:
      return -1;
  }
}

// Parses the two year characters the way std::stoi would (leading white
// space, an optional sign, then digits up to the first non-digit), without
// its exceptions. False when no digit follows.
bool parse_year(const std::string& packed, int* year) {
  const std::string digits = packed.substr(1, 2);
  std::size_t i = 0;
  while (i < digits.size() &&
         (digits[i] == ' ' || digits[i] == '\t' || digits[i] == '\n' ||
          digits[i] == '\v' || digits[i] == '\f' || digits[i] == '\r')) {
    ++i;
  }
  bool negative = false;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
    negative = digits[i] == '-';
    ++i;
  }
  if (i == digits.size() || digits[i] < '0' || digits[i] > '9') return false;
  int value = 0;
  for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
    value = value * 10 + (digits[i] - '0');
  }
  *year = negative ? -value : value;
  return true;
}

}  // namespace

double calendar_jd(int year, int month, int day) {
  // Days since 1 March of year 0: counting from March puts the leap day at
  // the end of the counted year; 146097 days make the 400-year cycle.
  const long y = static_cast<long>(year) - (month <= 2 ? 1 : 0);
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long year_of_era = y - era * 400;
  const long day_of_year =
      (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const long day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  // 1 March of year 0 is JD 1721119.5 at 0 h.
  return static_cast<double>(era * 146097 + day_of_era) + 1721119.5;
}

double chat2int(std::string c) {
  if (c.size() != 1) return 1;
  for (int i = 0; kPackedDigits[i] != '\0'; ++i) {
    if (kPackedDigits[i] == c[0]) return i + 1;
  }
  return 1;
}

bool epoch_is_valid(const std::string& packed) {
  int year = 0;
  return packed.size() >= 4 && century_start(packed[0]) >= 0 &&
         parse_year(packed, &year);
}

double jd(std::string packed) {
  int yy = 0;
  if (packed.size() < 4 || century_start(packed[0]) < 0 ||
      !parse_year(packed, &yy)) {
    return std::nan("");
  }
  const int m = static_cast<int>(chat2int(packed.substr(3, 1)));
  const int d = static_cast<int>(chat2int(packed.substr(4, 1)));

  return calendar_jd(century_start(packed[0]) + yy, m, d);
}

}  // namespace orbitpick
