// Whole-designation matching: the normalised forms and the identities of
// real catalogue lines.

#include "selection/exact_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mpc_lines.h"
#include "selection/spelling.h"
#include "test_util.h"

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

// The walk over a piece hands on exactly the lines the gate lets through,
// each with its number from 1, the last one with or without its line feed;
// lines of every length, so that the walk's wide steps and its tail both
// find line feeds.
TEST(ForEachLineThatMayHoldKey, EveryLineCountedTheGatedOnesHandedOn) {
  const ExactIndex index = build_exact_index({"Ceres", "2015 VM9", "7"});
  const std::string ceres = test::catalogue_line(1, "Ceres");
  const std::string other = test::catalogue_line(5, "Astraea");
  const std::string seven = test::catalogue_line(7, "Iris");
  const std::string year = test::catalogue_line(0, "2015 VM9");
  const std::string texts[] = {
      "", "\n", ceres, ceres + "\n", "\n\n" + other + "\n" + ceres,
      other + "\nshort\n\n" + seven + "\n" + year + "\n" + other + "\n" +
          std::string(100, 'x') + "\n" + ceres,
  };
  for (const std::string& text : texts) {
    std::vector<std::pair<std::string, std::int64_t>> want;
    std::int64_t lines = 0;
    for (std::size_t begin = 0; begin < text.size();) {
      std::size_t end = text.find('\n', begin);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(begin, end - begin);
      ++lines;
      if (line_may_hold_key(index, line)) want.emplace_back(line, lines);
      begin = end + 1;
    }
    std::vector<std::pair<std::string, std::int64_t>> got;
    EXPECT_EQ(lines, for_each_line_that_may_hold_key(
                         index, text,
                         [&got](std::string_view line, std::int64_t number) {
                           got.emplace_back(std::string(line), number);
                         }))
        << text.size() << " bytes";
    EXPECT_EQ(want, got) << text.size() << " bytes";
  }
}

TEST(ReadSpelling, TheNumberDecidesOnlyBesideOtherParts) {
  struct Case {
    const char* text;
    const char* number;
    const char* rest;
    const char* parenthesis;
    const char* head;
  };
  const std::vector<Case> cases = {
      // JPL's full_name, with its leading blanks.
      {"  1566 Icarus (1949 MA)", "1566", "Icarus", "1949 MA", "1566 Icarus"},
      {"  4953 (1990 MU)", "4953", "", "1990 MU", "4953"},
      {"       (2014 SM143)", "", "", "", ""},
      {"1) Ceres", "1", "Ceres", "", ""},
      {"(0433)Eros", "433", "Eros", "", ""},
      {"1915 1953 EA", "1915", "1953 EA", "", ""},
      {"523798 2017 CX33", "523798", "2017 CX33", "", ""},
      // Wholes: a number alone, provisional and survey designations.
      {"433", "", "", "", ""},
      {"(433)", "", "", "", ""},
      {"2004 PC112", "", "", "", ""},
      {"2010 Lf64", "", "", "", ""},
      {"2040 P-L", "", "", "", ""},
      {"1234567890 Big", "", "", "", ""},
      // Comets: the designation before the name in parentheses.
      {"C/2020 K8 (Catalina- ATLAS)", "", "", "Catalina- ATLAS", "C/2020 K8"},
      {"     P/2002 P2 (SOHO)", "", "", "SOHO", "P/2002 P2"},
      {"88P", "", "", "", ""},
      {"141P-G/Machholz", "", "", "", ""},
      {"C/-146 P1", "", "", "", ""},
      {"(433", "", "", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    const Spelling s = read_spelling(c.text);
    EXPECT_EQ(c.number, s.number) << c.text;
    EXPECT_EQ(c.rest, s.rest) << c.text;
    EXPECT_EQ(c.parenthesis, s.parenthesis) << c.text;
    EXPECT_EQ(c.head, s.head) << c.text;
  }
}

// The spellings of other programs' lists against real NEA.txt lines (and
// the project's own Ceres line): which lines each selects, and which it
// only names through a part that is not its number (a check).
TEST(ExactNamesInLine, SpellingsOfOtherListsSelectByTheirNumber) {
  const std::string ceres = test::catalogue_line(1, "Ceres");
  struct Case {
    std::string name;
    std::vector<std::string> selects;  // lines
    std::vector<std::string> checks;
  };
  const std::vector<Case> cases = {
      {"  1566 Icarus (1949 MA)", {kIcarus}, {kIcarus}},
      {"4953 (1990 MU)", {k1990Mu}, {k1990Mu}},
      {"       (2014 SM143)", {k2014Sm143}, {}},
      {"1) Ceres", {ceres}, {ceres}},
      {"1 Ceres", {ceres}, {ceres}},
      // The catalogue holds no provisional designation of a numbered
      // object: the number decides.
      {"1915 1953 EA", {kQuetzalcoatl}, {}},
      {"C\xC3\xA9r\xC3\xA8s", {ceres}, {}},    // Cérès, composed (NFC)
      {"Ce\xCC\x81re\xCC\x80s", {ceres}, {}},  // decomposed (NFD)
      // A number of one object and the name of another.
      {"1 Eros", {ceres}, {kEros}},
      {"1566 Icarus (1990 MU)", {kIcarus}, {kIcarus, k1990Mu}},
      // Never the neighbours: 1566 is not 15660, 1949 MA alone is nothing.
      {"15660 Icarus", {}, {kIcarus}},
      {"1949 MA", {}, {}},
      {"2014 SM14", {}, {}},
  };
  std::vector<std::string> names;
  for (const Case& c : cases) names.push_back(c.name);
  const ExactIndex index = build_exact_index(names);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::vector<std::string> selects;
    std::vector<std::string> checks;
    for (const std::string& line : {std::string(kIcarus),
                                   std::string(kQuetzalcoatl),
                                   std::string(k1990Mu), std::string(k2014Sm143),
                                   std::string(kEros), ceres}) {
      std::vector<std::uint32_t> hits;
      std::vector<std::uint32_t> checked;
      exact_names_in_line(index, line, &hits, &checked);
      if (std::count(hits.begin(), hits.end(), i) > 0) selects.push_back(line);
      if (std::count(checked.begin(), checked.end(), i) > 0) {
        checks.push_back(line);
      }
    }
    EXPECT_EQ(cases[i].selects, selects) << cases[i].name;
    EXPECT_EQ(cases[i].checks, checks) << cases[i].name;
  }
}

}  // namespace
}  // namespace orbitpick

namespace orbitpick {
namespace {

// The checks of the first bytes turn lines away before their identities
// are normalised; they must never turn away one that a name selects. Each
// identity of these lines, listed in other spellings (case, blanks, other
// punctuation) and among names that share its first two or four bytes.
TEST(ExactNamesInLine, FirstByteChecksKeepEverySelectedLine) {
  struct Case {
    long number;
    const char* name;
    const char* listed;
  };
  const Case cases[] = {
      {433, "Eros", "EROS"},          {433, "Eros", "433"},
      {433, "Eros", "(433) Eros"},    {4, "Vesta", "4 vesta"},
      {4, "Vesta", "Ve-sta"},         {12, "Victoria", "12Victoria"},
      {0, "2004 PC112", "2004PC112"}, {0, "2004 PC112", "2004pc-112"},
      {2004, "Bhattacharyya", "2004"}, {1, "Ceres", "1 Ceres"},
      {99942, "Apophis", "Apo.phis"}, {0, "2024 YR4", "2024yr4"},
      // Around the first eight normalised bytes: punctuation inside them,
      // a letter with a diacritic before and after them, on either side.
      {2004, "Bhattacharyya", "bhat-tacharyya"},
      {5, "Lindemann\xC3\xA9", "Lindemanne"},      // Lindemanné
      {5, "L\xC3\xBCtece", "Lutece"},              // Lütece
      {5, "Lutece", "Lut\xC3\xA8" "ce"},           // Lutèce
      {5, "A", "a"}, {5, "Victoria", "V i c t o r i a"},
  };
  for (const Case& c : cases) {
    const std::string line = test::catalogue_line(c.number, c.name);
    // Neighbours that share the first bytes of the listed spelling.
    std::string near = c.listed;
    near += "x";
    const ExactIndex index = build_exact_index({c.listed, near, "Eroz", "43"});
    std::vector<std::uint32_t> hits;
    exact_names_in_line(index, line, &hits);
    EXPECT_NE(hits.end(), std::find(hits.begin(), hits.end(), 0u))
        << c.listed << " in the line of " << c.name;
  }
  // Numbers of every width the columns hold, and lines whose designation
  // columns are not laid out as the MPC lays them out: each still selected
  // by its number and by its name.
  struct Laid {
    long number;
    const char* name;
    const char* columns;  // written over columns 166-194 when not null
    std::vector<const char*> listed;
    const char* packed = nullptr;  // written over columns 1-7 when not null
  };
  const Laid laid[] = {
      {7, "Iris", nullptr, {"7", "(7) Iris", "Iris"}},
      {12, "Victoria", nullptr, {"12", "12 Victoria"}},
      {4953, "1990 MU", nullptr, {"4953", "(4953)"}},
      {134340, "Pluto", nullptr, {"134340", "Pluto"}},
      {1000007, "Grinsfralhibri", nullptr, {"1000007", "Grinsfralhibri"}},
      // The number with the name, its first eight bytes across both.
      {206056, "Prycle", nullptr, {"206056 Prycle", "206056prycle", "206056"}},
      {20, "Massalia", nullptr, {"20Massalia", "20 massalia", "20"}},
      {2060, "Chiron", nullptr, {"2060chiron", "2060Chi-ron"}},
      // A number whose digits begin a listed provisional designation, the
      // rest of it in the name; one digit too.
      {2015, "VM9", nullptr, {"2015 VM9"}},
      {201, "5VM9", nullptr, {"2015 VM9", "(201) 5VM9"}},
      {2, "015VM9", nullptr, {"2015VM9"}},
      // "433 Xyzzy": the number decides alone, and nothing else begins a key.
      {433, "Eros", "  (00433) Eros", {"433 Xyzzy", "433 Eros", "Eros"}},
      {433, "Eros", "(433) Eros", {"433", "Eros", "433 Eros"}},
      {433, "Eros", "    (4 33) Eros", {"Eros"}},
      // Names the first eight bytes tell, and those they do not.
      {0, "2019 MH", nullptr, {"2019 MH", "2019mh"}},
      {0, "2019MH", nullptr, {"2019 MH", "2019-MH"}},
      {0, "2019 MH", "          2019 MH  X", {"2019MHX"}},
      {0, "2019 MH", "          2019  MH", {"2019 MH"}},
      {4147, "Lennon", "   (4147) Len non", {"4147", "Lennon"}},
      {2001, "Einstein", "   (2001) Einstein Z", {"Einsteinz"}},
      {2001, "Einstein", "   (2001) Ein-stein", {"Einstein"}},
      {1, "Ceres", "      (1) Ceres     X", {"Ceres X"}},
      // The number ends at the first ")": the name is "bc) Eros".
      {433, "Eros", "  (1a)bc) Eros", {"bc Eros"}},
      {0, "2004 PC112", "     2004 PC112", {"2004 PC112", "2004pc112"}},
      {0, "2004 PC112", "          (2004 PC112)", {"2004 PC112"}},
      // From 620,000 on a packed number opens with "~", which normalising
      // drops: the pair after it begins the key.
      {1000007, "Grinsfralhibri", nullptr, {"~1ar9", "1AR9"}, "~1ar9  "},
      {0, "2011 AT5", nullptr, {"K11A05T", "k11a05t", "2011 AT5"}, "K11A05T"},
      {0, "2011 AT5", nullptr, {"K11A05"}, "K11A05 "},
  };
  for (const Laid& c : laid) {
    std::string line = test::catalogue_line(c.number, c.name);
    if (c.columns != nullptr) {
      std::string columns(29, ' ');
      columns.replace(0, std::strlen(c.columns), c.columns);
      line.replace(165, columns.size(), columns);
    }
    if (c.packed != nullptr) line.replace(0, 7, c.packed);
    for (const char* listed : c.listed) {
      const ExactIndex index = build_exact_index({listed, "43"});
      std::vector<std::uint32_t> hits;
      exact_names_in_line(index, line, &hits);
      EXPECT_NE(hits.end(), std::find(hits.begin(), hits.end(), 0u))
          << listed << " in \"" << line.substr(165, 29) << "\"";
    }
  }
  // Sharing the first eight bytes, or all of a shorter name, is not enough.
  const ExactIndex index = build_exact_index(
      {"Bhattacharyyb", "Bhattacharyy", "Victori", "Victorias", "Lindemann"});
  for (const char* name : {"Bhattacharyya", "Victoria", "Lindemann\xC3\xA9"}) {
    std::vector<std::uint32_t> hits;
    exact_names_in_line(index, test::catalogue_line(7, name), &hits);
    EXPECT_TRUE(hits.empty()) << name;
  }
}

}  // namespace
}  // namespace orbitpick
