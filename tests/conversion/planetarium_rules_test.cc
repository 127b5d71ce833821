// The planetarium's rules, through the scans of both kinds of catalogue:
// Pluto left out, objects without H named, section keys kept apart,
// interstellar comets as comets with their designation.

#include "conversion/planetarium_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/catalogue.h"
#include "conversion/catalogue_section.h"
#include "conversion/comet.h"
#include "mpc_lines.h"
#include "selection/exact_match.h"
#include "selection/name_matcher.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using namespace test::mpc;

struct Scanned {
  std::string out;
  std::vector<std::string> warnings;
};

enum class Kind { kMinorPlanets, kComets };

// Scans "lines" (no header) for "names", with --exact when "exact" is set,
// in "format"; the keys of "keys" when not null.
Scanned scan(Kind kind, const std::vector<std::string>& lines,
         const std::vector<std::string>& names, bool exact,
         SectionFormat format = SectionFormat::kDefault,
         SectionNames* keys = nullptr) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  test::ScriptedReader reader(text, 300);
  const ExactIndex index = build_exact_index(names);
  const NameMatcher matcher = build_name_matcher(names);
  Scanned run;
  ScanOptions options;
  options.path = kind == Kind::kComets ? "CometEls.txt" : "MPCORB.DAT";
  options.format = format;
  options.sections = keys;
  options.warn = [&](const std::string& w) { run.warnings.push_back(w); };
  options.write = [&](std::string_view block, Error*) {
    run.out.append(block);
    return true;
  };
  Error err;
  bool ok = false;
  CometScan comets;
  std::int64_t count = 0;
  if (kind == Kind::kComets) {
    ok = exact ? scan_comets(&reader, index, options, &comets, &err)
               : scan_comets(&reader, matcher, options, &comets, &err);
  } else {
    ok = exact ? scan_catalogue(&reader, index, options, &count, &err)
               : scan_catalogue(&reader, matcher, options, &count, &err);
  }
  EXPECT_TRUE(ok) << err.what;
  return run;
}

std::string sections(const std::vector<std::string>& lines,
                     SectionFormat format) {
  std::string out;
  for (const std::string& line : lines) write_section(line, &out, format);
  return out;
}

const char kPlutoLeftOut[] =
    "orbitpick: MPCORB.DAT:2: (134340) Pluto left out: the planetarium has "
    "Pluto among its major bodies, and would show a second one beside it";
const char kNoMagnitude[] =
    "orbitpick: MPCORB.DAT:3: 2010 LF64 has no absolute magnitude: the "
    "planetarium will not draw it (no magnitude to draw it with)";

TEST(PlanetariumRules, PlutoLeftOutAndObjectsWithoutHNamedInEveryMode) {
  const std::vector<std::string> lines = {kEros, kPluto, k2010Lf64, k1993Sb};
  const struct {
    std::vector<std::string> names;
    bool exact;
    SectionFormat format;
    std::vector<std::string> written;  // the lines that give sections
  } cases[] = {
      // Two names in Pluto's line: still one warning, no section.
      {{"Pluto", "134340", "Eros", "LF64"}, false, SectionFormat::kDefault,
       {kEros, k2010Lf64}},
      {{"Pluto", "Eros", "2010 LF64"}, true, SectionFormat::kDefault,
       {kEros, k2010Lf64}},
      {{"D4340", "(433) Eros", "K10L64F"}, true, SectionFormat::kExtended,
       {kEros, k2010Lf64}},
      {{"Pluto", "Eros", "LF64"}, false, SectionFormat::kExtended,
       {kEros, k2010Lf64}},
  };
  for (const auto& c : cases) {
    const Scanned run = scan(Kind::kMinorPlanets, lines, c.names, c.exact,
                         c.format);
    EXPECT_EQ(sections(c.written, c.format), run.out) << c.names[0];
    EXPECT_EQ((std::vector<std::string>{kPlutoLeftOut, kNoMagnitude}),
              run.warnings)
        << c.names[0];
  }
  // The same object's section with H is written without a word.
  EXPECT_TRUE(scan(Kind::kMinorPlanets, lines, {"1993 SB"}, true)
                  .warnings.empty());
}

TEST(PlanetariumRules, CometsWithoutHAreNamedToo) {
  std::string no_h = kHalley;  // the real line with its H blanked
  no_h.replace(91, 4, "    ");
  const Scanned run = scan(Kind::kComets, {kTsuchinshanAtlas, no_h},
                       {"Halley", "ATLAS"}, false);
  std::string expected;
  write_comet_section(kTsuchinshanAtlas, &expected);
  write_comet_section(no_h, &expected);
  EXPECT_EQ(expected, run.out);
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: CometEls.txt:2: 1P/Halley has no absolute "
                "magnitude: the planetarium will not draw it (no magnitude "
                "to draw it with)"}),
            run.warnings);
}

std::string value_of(const std::string& section, const std::string& key) {
  const std::size_t at = section.find("\n" + key + " ");
  if (at == std::string::npos) return "<missing>";
  const std::size_t value = section.find("= ", at) + 2;
  return section.substr(value, section.find('\n', value) - value);
}

TEST(PlanetariumRules, CometsAreCometsWithTheDesignationOfTheStockFile) {
  const struct {
    const char* line;
    const char* iau_designation;  // with --extended
  } cases[] = {
      {kInterstellar, "2I/Borisov"},
      {kTsuchinshanAtlas, "C/2023 A3"},
      {kFragment, "P/2004 V5-B"},
      {kNameless, "A/2019 N2"},
      // Numbered periodic ones are known by the number in their name.
      {kHalley, "<missing>"},
      {kNumberedFragment, "<missing>"},
      {kNoName, "<missing>"},
  };
  for (const auto& c : cases) {
    for (const SectionFormat format :
         {SectionFormat::kDefault, SectionFormat::kExtended}) {
      std::string section;
      write_comet_section(c.line, &section, format);
      EXPECT_EQ("comet", value_of(section, "type")) << c.line;
      EXPECT_EQ(format == SectionFormat::kExtended ? c.iau_designation
                                                   : "<missing>",
                value_of(section, "iau_designation"))
          << c.line;
    }
  }
}

std::string key_of(const std::string& section) {
  return section.substr(1, section.find(']') - 1);
}

TEST(PlanetariumRules, KeysOfTwoObjectsAreKeptApart) {
  // A neighbour made from the real fragment line: its designation without
  // the "-" (and packed as a whole comet) gives the same key.
  std::string neighbour = kFragment;
  neighbour.replace(4, 8, "PK04V050");
  neighbour.replace(102, 25, "P/2004 V5B (LINEAR-Hill) ");
  const std::string renamed_warning =
      "orbitpick: CometEls.txt:2: P/2004 V5B (LINEAR-Hill) would share the "
      "section key [p2004v5b(linearhill)] with P/2004 V5-B (LINEAR-Hill), "
      "and the planetarium would merge the two; written as "
      "[p2004v5b(linearhill)_pk04v050]";
  const struct {
    std::vector<std::string> lines;
    std::vector<std::string> names;
    bool exact;
    std::vector<std::string> keys;
    std::vector<std::string> warnings;
  } cases[] = {
      {{kFragment, neighbour}, {"LINEAR-Hill"}, false,
       {"p2004v5b(linearhill)", "p2004v5b(linearhill)_pk04v050"},
       {renamed_warning}},
      {{kFragment, neighbour}, {"P/2004 V5B", "P/2004 V5-B"}, true,
       {"p2004v5b(linearhill)", "p2004v5b(linearhill)_pk04v050"},
       {renamed_warning}},
      // Two names in one line: two identical sections of one object.
      {{kTsuchinshanAtlas}, {"Tsuchinshan", "ATLAS"}, false,
       {"c2023a3(tsuchinshanatlas)", "c2023a3(tsuchinshanatlas)"},
       {}},
      // One object on two lines of the file keeps its key.
      {{kWierzchos, kWierzchosAgain}, {"C/2024 E1"}, true,
       {"c2024e1(wierzchos)", "c2024e1(wierzchos)"},
       {}},
  };
  for (const auto& c : cases) {
    const Scanned run = scan(Kind::kComets, c.lines, c.names, c.exact);
    std::vector<std::string> keys;
    for (std::size_t at = 0; (at = run.out.find('[', at)) != std::string::npos;
         ++at) {
      keys.push_back(key_of(run.out.substr(at)));
    }
    EXPECT_EQ(c.keys, keys) << c.names[0];
    EXPECT_EQ(c.warnings, run.warnings) << c.names[0];
    // Only the key changes: the renamed section is the line's own.
    std::string neighbour_section;
    write_comet_section(neighbour, &neighbour_section);
    if (!c.warnings.empty()) {
      EXPECT_EQ(neighbour_section.substr(neighbour_section.find(']')),
                run.out.substr(run.out.rfind(']')));
    }
  }
}

TEST(PlanetariumRules, KeysHeldAcrossScansOfOneOutput) {
  // Both scans of a run write into one file, and so share their keys.
  SectionNames keys;
  scan(Kind::kComets, {kFragment}, {"LINEAR"}, false,
       SectionFormat::kDefault, &keys);
  const Scanned again = scan(Kind::kComets, {kFragment}, {"LINEAR"}, false,
                         SectionFormat::kDefault, &keys);
  EXPECT_TRUE(again.warnings.empty());  // the same object
  LineFacts other;
  other.section = "p2004v5b(linearhill)";
  other.designation = "P/2004 V5B";
  other.packed = "PK04V05b";
  std::string suffix;
  std::string holder;
  EXPECT_FALSE(claim_section_name(&keys, other, &suffix, &holder));
  EXPECT_EQ("_pk04v05b", suffix);
  EXPECT_EQ("P/2004 V5-B (LINEAR-Hill)", holder);
  // Should the longer key be taken too, a count follows.
  other.designation = "P/2004 V 5B";
  EXPECT_FALSE(claim_section_name(&keys, other, &suffix, &holder));
  EXPECT_EQ("_pk04v05b_2", suffix);
  // Only the packed designation's letters and digits make the name: the
  // written fields are checked for control bytes and brackets, it is not.
  other.designation = "P/2004 V5 B";
  other.packed = std::string_view("P\0K0]4\x1f[V", 10);
  EXPECT_FALSE(claim_section_name(&keys, other, &suffix, &holder));
  EXPECT_EQ("_pk04v", suffix);
}

TEST(PlanetariumRules, SectionNamesKeepTheirHoldersAsTheTableGrows) {
  SectionNames names;
  // Empty texts are held as any other; names that share a prefix or differ
  // in case only are names of their own.
  EXPECT_EQ("", names.claim("", ""));
  EXPECT_EQ("", names.claim("", "(1) Ceres"));
  const int kNames = 5000;  // several times the first table
  for (int i = 0; i < kNames; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ("(" + n + ")", names.claim("k" + n, "(" + n + ")"));
    ASSERT_EQ("K" + n, names.claim("K" + n, "K" + n));
  }
  for (int i = 0; i < kNames; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ("(" + n + ")", names.claim("k" + n, "other"));
    ASSERT_EQ("K" + n, names.claim("K" + n, "other"));
  }
  EXPECT_EQ("", names.claim("", "other"));
}

}  // namespace
}  // namespace orbitpick
