// The orbit section writer and the catalogue scan.

#include "conversion/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mpc_lines.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using test::catalogue_header;
using test::catalogue_line;

const char kCeres[] =
    "00001    3.34  0.15 K2555 188.70269   73.27343   80.25221   10.58780  "
    "0.0794013  0.21424651   2.7660512  0 E2024-V47  7330 125 1801-2024 0.80 "
    "M-v 30k MPCLINUX   0000      (1) Ceres              20241101";

const char kCeresSection[] =
    "[1ceres]\n"
    "absolute_magnitude             = 3.34\n"
    "coord_func                     = comet_orbit\n"
    "minor_planet_number            = 1\n"
    "name                           = Ceres\n"
    "orbit_ArgOfPericenter          = 73.27343\n"
    "orbit_AscendingNode            = 80.25221\n"
    "orbit_Eccentricity             = 0.0794013\n"
    "orbit_Epoch                    = 2460800.5\n"
    "orbit_Inclination              = 10.58780\n"
    "orbit_MeanAnomaly              = 188.70269\n"
    "orbit_MeanMotion               = 0.21424651\n"
    "orbit_SemiMajorAxis            = 2.7660512\n"
    "type                           = asteroid\n"
    "\n";

using test::section_of;

// The value written after "key" in "section".
std::string value_of(const std::string& section, const std::string& key) {
  const std::size_t at = section.find("\n" + key + " ");
  if (at == std::string::npos) return "<missing>";
  const std::size_t begin = section.find("= ", at) + 2;
  return section.substr(begin, section.find('\n', begin) - begin);
}

std::string key_of(const std::string& section) {
  return section.substr(1, section.find(']') - 1);
}

TEST(WriteSection, CeresByteForByte) {
  ASSERT_EQ(202u, sizeof kCeres - 1);
  EXPECT_EQ(kCeresSection, section_of(kCeres));
  EXPECT_EQ(kCeres, catalogue_line(1, "Ceres"));
}

TEST(WriteSection, DesignationsMakeKeysNumbersAndNames) {
  const struct {
    std::string line;
    const char* key;
    const char* number;
    const char* name;
  } cases[] = {
      {catalogue_line(433, "Eros"), "433eros", "433", "Eros"},
      {catalogue_line(0, "2004 PC112"), "2004pc112", "", "2004 PC112"},
      {catalogue_line(100345, "1999 XB143"), "1003451999xb143", "100345",
       "1999 XB143"},
      {catalogue_line(4179, "Van de Hulst X"), "4179vande hulst x", "4179",
       "Van de Hulst X"},
      // Only the first "(", the first ")" and the first two blanks go.
      {catalogue_line(12, "(Odd) Na me"), "12(odd)na me", "12",
       "(Odd) Na me"},
      // A name filling its column: whole in name, cut in the key.
      {catalogue_line(7, "ABCDEFGHIJKLMNOPQRS"), "7abcdefghijklmnopqr", "7",
       "ABCDEFGHIJKLMNOPQRS"},
  };
  for (const auto& c : cases) {
    const std::string section = section_of(c.line);
    EXPECT_EQ(c.key, key_of(section)) << c.line;
    EXPECT_EQ(c.number, value_of(section, "minor_planet_number")) << c.line;
    EXPECT_EQ(c.name, value_of(section, "name")) << c.line;
  }
}

TEST(WriteSection, FixedColumnsNotWords) {
  // A number running past offset 173 is cut in the number; offset 174
  // belongs to neither field.
  std::string line = catalogue_line(1, "Ceres");
  line.replace(165, 10, "(12345678)");
  const std::string section = section_of(line);
  EXPECT_EQ("12345678", value_of(section, "minor_planet_number"));
  EXPECT_EQ("Ceres", value_of(section, "name"));
  EXPECT_EQ("12345678ceres", key_of(section));
}

TEST(WriteSection, ShortestCompleteLine) {
  const std::string line = catalogue_line(1, "Ceres").substr(0, 175);
  Error skip;
  EXPECT_TRUE(check_section_line(line, &skip));
  const std::string section = section_of(line);
  EXPECT_EQ("", value_of(section, "name"));
  EXPECT_EQ("1", key_of(section));
  EXPECT_EQ("1", value_of(section, "minor_planet_number"));
}

TEST(WriteSection, BlankFieldsGiveEmptyValues) {
  std::string line = catalogue_line(1, "Ceres");
  line.replace(8, 5, "     ");
  EXPECT_EQ("", value_of(section_of(line), "absolute_magnitude"));
  EXPECT_NE(std::string::npos,
            section_of(line).find("\nabsolute_magnitude             = \n"));
}

const char kPlutoExtended[] =
    "[134340pluto]\n"
    "absolute_magnitude             = -0.76\n"
    "minor_planet_number            = 134340\n"
    "name                           = Pluto\n"
    "orbit_ArgOfPericenter          = 115.01131\n"
    "orbit_AscendingNode            = 110.29733\n"
    "orbit_Eccentricity             = 0.2537532\n"
    "orbit_Epoch                    = 2458600.5\n"
    "orbit_Inclination              = 17.10337\n"
    "orbit_MeanAnomaly              = 41.54710\n"
    "orbit_MeanMotion               = 0.00391855\n"
    "orbit_SemiMajorAxis            = 39.8461085\n"
    "slope_parameter                = 0.12\n"
    "type                           = dwarf planet\n"
    "\n";

std::string extended_section_of(const std::string& line) {
  std::string out;
  write_section(line, &out, SectionFormat::kExtended);
  return out;
}

TEST(WriteExtendedSection, PlutoByteForByte) {
  EXPECT_EQ(kPlutoExtended, extended_section_of(test::mpc::kPluto));
  EXPECT_EQ("asteroid", value_of(section_of(test::mpc::kPluto), "type"));
}

TEST(WriteExtendedSection, TypesDesignationsAndBlankValues) {
  const struct {
    const char* line;
    const char* key;
    const char* type;
    const char* slope;
    const char* iau_designation;
    const char* number;
    const char* magnitude;
  } cases[] = {
      {test::mpc::kPluto, "134340pluto", "dwarf planet", "0.12", "<missing>",
       "134340", "-0.76"},
      // Flags 000E, numbered with its provisional designation as name.
      {test::mpc::k1993Sb, "157881993sb", "plutino", "0.15", "<missing>",
       "15788", "7.9"},
      // Real lines of the MPC's Distant.txt (2019), line numbers given.
      // Distant.txt:166, flags 0011: a scattered disc orbit, but a dwarf
      // planet first.
      {"D6199   -1.1   0.15 K194R 205.38465  151.68622   35.90448   44.14447  "
       "0.4387931  0.00176762  67.7449513  2 MPO459642  1041  27 1954-2018 "
       "0.36 M-v 38h MPCLINUX   0011 (136199) Eris               20181017",
       "136199eris", "dwarf planet", "0.15", "<missing>", "136199", "-1.1"},
      // Distant.txt:223, flags 0410: bits above the orbit type are ignored.
      {"J94E02S  7.6   0.15 K194R 306.46376   99.66927  154.66401    1.06224  "
       "0.1192045  0.00316072  45.9845902  3 MPO331225    36   6 1994-2015 "
       "0.48 M-v 38h MPCADO     0410          1994 ES2           20150218",
       "1994es2", "cubewano", "0.15", "1994 ES2", "<missing>", "7.6"},
      // Distant.txt:261, flags 0411.
      {"J98X95Y  6.4   0.15 K194R 350.68343   90.07646   47.42445    6.66942  "
       "0.4160059  0.00193660  63.7445424  1 E2018-W58    91  11 1998-2018 "
       "0.45 M-v 38h MPCLINUX   0411          1998 XY95          20180115",
       "1998xy95", "scattered disc object", "0.15", "1998 XY95", "<missing>",
       "6.4"},
      // Distant.txt:321, flags 040F: another resonance, no type of its own.
      {"K00AP5F  5.8   0.15 K194R 279.71555  200.26514   23.71138   30.87857  "
       "0.2519501  0.00292711  48.3997756  2 MPO339366    57   5 2000-2015 "
       "0.13 M-v 38h MPCADO     040F          2000 AF255         20150415",
       "2000af255", "asteroid", "0.15", "2000 AF255", "<missing>", "5.8"},
      // Neither H nor G, seen for three days.
      {test::mpc::k2010Lf64, "2010lf64", "asteroid", "<missing>", "2010 LF64",
       "<missing>", "<missing>"},
      // Flags 1804: an Amor, G 0.46.
      {test::mpc::kEros, "433eros", "asteroid", "0.46", "<missing>", "433",
       "11.16"},
      {kCeres, "1ceres", "dwarf planet", "0.15", "<missing>", "1", "3.34"},
  };
  for (const auto& c : cases) {
    Error skip;
    ASSERT_TRUE(check_section_line(c.line, &skip)) << c.line;
    const std::string section = extended_section_of(c.line);
    EXPECT_EQ(c.key, key_of(section)) << c.line;
    EXPECT_EQ(key_of(section_of(c.line)), key_of(section)) << c.line;
    EXPECT_EQ(c.type, value_of(section, "type")) << c.line;
    EXPECT_EQ(c.slope, value_of(section, "slope_parameter")) << c.line;
    EXPECT_EQ(c.iau_designation, value_of(section, "iau_designation"))
        << c.line;
    EXPECT_EQ(c.number, value_of(section, "minor_planet_number")) << c.line;
    EXPECT_EQ(c.magnitude, value_of(section, "absolute_magnitude")) << c.line;
    EXPECT_EQ("<missing>", value_of(section, "coord_func")) << c.line;
    // Every value line has a value, and the keys are in byte order.
    EXPECT_EQ(std::string::npos, section.find("= \n")) << c.line;
    std::vector<std::string> keys;
    for (std::size_t at = section.find('\n'); section[at + 1] != '\n';
         at = section.find('\n', at + 1)) {
      keys.push_back(section.substr(at + 1, section.find(' ', at) - at - 1));
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << section;
  }
}

// The reason a line cannot give a section, or "" when it can.
std::string section_problem(const std::string& line) {
  Error err;
  return check_section_line(line, &err) ? "" : err.what;
}

TEST(CheckSectionLine, ShortLinesAndBadEpochs) {
  EXPECT_EQ("line shorter than 175 bytes",
            section_problem(catalogue_line(1, "Ceres").substr(0, 174)));
  EXPECT_EQ("line shorter than 175 bytes", section_problem(""));
  EXPECT_EQ("invalid packed epoch",
            section_problem(catalogue_line(1, "Ceres", "Z2555")));
  EXPECT_EQ("invalid packed epoch",
            section_problem(catalogue_line(1, "Ceres", "K  55")));
  EXPECT_EQ("", section_problem(catalogue_line(1, "Ceres", "J98A1")));
}

struct ScanRun {
  bool ok = false;
  std::int64_t lines = -1;
  std::string out;
  std::vector<std::int64_t> progress;
  std::vector<std::string> warnings;
  Error err;
};

ScanRun scan(const std::string& catalogue, std::vector<std::string> names,
             std::size_t buffer_bytes = kDefaultBufferBytes,
             std::size_t read_step = 1 << 20) {
  test::ScriptedReader reader(catalogue, read_step);
  const NameMatcher matcher = build_name_matcher(std::move(names));
  ScanRun run;
  ScanOptions options;
  options.path = "MPCORB.DAT";
  options.buffer_bytes = buffer_bytes;
  options.flush_bytes = 100;
  options.progress = [&](std::int64_t n) { run.progress.push_back(n); };
  options.warn = [&](const std::string& w) { run.warnings.push_back(w); };
  options.write = [&](std::string_view block, Error*) {
    run.out.append(block);
    return true;
  };
  run.ok = scan_catalogue(&reader, matcher, options, &run.lines, &run.err);
  return run;
}

// A scan that must succeed: what it wrote means nothing otherwise.
ScanRun converted(const std::string& catalogue, std::vector<std::string> names,
                  std::size_t buffer_bytes = kDefaultBufferBytes,
                  std::size_t read_step = 1 << 20) {
  ScanRun run = scan(catalogue, std::move(names), buffer_bytes, read_step);
  EXPECT_TRUE(run.ok) << run.err.path << ": " << run.err.what;
  return run;
}

std::string lines_of(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + "\n";
  return text;
}

TEST(Scan, HeaderOnlyWhenTheFirstLineIsNoOrbit) {
  struct Case {
    std::string catalogue;
    bool ok;
    std::int64_t lines;
    int sections;
  };
  const std::string ceres = std::string(kCeres) + "\n";
  const std::vector<Case> cases = {
      {catalogue_header() + ceres, true, 1, 1},
      // MPC's header-less extracts: every line is a catalogue line.
      {lines_of(44, kCeres), true, 44, 44},
      {ceres + lines_of(60, "x"), true, 61, 1},
      // The header swallows the only orbit line: nothing to convert.
      {lines_of(42, "x") + ceres, false, 0, 0},
      {catalogue_header(), false, 0, 0},
      {"", false, 0, 0},
      {catalogue_header() + lines_of(5, std::string(kCeres).substr(0, 174)),
       false, 0, 0},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const ScanRun r = scan(cases[i].catalogue, {"Ceres"});
    EXPECT_EQ(cases[i].ok, r.ok);
    if (r.ok) {
      EXPECT_EQ(cases[i].lines, r.lines);
    }
    std::string expected;
    for (int k = 0; k < cases[i].sections; ++k) expected += kCeresSection;
    EXPECT_EQ(expected, r.out);
  }
  // Without a header, lines are numbered from the file's first.
  EXPECT_EQ(std::vector<std::string>{"orbitpick: MPCORB.DAT:2: line shorter "
                                     "than 175 bytes; line skipped"},
            converted(ceres + "Ceres, cut short\n", {"Ceres"}).warnings);
}

TEST(Scan, ProgressAtEveryTenThousandLines) {
  const std::string ceres = std::string(kCeres) + "\n";
  const ScanRun below =
      converted(catalogue_header() + lines_of(9998, "x") + ceres, {});
  EXPECT_EQ(9999, below.lines);
  EXPECT_TRUE(below.progress.empty());
  const ScanRun at =
      converted(catalogue_header() + ceres + lines_of(9999, "x"), {}, 4096);
  EXPECT_EQ(10000, at.lines);
  EXPECT_EQ(std::vector<std::int64_t>{10000}, at.progress);
  const ScanRun past = converted(
      catalogue_header() + lines_of(30000, "") + ceres, {"Ceres"}, 1000);
  EXPECT_EQ(30001, past.lines);
  EXPECT_EQ((std::vector<std::int64_t>{10000, 20000, 30000}), past.progress);
}

TEST(Scan, LastLineWithoutLineFeedIsCounted) {
  const ScanRun r = converted(catalogue_header() + "x\n" + kCeres, {"Ceres"});
  EXPECT_EQ(2, r.lines);
  EXPECT_EQ(kCeresSection, r.out);
  EXPECT_EQ(2, converted(catalogue_header() + "\n" + kCeres, {}).lines);
}

TEST(Scan, LineWithTwoNamesGivesTwoSections) {
  const ScanRun r =
      converted(catalogue_header() + kCeres + "\n", {"Cer", "Ceres"});
  EXPECT_EQ(std::string(kCeresSection) + kCeresSection, r.out);
  // A name in the numeric columns matches too.
  EXPECT_EQ(kCeresSection,
            converted(catalogue_header() + kCeres, {"0.0794"}).out);
  EXPECT_EQ("", converted(catalogue_header() + kCeres, {"ceres"}).out);
}

TEST(Scan, SectionsFollowCatalogueThenListOrder) {
  const std::string vesta = catalogue_line(4, "Vesta");
  const std::string both = catalogue_line(99, "Vesta Ceres");
  const ScanRun r =
      converted(catalogue_header() + vesta + "\n" + both + "\n" + kCeres + "\n",
                {"Ceres", "Vesta"});
  EXPECT_EQ(
      section_of(vesta) + section_of(both) + section_of(both) + kCeresSection,
      r.out);
}

TEST(Scan, CrlfLinesKeepTheirCarriageReturn) {
  const ScanRun r = converted(catalogue_header() + kCeres + "\r\n", {"Ceres"});
  EXPECT_EQ(1, r.lines);
  EXPECT_EQ(kCeresSection, r.out);
  // A 174-byte line and its CR make 175 bytes: complete, with an empty name.
  const std::string line = std::string(kCeres).substr(0, 174) + "\r";
  EXPECT_EQ(section_of(line),
            converted(catalogue_header() + line + "\n", {"0.07"}).out);
}

TEST(Scan, SkippedLinesAreReportedWithTheirFileLine) {
  const ScanRun r =
      converted(catalogue_header() + "x\nCeres is short\n" +
                    catalogue_line(1, "Ceres", "Q2555") + "\n" + kCeres + "\n",
                {"Ceres", "short"});
  EXPECT_EQ(kCeresSection, r.out);
  EXPECT_EQ(
      (std::vector<std::string>{
          "orbitpick: MPCORB.DAT:45: line shorter than 175 bytes; line "
          "skipped",
          "orbitpick: MPCORB.DAT:46: invalid packed epoch; line skipped"}),
      r.warnings);
}

TEST(Scan, BufferSizesAndReadSizesDoNotChangeTheResult) {
  std::string catalogue = catalogue_header();
  for (int i = 0; i < 300; ++i) {
    catalogue += catalogue_line(i + 1, i % 7 == 0 ? "Ceres" : "Pallas") + "\n";
    if (i % 50 == 0) catalogue += std::string(3000, 'C') + "eres\n";
  }
  const ScanRun reference = converted(catalogue, {"Ceres", "Pa", "1"});
  ASSERT_TRUE(reference.ok);
  for (std::size_t buffer : {1, 7, 64, 203, 4096}) {
    for (std::size_t step : {1, 5, 202, 100000}) {
      const ScanRun r =
          converted(catalogue, {"Ceres", "Pa", "1"}, buffer, step);
      EXPECT_EQ(reference.lines, r.lines) << buffer << " " << step;
      EXPECT_EQ(reference.out, r.out) << buffer << " " << step;
      EXPECT_EQ(reference.warnings, r.warnings) << buffer << " " << step;
    }
  }
}

TEST(Scan, WriteFailureStopsTheScan) {
  test::ScriptedReader reader(catalogue_header() + lines_of(10, kCeres));
  const NameMatcher matcher = build_name_matcher({"Ceres"});
  ScanOptions options;
  options.flush_bytes = 1;
  int calls = 0;
  options.write = [&](std::string_view, Error* err) {
    ++calls;
    return fail(err, "out.ini", "No space left on device");
  };
  std::int64_t lines = 0;
  Error err;
  EXPECT_FALSE(scan_catalogue(&reader, matcher, options, &lines, &err));
  EXPECT_EQ("out.ini", err.path);  // the file written, not the catalogue
  EXPECT_EQ("No space left on device", err.what);
  EXPECT_EQ(1, calls);
}

}  // namespace
}  // namespace orbitpick
