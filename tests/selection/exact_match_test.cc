// Whole-designation matching: the normalised forms and the identities of
// real catalogue lines.

#include "selection/exact_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mpc_lines.h"

namespace orbitpick {
namespace {

using namespace test::mpc;

TEST(NormalizeName, FoldsCaseAndDiacriticsAndDropsTheRest) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(1) Ceres", "1ceres"},
      {"2004 PC112", "2004pc112"},
      {"\xC5\xA0teins", "steins"},                  // Šteins
      {"Lut\xC3\xA8" "ce", "lutece"},               // Lutèce
      {"\xC3\x86gir \xC3\x9F \xC4\xB2", "aegirssij"},  // Ægir ß Ĳ
      {"\xC5\x92il \xC3\x97 \xC3\xBF", "oeily"},    // Œil × ÿ
      {"C/2023 A3 (Tsuchinshan-ATLAS)", "c2023a3tsuchinshanatlas"},
      {"\xCE\xA9mega", "\xCE\xA9mega"},  // Greek: kept, matches no ASCII
      {"\xC3", "\xC3"},                    // cut-short sequence: kept
      {" -()/. ", ""},
  };
  for (const auto& [text, normal] : cases) {
    std::string out;
    normalize_name(text, &out);
    EXPECT_EQ(normal, out) << text;
  }
}

TEST(ExactNamesInLine, EveryIdentitySelectsItsObjectAndNothingElse) {
  struct Case {
    const char* line;
    std::vector<std::string> selecting;
  };
  const std::vector<Case> cases = {
      {kEros, {"00433", "433", "(433)", "Eros", "eros", "433 Eros",
               "(433) Eros", "(433)Eros", "433eros"}},
      {kPan, {"4450", "Pan", "(4450) Pan", "04450"}},
      {kPluto, {"D4340", "134340", "Pluto", "(134340) Pluto", "134340pluto"}},
      {k1993Sb, {"15788", "1993 SB", "1993SB", "(15788) 1993 SB",
                 "15788 1993sb"}},
      {k2010Lf64, {"K10L64F", "2010 LF64", "2010lf64", "2010 Lf64"}},
  };
  // Near misses: parts of a designation, other columns' text, neighbours.
  const std::vector<std::string> never = {
      "43",  "Ero",  "Pa", "MPCLINUX", "K1972", "0.46", "1", "LF64", "2010",
      "134", "Plut", "SB", "1993",     "3",     "",     "()"};
  std::vector<std::string> names = never;
  for (const Case& c : cases) {
    names.insert(names.end(), c.selecting.begin(), c.selecting.end());
  }
  const ExactIndex index = build_exact_index(names);
  for (const Case& c : cases) {
    std::vector<std::uint32_t> hits;
    exact_names_in_line(index, c.line, &hits);
    std::vector<std::string> got;
    for (const std::uint32_t i : hits) got.push_back(names[i]);
    std::sort(got.begin(), got.end());
    got.erase(std::unique(got.begin(), got.end()), got.end());
    std::vector<std::string> want = c.selecting;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, got) << c.line;
  }
  // A cut-short line is read as far as it goes, never beyond.
  std::vector<std::uint32_t> hits;
  exact_names_in_line(index, std::string(kEros).substr(0, 5), &hits);
  exact_names_in_line(index, "", &hits);
  ASSERT_EQ(1u, hits.size());
  EXPECT_EQ("00433", names[hits[0]]);
}

}  // namespace
}  // namespace orbitpick
