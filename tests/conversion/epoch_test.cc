// Packed epochs to Julian dates.

#include "conversion/epoch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <string>

namespace orbitpick {
namespace {

TEST(Epoch, KnownDates) {
  const struct {
    const char* packed;
    double jd;
  } cases[] = {
      {"K24AH", 2460600.5},     // 2024 October 17
      {"K2555", 2460800.5},     // 2025 May 5
      {"K2412", 2460311.5},     // 2024 January 2: month 13 of 2023
      {"K0011", 2451544.5},     // 2000 January 1
      {"K2501", 2460676.5},     // month "0" decodes as 1
      {"K25a1", 2460676.5},     // lower case is not in the alphabet
      {"K25D1", 2461041.5},     // month 13 is January of the next year
      {"K24BV", 2460645.5},     // 31 November is 1 December
      {"K24FV", 2460767.5},     // month 15, day 31: past the calendar
      {"K25V1", 2461592.5},     // month 31
      {"I00E1", 2378892.5},     // month 14 of 1800: February 1801
      {"K2555xyz", 2460800.5},  // characters after the fifth are ignored
      {"K255", 2460796.5},      // no day character: day 1
      {"K 555", 2453495.5},     // year " 5" parses as 5: 2005
      {"K-155", 2451303.5},     // a sign is accepted: 1999
      {"K5x55", 2453495.5},     // the year stops at the first non-digit: 2005
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.jd, jd(c.packed)) << c.packed;
    EXPECT_TRUE(epoch_is_valid(c.packed)) << c.packed;
  }
}

TEST(CalendarJd, AgreesWithTheCLibraryEveryDayFrom1800To2200) {
  // timegm counts seconds from JD 2440587.5 (1970-01-01 0 h) on its own.
  for (int year = 1800; year <= 2200; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        std::tm tm = {};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        const double expected = timegm(&tm) / 86400.0 + 2440587.5;
        ASSERT_EQ(expected, calendar_jd(year, month, day))
            << year << "-" << month << "-" << day;
      }
    }
  }
}

TEST(CalendarJd, KnownDates) {
  EXPECT_EQ(2451544.5, calendar_jd(2000, 1, 1));    // J2000.0 is its noon
  EXPECT_EQ(2400000.5, calendar_jd(1858, 11, 17));  // modified JD 0
  EXPECT_EQ(2299160.5, calendar_jd(1582, 10, 15));  // the Gregorian reform
  EXPECT_EQ(1721425.5, calendar_jd(1, 1, 1));
  EXPECT_EQ(calendar_jd(2024, 3, 1), calendar_jd(2024, 2, 30));
}

TEST(Epoch, CenturyLetters) {
  EXPECT_EQ(2382513.5, jd("I1111"));  // 1811 January 1
  EXPECT_EQ(2451087.5, jd("J98A1"));  // 1998 October 1
  EXPECT_EQ(2488069.5, jd("L0011"));  // 2100 January 1
  EXPECT_EQ(jd("K24AH") - jd("J24AH"), 36525.0);
}

TEST(Epoch, InvalidEpochs) {
  for (const char* packed : {"", "K", "K2", "K24", "A24AH", "k24AH", " K24A",
                             "Kxx55", "K+x55", "K- 55", "K  55", "K\n\n55"}) {
    EXPECT_FALSE(epoch_is_valid(packed)) << '"' << packed << '"';
    EXPECT_TRUE(std::isnan(jd(packed))) << '"' << packed << '"';
  }
}

TEST(Epoch, Chat2intAlphabet) {
  const std::string alphabet = "123456789ABCDEFGHIJKLMNOPQRSTUV";
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    EXPECT_EQ(static_cast<double>(i + 1), chat2int(alphabet.substr(i, 1)));
  }
  for (const char* other : {"0", "a", "v", "W", "Z", "", "12", " "}) {
    EXPECT_EQ(1.0, chat2int(other)) << '"' << other << '"';
  }
}

}  // namespace
}  // namespace orbitpick
