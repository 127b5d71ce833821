// Reading observing lists in the layouts other programs write: the
// designation at the start of a line, CSV, text, Stellarium's JSON, XEphem
// edb, and the layout told from the content.
//
// The lines quoted come from real lists (byte for byte, shortened only
// where "..." stands): JPL Small-Body Database export
// (itzbana/phaethon, sbdb_query_results.csv, commit 766c5a0d2c92),
// Stellarium observing list (Calliehub/sara, stellarium/observingList_Sara
// bodies of interest.sol, commit dc39c684f22e), the MPC's bright minor
// planets in edb (Plutonium5793/Asteroids-Comets, Soft03Bright.txt, commit
// 1bd405d48da4), hand-made comet notes (ultrapre/Comets, comets.txt,
// commit 8d22762ab301).

#include "input/list_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/designation_prefix.h"
#include "input/list_json.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using Names = std::vector<std::string>;
using Lines = std::vector<std::int64_t>;

struct Read {
  bool ok = false;
  ListRead list;
  Error err;
  std::vector<std::string> warnings;
};

Read read(const std::string& text, ListFormat format,
          const std::string& column = "", std::size_t buffer = 1 << 16) {
  test::ScriptedReader reader(text, 5);
  LineBuffer lines;
  init_line_buffer(&lines, &reader, buffer);
  ListOptions options;
  options.format = format;
  options.column = column;
  Read r;
  r.ok = read_list(
      &lines, "list", options,
      [&](const std::string& w) { r.warnings.push_back(w); }, &r.list, &r.err);
  return r;
}

TEST(LineDesignation, TheDesignationALineStartsWith) {
  const struct {
    const char* line;
    const char* designation;
  } cases[] = {
      // comets.txt
      {"C/2020 F8 (SWAN)", "C/2020 F8 (SWAN)"},
      {"C/2019 U6", "C/2019 U6"},
      {"2P/Encke", "2P/Encke"},
      {"88P", "88P"},
      {"141P-G/Machholz", "141P-G/Machholz"},
      {"11P/Tempel-Swift-LINEAR", "11P/Tempel-Swift-LINEAR"},
      {"C/2020 K8 (Catalina- ATLAS)", "C/2020 K8 (Catalina- ATLAS)"},
      {"\xE7\xAC\xAC\xE4\xB8\x80\xE9\xA2\x97\xE5\xBD\x97\xE6\x98\x9F", ""},
      {"X\xE6\x8E\xA0\xE6\x97\xA5", ""},  // X掠日, a note
      {"---", ""},
      {"DARK", ""},
      {"m12", ""},
      // JPL full_name and comet exports
      {"  1566 Icarus (1949 MA)", "1566 Icarus (1949 MA)"},
      {"  4953 (1990 MU)", "4953 (1990 MU)"},
      {"       (2014 SM143)", "(2014 SM143)"},
      {"     C/-146 P1", "C/-146 P1"},
      {"     P/2002 P2 (SOHO)", "P/2002 P2 (SOHO)"},
      {"P/2004 V5-A", "P/2004 V5-A"},
      // The MPC's lists for other programs, XEphem names
      {"      1) Ceres   2018 03 23.0", "1) Ceres"},
      {"(1) Ceres", "(1) Ceres"},
      {"1915 1953 EA", "1915 1953 EA"},
      {"2004 PC112 bright", "2004 PC112"},
      {"2040 P-L", "2040 P-L"},
      {"9007 James Bond", "9007 James Bond"},
      {"433 Eros bright tonight", "433 Eros"},
      {"2001 Einstein", "2001 Einstein"},
      // Planner tables: codes, quotes, headers
      {"0  \"2017 YK5\"  15960.0", "2017 YK5"},
      {"2\t2004 PC112\t2024", "2004 PC112"},
      {"designation  perihelion_year", ""},
      {"Designation  Perihelion", ""},
      {"15960.0", ""},
      {"\"Ceres\",7.1", "Ceres"},
      // Names alone
      {"Ceres", "Ceres"},
      {"Hale-Bopp", "Hale-Bopp"},
      {"C\xC3\xA9r\xC3\xA8s", "C\xC3\xA9r\xC3\xA8s"},
      {"Ceres\t7.1", "Ceres"},
      {"Tonight we look at Vesta", ""},
      {"Note: clouds", ""},
      {"(1", ""},
      {"C/", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.designation, line_designation(c.line)) << c.line;
  }
}

TEST(ReadList, EachLayoutOnItsRealLines) {
  const struct {
    const char* what;
    ListFormat format;
    std::string text;
    Names names;
    Lines lines;
    std::int64_t no_object;
    bool auto_too = true;  // the layout shows in the lines
  } cases[] = {
      {"JPL export", ListFormat::kCsv,
       "\"full_name\",\"spkid\",\"orbit_id\",\"a\"\n"
       "\"  1566 Icarus (1949 MA)\",20001566,\"JPL 182\",1.078\n"
       "\"  4953 (1990 MU)\",20004953,\"JPL 355\",1.621\n"
       "\"712200 (2014 SM143)\",20712200,\"JPL 48\",1.206\n"
       "\"  1566 Icarus (1949 MA)\",20001566,\"JPL 182\",1.078\n",
       {"1566 Icarus (1949 MA)", "4953 (1990 MU)", "712200 (2014 SM143)"},
       {2, 3, 4}, 0},
      {"the same re-saved by a spreadsheet: BOM, CR LF, no quotes",
       ListFormat::kCsv,
       "\xEF\xBB\xBFspkid;pdes;name\r\n20001566;1566;Icarus\r\n"
       "20004953;4953;\r\n",
       {"1566", "4953"}, {2, 3}, 0},
      {"quotes inside, a separator and a line break inside quotes",
       ListFormat::kCsv,
       "Object,Note\n\"Ceres \"\"the first\"\"\",\"a, b\"\n"
       "\"Vesta\",\"two\nlines\"\nEros\n,empty\n\n",
       {"Ceres \"the first\"", "Eros", "Vesta"}, {2, 5, 3}, 1, false},
      {"a record left open by a quote ends the list", ListFormat::kCsv,
       "name\nCeres\n\"Vesta\nEros\n", {"Ceres", "Vesta\nEros"}, {2, 3}, 0,
       false},
      {"Stellarium observing list", ListFormat::kJson,
       "{\"observingLists\": {\"{3246}\": {\"objects\": [\n"
       "{\"designation\": \"Subsolar ((5261) Eureka)\", \"objtype\": \"point\"},\n"
       "{\"designation\": \"M 82\", \"objtype\": \"galaxy\"},\n"
       "{\"designation\": \"(5261) Eureka\",\n \"name\": \"(5261) Eureka\",\n"
       " \"objtype\": \"asteroid\", \"type\": \"Planet\"},\n"
       "{\"designation\": \"\", \"name\": \"C/2020 F3 (NEOWISE)\","
       " \"objtype\": \"comet\"},\n"
       "{\"designation\": \"Callisto\", \"objtype\": \"moon\"}]}}}\n",
       {"(5261) Eureka", "C/2020 F3 (NEOWISE)"}, {4, 7}, 3},
      {"XEphem edb", ListFormat::kEdb,
       "# From MPO110568\n"
       "1 Ceres,e,10.5868,80.3932,72.5898,2.765349,0.2143282,...\n"
       "# From MPO135420\n2 Pallas,e,34.8409,...\n\n,e,1\n",
       {"1 Ceres", "2 Pallas"}, {2, 4}, 1},
      {"hand-made comet notes", ListFormat::kText,
       "\n\nC/2020 F8 (SWAN)\n\xE7\xAC\xAC\xE4\xB8\x80\xE9\xA2\x97\n\n"
       "88P\n# comment\n---\nDARK\n\nC/2020 K8 (Catalina- ATLAS)\r\n",
       {"88P", "C/2020 F8 (SWAN)", "C/2020 K8 (Catalina- ATLAS)"},
       {6, 3, 11}, 3},
  };
  for (const auto& c : cases) {
    for (ListFormat format : {c.format, ListFormat::kAuto}) {
      if (format == ListFormat::kAuto && !c.auto_too) continue;
      SCOPED_TRACE(std::string(c.what) +
                   (format == ListFormat::kAuto ? " (auto)" : ""));
      // A small buffer: lines and records come in pieces.
      const Read r = read(c.text, format, "", 16);
      ASSERT_TRUE(r.ok) << r.err.what;
      EXPECT_EQ(c.names, r.list.names);
      EXPECT_EQ(c.lines, r.list.first_lines);
      EXPECT_EQ(c.no_object, r.list.no_object_lines);
      // One line names the layout with auto, one counts the lines of no
      // object; nothing is said line by line.
      EXPECT_EQ((format == ListFormat::kAuto ? 1u : 0u) +
                    (c.no_object > 0 ? 1u : 0u),
                r.warnings.size());
    }
  }
}

TEST(ReadList, AutoNamesTheLayoutInOneLine) {
  const struct {
    std::string text;
    ListFormat format;
    const char* said;
  } cases[] = {
      {"\"full_name\",\"spkid\"\n\"  433 Eros (A898 PA)\",2000433\n",
       ListFormat::kCsv,
       "orbitpick: list: read as CSV, designations from column \"full_name\""},
      {"spkid\tname\tpdes\n2000433\tEros\t433\n", ListFormat::kCsv,
       "orbitpick: list: read as CSV, designations from column \"pdes\""},
      {",x\nCeres,1\n", ListFormat::kCsv,
       "orbitpick: list: read as CSV, designations from column 1"},
      {"  [ {\"objtype\": \"comet\", \"name\": \"1P/Halley\"} ]",
       ListFormat::kJson,
       "orbitpick: list: read as a Stellarium observing list (JSON), its "
       "minor planets and comets"},
      {"# From MPO110568\n1 Ceres,e,10.5868\n", ListFormat::kEdb,
       "orbitpick: list: read as XEphem edb, designations from the first "
       "field"},
      {"0  \"2017 YK5\"  15960.0\n1  \"2004 PC112\"  16000.5\n",
       ListFormat::kText,
       "orbitpick: list: read as text, the designation each line starts "
       "with"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> first_lines;
    std::size_t start = 0;
    while (start <= c.text.size()) {
      const std::size_t end = std::min(c.text.find('\n', start), c.text.size());
      first_lines.push_back(c.text.substr(start, end - start));
      start = end + 1;
    }
    EXPECT_EQ(c.format, detect_list_format(first_lines)) << c.text;
    const Read r = read(c.text, ListFormat::kAuto);
    ASSERT_TRUE(r.ok) << c.text << r.err.what;
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_EQ(c.said, r.warnings.front());
  }
}

TEST(ReadList, ColumnChosenByTheUser) {
  const std::string jpl =
      "\"spkid\",\"full_name\",\"pdes\",\"name\"\n"
      "20001566,\"  1566 Icarus (1949 MA)\",\"1566\",\"Icarus\"\n";
  EXPECT_EQ(Names{"Icarus"}, read(jpl, ListFormat::kCsv, "NAME").list.names);
  EXPECT_EQ(Names{"1566"}, read(jpl, ListFormat::kCsv, "3").list.names);
  EXPECT_EQ(Names{"20001566"}, read(jpl, ListFormat::kAuto, "1").list.names);
  const Read missing = read(jpl, ListFormat::kCsv, "object");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ("list", missing.err.path);
  EXPECT_EQ(
      "no column \"object\" in the header line (\"spkid\", \"full_name\", "
      "\"pdes\", \"name\")",
      missing.err.what);
  // A column no record reaches holds no object: the list is empty.
  EXPECT_FALSE(read(jpl, ListFormat::kCsv, "9").ok);
  EXPECT_FALSE(read(jpl, ListFormat::kCsv, "0").ok);
}

TEST(ReadList, NoObjectIsOneErrorThatSuggestsAuto) {
  const struct {
    std::string text;
    ListFormat format;
    const char* what;
  } cases[] = {
      {"Name,Mag\nCeres,7.1\n\"\"\n x\"Ceres\"\n", ListFormat::kQuoted,
       "no object names: expected a header line, then one object per line "
       "whose first field is its name in double quotes (\"Ceres\",...); "
       "--list-format auto reads other layouts"},
      {"", ListFormat::kQuoted,
       "no object names: expected a header line, then one object per line "
       "whose first field is its name in double quotes (\"Ceres\",...); "
       "--list-format auto reads other layouts"},
      {"notes\n---\nDARK\n", ListFormat::kText,
       "no object names: read as text, the designation each line starts "
       "with; 3 lines hold no object (the first is line 1); --list-format "
       "auto tells the layout from the content"},
      {"{\"objects\": [{\"objtype\": \"galaxy\", \"name\": \"M 82\"}]}",
       ListFormat::kAuto,
       "no object names: read as a Stellarium observing list (JSON), its "
       "minor planets and comets; 1 entry is no minor planet or comet"},
  };
  for (const auto& c : cases) {
    const Read r = read(c.text, c.format);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ("list", r.err.path);
    EXPECT_EQ(c.what, r.err.what);
    // The layout may be named; no line is warned about one by one.
    EXPECT_LE(r.warnings.size(), c.format == ListFormat::kAuto ? 1u : 0u);
  }
  const Read bad = read("{\"objects\": [", ListFormat::kJson);
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ("not a JSON observing list: the JSON text is malformed",
            bad.err.what);
}

TEST(ReadList, QuotedListWarnsOnceAboutUnquotedRows) {
  // A spreadsheet quotes the names with a comma and leaves the rest bare.
  const Read r = read(
      "Name,Type,Mag\n\"Ceres\",Asteroid,7.1\nVesta,Asteroid,5.3\n"
      "note without fields\nEros,Asteroid,9.4\n",
      ListFormat::kQuoted);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(Names{"Ceres"}, r.list.names);
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: list:3: 2 lines hold fields but no double quote "
                "and were skipped (this is the first); --list-format csv "
                "reads them"}),
            r.warnings);
}

TEST(MinorBodyType, StellariumsTypesOfMinorBodies) {
  for (const char* type : {"asteroid", "comet", "dwarf planet", "plutino",
                           "cubewano", "scattered disc object",
                           "Oort cloud object", "interstellar object",
                           "sednoid", " Asteroid "}) {
    EXPECT_TRUE(is_minor_body_type(type)) << type;
  }
  for (const char* type : {"moon", "planet", "point", "galaxy", "crater",
                           "star", "", "asteroids"}) {
    EXPECT_FALSE(is_minor_body_type(type)) << type;
  }
}

}  // namespace
}  // namespace orbitpick
