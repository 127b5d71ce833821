// Comet lines: Julian dates, the check, the section, the identities and the
// scan.

#include "conversion/comet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/catalogue_section.h"
#include "mpc_lines.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using test::mpc::kFragment;
using test::mpc::kHalley;
using test::mpc::kInterstellar;
using test::mpc::kNoName;
using test::mpc::kNumberedFragment;
using test::mpc::kTsuchinshanAtlas;

// Real lines of the Minor Planet Center's CometEls.txt of 2026-02-13, with
// their line numbers in the copy kept beside the project's data.
const char kBorisov[] =  // 224: hyperbolic
    "    CK25B020  2026 09 11.7190  8.239041  1.001896   78.8561   84.8677   "
    "91.7451  20260213   6.2  4.0  C/2025 B2 (Borisov)                      "
    "                MPEC 2026-A90";
const char kLarsen[] =  // 14: blank epoch
    "    CK04C010  2003 03 19.3321  4.349795  0.625803  315.9683  151.9549   "
    "28.8625            13.5  2.0  C/2004 C1 (Larsen)                       "
    "                MPC 51368";
const char kIson[] =  // 46
    "    CK12S010  2013 11 27.7652  0.014233  1.000003  345.1119  297.0354   "
    "58.4240  20260213   8.5  3.2  C/2012 S1 (ISON)                         "
    "                MPEC 2025-W75";

std::string section_of(std::string_view line,
                       SectionFormat format = SectionFormat::kDefault) {
  std::string out;
  write_comet_section(line, &out, format);
  return out;
}

// The value written after "key" in "section".
std::string value_of(const std::string& section, const std::string& key) {
  const std::size_t at = section.find("\n" + key + " ");
  if (at == std::string::npos) return "<missing>";
  const std::size_t begin = section.find("= ", at) + 2;
  return section.substr(begin, section.find('\n', begin) - begin);
}

// "line" with "text" written over it at "offset".
std::string with(std::size_t offset, const std::string& text,
                 const char* line = kHalley) {
  return std::string(line).replace(offset, text.size(), text);
}

// Perihelion and epoch Julian dates below come from GNU date, not from the
// program: date -u -d 2024-09-27 +%s, divided by 86400, plus 2440587.5 and
// the day fraction.
TEST(CometSection, HalleyByteForByte) {
  EXPECT_EQ(
      "[1phalley]\n"
      "absolute_magnitude             = 5.5\n"
      "coord_func                     = comet_orbit\n"
      "name                           = 1P/Halley\n"
      "orbit_ArgOfPericenter          = 112.3617\n"
      "orbit_AscendingNode            = 59.4631\n"
      "orbit_Eccentricity             = 0.967982\n"
      "orbit_Epoch                    = 2461084.5\n"
      "orbit_Inclination              = 162.1654\n"
      "orbit_PericenterDistance       = 0.571790\n"
      "orbit_TimeAtPericenter         = 2474047.169\n"
      "slope_parameter                = 3.2\n"
      "type                           = comet\n"
      "\n",
      section_of(kHalley));
}

TEST(CometSection, RealLinesGiveKeysDatesAndTypes) {
  std::string parabolic = kIson;  // e 1.000003 made exactly 1
  parabolic.replace(41, 8, "1.000000");
  const struct {
    std::string line;
    const char* key;
    const char* name;
    const char* perihelion;
    const char* epoch;
    const char* type;
  } cases[] = {
      {kTsuchinshanAtlas, "c2023a3(tsuchinshanatlas)",
       "C/2023 A3 (Tsuchinshan-ATLAS)", "2460581.2667", "2461084.5", "comet"},
      {kBorisov, "c2025b2(borisov)", "C/2025 B2 (Borisov)", "2461295.219",
       "2461084.5", "comet"},
      {kLarsen, "c2004c1(larsen)", "C/2004 C1 (Larsen)", "2452717.8321",
       "<missing>", "comet"},
      {kFragment, "p2004v5b(linearhill)", "P/2004 V5-B (LINEAR-Hill)",
       "2461623.9017", "2461084.5", "comet"},
      {kNumberedFragment, "73pbtschwassmannwachmann",
       "73P-BT/Schwassmann-Wachmann", "2461792.3029", "2461084.5", "comet"},
      {kNoName, "288p", "288P", "2461585.5073", "2461084.5", "comet"},
      {parabolic, "c2012s1(ison)", "C/2012 S1 (ISON)", "2456624.2652",
       "2461084.5", "comet"},
      // Interstellar: a comet, with a coma and the comet brightness law.
      {kInterstellar, "2iborisov", "2I/Borisov", "2458826.5572", "2461000.5",
       "comet"},
      // A fifth decimal of the day, 0.864 s, is kept.
      {with(22, "9.05723", kInterstellar), "2iborisov", "2I/Borisov",
       "2458826.55723", "2461000.5", "comet"},
  };
  for (const auto& c : cases) {
    Error err;
    ASSERT_TRUE(check_comet_line(c.line, &err)) << err.what << "\n" << c.line;
    for (SectionFormat format :
         {SectionFormat::kDefault, SectionFormat::kExtended}) {
      const std::string section = section_of(c.line, format);
      EXPECT_EQ("[" + std::string(c.key) + "]",
                section.substr(0, section.find('\n')));
      EXPECT_EQ(c.name, value_of(section, "name")) << c.line;
      EXPECT_EQ(c.perihelion, value_of(section, "orbit_TimeAtPericenter"))
          << c.line;
      EXPECT_EQ(c.epoch, value_of(section, "orbit_Epoch")) << c.line;
      EXPECT_EQ(c.type, value_of(section, "type")) << c.line;
      EXPECT_EQ(format == SectionFormat::kDefault ? "comet_orbit" : "<missing>",
                value_of(section, "coord_func"));
    }
  }
}

TEST(CometSection, BlankMagnitudeAndSlope) {
  std::string line = kHalley;
  line.replace(91, 9, std::string(9, ' '));
  const std::string section = section_of(line);
  EXPECT_NE(std::string::npos,
            section.find("\nabsolute_magnitude             = \n"));
  EXPECT_EQ("<missing>", value_of(section, "slope_parameter"));
  const std::string extended = section_of(line, SectionFormat::kExtended);
  EXPECT_EQ("<missing>", value_of(extended, "absolute_magnitude"));
  EXPECT_EQ(std::string::npos, extended.find("= \n"));
}

// The reason "line" cannot give a section, or "" when it can.
std::string problem(const std::string& line) {
  Error err;
  return check_comet_line(line, &err) ? "" : err.what;
}

TEST(CheckCometLine, IncompleteLinesAreRefusedWithTheirReason) {
  const struct {
    std::string line;
    const char* reason;
  } cases[] = {
      {std::string(kHalley).substr(0, 102), "line shorter than 103 bytes"},
      {"", "line shorter than 103 bytes"},
      {with(4, "Q"), "invalid orbit type"},
      {with(14, "20x1"), "invalid perihelion time"},
      {with(19, "13"), "invalid perihelion time"},
      {with(19, "02").replace(22, 7, "29.5000"), "invalid perihelion time"},
      {with(14, "2024").replace(19, 2, "02").replace(22, 7, "29.5000"), ""},
      {with(22, "       "), "invalid perihelion time"},
      {with(22, " 0.6690"), "invalid perihelion time"},
      {with(22, "-1.6690"), "invalid perihelion time"},
      {with(22, "10.66.0"), "invalid perihelion time"},
      {with(22, "10     "), ""},
      {with(30, "         "), "missing perihelion distance"},
      {with(30, " 0.5x1790"), "invalid perihelion distance"},
      {with(30, " 0.000000"), "invalid perihelion distance"},
      {with(30, "-0.571790"), "invalid perihelion distance"},
      {with(41, "        "), "missing eccentricity"},
      {with(41, "-0.96798"), "invalid eccentricity"},
      {with(51, "        "), "missing argument of perihelion"},
      {with(61, "  59.4.1"), "invalid ascending node"},
      {with(71, "        "), "missing inclination"},
      {with(81, "20261301"), "invalid epoch"},
      {with(81, "20260230"), "invalid epoch"},
      {with(81, "2026021 "), "invalid epoch"},
      {with(91, "5,5"), "invalid absolute magnitude"},
      {with(96, "n/a"), "invalid slope parameter"},
      {std::string(kHalley).substr(0, 102) + " ", "missing designation"},
      {std::string(kHalley).substr(0, 103), ""},
      {std::string(kHalley) + "\r", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.reason, problem(c.line)) << c.line;
}

TEST(CometIdentities, PackedDesignationFullAndName) {
  const struct {
    const char* line;
    const char* packed;
    const char* designation;
    const char* full;
    const char* name;
  } cases[] = {
      {kHalley, "0001P", "1P", "1P/Halley", "Halley"},
      {kTsuchinshanAtlas, "CK23A030", "C/2023 A3",
       "C/2023 A3 (Tsuchinshan-ATLAS)", "Tsuchinshan-ATLAS"},
      {kInterstellar, "0002I", "2I", "2I/Borisov", "Borisov"},
      {kFragment, "PK04V05b", "P/2004 V5-B", "P/2004 V5-B (LINEAR-Hill)",
       "LINEAR-Hill"},
      {kNumberedFragment, "0073Pbt", "73P-BT", "73P-BT/Schwassmann-Wachmann",
       "Schwassmann-Wachmann"},
      {kNoName, "0288P", "288P", "288P", ""},
      // 104: an asteroid on a comet-like orbit, no name.
      {"    AK19N020  2019 08 22.2968  1.936798  0.998116  347.0184  "
       "276.2241   89.3211  20260213  12.5  2.0  A/2019 N2                 "
       "                               MPEC 2023-CD8",
       "AK19N020", "A/2019 N2", "A/2019 N2", ""},
  };
  for (const auto& c : cases) {
    const CometIdentities ids = comet_identities(c.line);
    EXPECT_EQ(c.packed, ids.packed) << c.line;
    EXPECT_EQ(c.designation, ids.designation) << c.line;
    EXPECT_EQ(c.full, ids.full) << c.line;
    EXPECT_EQ(c.name, ids.name) << c.line;
    EXPECT_FALSE(ids.name_is_unique);
  }
}

TEST(CometIdentities, NameAloneCountsOnlyWhenUniqueInTheFile) {
  std::vector<CometIdentities> comets;
  for (const char* line :
       {kHalley, kBorisov, kInterstellar, kNoName, kTsuchinshanAtlas}) {
    comets.push_back(comet_identities(line));
  }
  mark_unique_names(&comets);
  const bool expected[] = {true, false, false, false, true};
  for (std::size_t i = 0; i < comets.size(); ++i) {
    EXPECT_EQ(expected[i], comets[i].name_is_unique) << comets[i].full;
  }
}

struct CometRun {
  bool ok = false;
  CometScan scan;
  NameAccount account;
  std::string out;
  std::vector<std::string> warnings;
  Error err;
};

CometRun scan(const std::string& text, std::vector<std::string> names,
              SectionFormat format = SectionFormat::kDefault) {
  test::ScriptedReader reader(text, 1000);
  CometRun run;
  init_account(&run.account, names.size());
  const NameMatcher matcher = build_name_matcher(std::move(names));
  ScanOptions options;
  options.path = "CometEls.txt";
  options.flush_bytes = 100;
  options.format = format;
  options.warn = [&](const std::string& w) { run.warnings.push_back(w); };
  options.account = &run.account;
  options.write = [&](std::string_view block, Error*) {
    run.out.append(block);
    return true;
  };
  run.ok = scan_comets(&reader, matcher, options, &run.scan, &run.err);
  return run;
}

TEST(ScanComets, SectionsCountsAndSkippedLines) {
  const std::string broken = with(30, "         ", kBorisov);
  const std::string text = std::string(kHalley) + "\n" + kInterstellar +
                           "\r\n" + broken + "\n" + kTsuchinshanAtlas + "\n" +
                           kNoName;  // no final line feed
  const CometRun r =
      scan(text, {"2I/Borisov", "Borisov", "P/", "288P", "Encke"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(5, r.scan.lines);
  // Names are sorted by the list reader, not here: indices follow "names".
  EXPECT_EQ((std::vector<std::int64_t>{1, 2, 1, 1, 0}),
            r.account.lines[static_cast<std::size_t>(Source::kComets)]);
  EXPECT_EQ((std::vector<std::int64_t>{0, 0, 0, 0, 0}),
            r.account.lines[static_cast<std::size_t>(Source::kCatalogue)]);
  EXPECT_EQ(section_of(kHalley) + section_of(kInterstellar) +
                section_of(kInterstellar) + section_of(kNoName),
            r.out);
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: CometEls.txt:3: missing perihelion distance; "
                "line skipped"}),
            r.warnings);
  const CometRun atlas = scan(text, {"ATLAS"}, SectionFormat::kExtended);
  EXPECT_TRUE(atlas.ok) << atlas.err.what;
  EXPECT_EQ(section_of(kTsuchinshanAtlas, SectionFormat::kExtended), atlas.out);
  // A file without one comet orbit is not a comet file.
  for (const std::string& wrong :
       {std::string(), std::string("\n\n"), broken + "\n",
        test::catalogue_line(1, "Ceres") + "\n"}) {
    const CometRun r = scan(wrong, {"Halley"});
    EXPECT_FALSE(r.ok) << wrong;
    EXPECT_EQ("CometEls.txt", r.err.path);
    EXPECT_EQ(0u, r.err.what.rfind("no comet orbit lines", 0)) << r.err.what;
  }
}

TEST(CometsOption, SectionsFollowTheAsteroidsEndToEnd) {
  test::TempDir dir;
  test::write_file(dir.path("list.csv"),
                   "\"Name\"\n\"Borisov\"\n\"Ceres\"\n\"Halley\"\n");
  const std::string ceres = test::catalogue_line(1, "Ceres");
  test::write_file(dir.path("MPCORB.DAT"),
                   test::catalogue_header() + ceres + "\n");
  test::write_file(dir.path("CometEls.txt"),
                   std::string(kHalley) + "\n" +
                       with(31, "8,239041", kBorisov) + "\n" + kInterstellar +
                       "\n");
  const test::RunResult r = test::run_orbitpick(
      {"--comets", "CometEls.txt", "list.csv", "MPCORB.DAT", "out.ini"},
      dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.err.rfind("orbitpick: CometEls.txt:2: invalid perihelion "
                            "distance; line skipped\n",
                            0))
      << r.err;
  // The account of the names counts comet lines too, and says where.
  EXPECT_NE(std::string::npos,
            r.err.find("\"Borisov\" is in 2 catalogue lines, 0 in "
                       "MPCORB.DAT and 2 in CometEls.txt (C/2025 B2 "
                       "(Borisov), 2I/Borisov); --exact"))
      << r.err;
  EXPECT_EQ(std::string::npos, r.err.find("Halley")) << r.err;
  std::string expected;
  write_section(ceres, &expected);
  expected += section_of(kHalley) + section_of(kInterstellar);
  EXPECT_EQ(expected, test::read_file(dir.path("out.ini")));

  // --exact: Halley's name is its own, Borisov's is not, 2I is a
  // designation; one section per comet however it is named.
  test::write_file(dir.path("list.csv"),
                   "\"Name\"\n\"Borisov\"\n\"halley\"\n\"1P/Halley\"\n\"2I\"\n");
  const test::RunResult exact = test::run_orbitpick(
      {"--exact", "--comets", "CometEls.txt", "list.csv", "MPCORB.DAT",
       "out.ini"},
      dir.dir());
  EXPECT_EQ(0, exact.status);
  EXPECT_NE(std::string::npos,
            exact.err.find("orbitpick: list.csv:2: \"Borisov\" is in no line "
                           "of MPCORB.DAT or CometEls.txt\n"))
      << exact.err;
  EXPECT_EQ(section_of(kHalley) + section_of(kInterstellar),
            test::read_file(dir.path("out.ini")));

  const test::RunResult twice =
      test::run_orbitpick({"--comets=-", "list.csv", "-", "twice.ini"},
                          dir.dir(), dir.path("CometEls.txt"));
  EXPECT_EQ(2, twice.status);
  EXPECT_NE(std::string::npos, twice.err.find("standard input")) << twice.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path("twice.ini")));
}

}  // namespace
}  // namespace orbitpick

namespace orbitpick {
namespace {

// More real lines of the same CometEls.txt (line numbers of the copy).
const char kHowell[] =  // 290
    "0088P         2026 03 18.7725  1.357799  0.563281  235.8672   56.6693    "
    "4.3819  20260213  11.0  6.0  88P/Howell                                "
    "               MPEC 2025-W75";
const char kMachholzA[] =  // 316: fragments
    "0141P      a  2026 04 23.3552  0.807476  0.735850  241.9375  153.4941   "
    "13.9428  20260213  12.0 12.0  141P-A/Machholz                          "
    "                MPEC 2015-KD9";
const char kMachholzH[] =  // 317
    "0141P      h  2026 04  1.7814  0.808377  0.734572  153.6235  241.8480   "
    "14.0165  20260213  18.5  4.0  141P-H/Machholz                          "
    "                MPC186636";
const char kSoho[] =  // 13
    "    PK03T120  2024 07  3.6542  0.594323  0.770023  219.8060  174.5686   "
    "11.0202  20260213  17.0  4.0  P/2003 T12 (SOHO)                        "
    "                MPC105235";

// Comet spellings of other lists under --exact: the sections they give.
TEST(ScanCometsExact, SpellingsOfOtherListsSelectTheirComet) {
  // Halley's line with the designation JPL gives the comet of 146 BC, as
  // the file would print it: a year before 1 keeps its sign.
  const std::string ancient = with(102, "C/-146 P1       ", kHalley);
  const std::string text = std::string(kHowell) + "\n" + kMachholzA + "\n" +
                           kMachholzH + "\n" + kSoho + "\n" +
                           kTsuchinshanAtlas + "\n" + ancient + "\n";
  struct Case {
    std::string name;
    std::string sections;
  };
  const std::vector<Case> cases = {
      {"88P", section_of(kHowell)},
      {"8P", ""},  // never 88P, as 88P is never 188P
      {"141P-A/Machholz", section_of(kMachholzA)},
      {"141P-H", section_of(kMachholzH)},
      {"141P-G/Machholz", ""},  // a fragment this file does not hold
      {"Machholz", ""},         // two fragments share it
      {"     P/2003 T12 (SOHO)", section_of(kSoho)},
      {"C/2023 A3 (Tsuchinshan- ATLAS)", section_of(kTsuchinshanAtlas)},
      // The designation alone, when the name is spelled otherwise.
      {"C/2023 A3 (Tsuchinshan\xE2\x80\x93" "ATLAS)",
       section_of(kTsuchinshanAtlas)},
      {"     C/-146 P1", section_of(ancient)},
  };
  for (const Case& c : cases) {
    test::ScriptedReader reader(text, 1000);
    const ExactIndex index = build_exact_index({c.name});
    ScanOptions options;
    options.path = "CometEls.txt";
    std::string out;
    options.write = [&](std::string_view block, Error*) {
      out.append(block);
      return true;
    };
    CometScan scan;
    Error err;
    ASSERT_TRUE(scan_comets(&reader, index, options, &scan, &err)) << err.what;
    EXPECT_EQ(c.sections, out) << c.name;
  }
}

}  // namespace
}  // namespace orbitpick
