// Fuzzes the packed-epoch conversion on every string of up to eight bytes.
//
// An epoch is valid exactly when its Julian date is a number; that number
// is always a date at 0 h (a whole day plus one half), depends only on the
// first five characters, and, for a month of 1-12, equals the day count of
// the proleptic Gregorian calendar.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "conversion/epoch.h"
#include "fuzz_reader.h"

namespace orbitpick {
namespace {

// Days from 1970-01-01 to year-month-day, for any day of the month (day 31
// of a 30-day month runs on into the next one).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The packed century letters in order, a hundred years apart from 1800.
int century_start(char letter) {
  constexpr char kLetters[] = "IJKL";
  for (int i = 0; i < 4; ++i) {
    if (kLetters[i] == letter) return 1800 + 100 * i;
  }
  return -1;
}

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size > 8) return 0;
  const std::string packed(reinterpret_cast<const char*>(data), size);
  const bool valid = epoch_is_valid(packed);
  const double date = jd(packed);
  fuzz::check(valid == !std::isnan(date));
  for (std::size_t i = 0; i < packed.size(); ++i) {
    const double digit = chat2int(packed.substr(i, 1));
    fuzz::check(digit >= 1 && digit <= 31 && digit == std::floor(digit));
  }
  if (!valid) return 0;

  fuzz::check(date - std::floor(date) == 0.5);
  if (packed.size() > 5) fuzz::check(jd(packed.substr(0, 5)) == date);

  // Plain two-digit years and calendar months: check the day count itself.
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const int month = static_cast<int>(chat2int(packed.substr(3, 1)));
  if (is_digit(packed[1]) && is_digit(packed[2]) && month <= 12) {
    const int year =
        century_start(packed[0]) + (packed[1] - '0') * 10 + (packed[2] - '0');
    const int day =
        packed.size() > 4 ? static_cast<int>(chat2int(packed.substr(4, 1))) : 1;
    const double expected =
        2440587.5 + static_cast<double>(days_from_civil(year, month, day));
    fuzz::check(date == expected);
  }
  return 0;
}
