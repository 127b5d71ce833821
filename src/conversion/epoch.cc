// Packed epoch to Julian date.

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

  // January and February count as months 13 and 14 of the year before.
  int year = century_start(packed[0]) + yy;
  int month = m;
  if (m == 1 || m == 2) {
    year -= 1;
    month = m + 12;
  }
  // Every year that can arise (1789 to 2199) is after the Gregorian reform.
  const int a = year / 100;
  const int b = 2 - a + year / 400;
  const int t1 = static_cast<int>(365.25 * (year + 4716));
  const int t2 = static_cast<int>(30.6001 * (month + 1));
  return static_cast<double>(d + t1 + t2) + b - 1524.5;
}

}  // namespace orbitpick
