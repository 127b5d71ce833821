// The merge into the planetarium's own file: byte-exact results over bases
// in the styles that file is found in, and --merge/--base end to end.

#include "output/ini_merge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace orbitpick {
namespace {

using test::catalogue_header;
using test::catalogue_line;
using test::read_file;
using test::run_orbitpick;
using test::TempDir;
using test::write_file;

// The sections as orbitpick writes them: key padded to 31 columns.
std::string section(
    const std::string& name,
    const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string text = "[" + name + "]\n";
  for (const auto& [key, value] : keys) {
    text += key + std::string(31 - key.size(), ' ') + "= " + value + "\n";
  }
  return text + "\n";
}

const std::string kCeres = section("1ceres", {{"absolute_magnitude", "3.34"},
                                              {"coord_func", "comet_orbit"},
                                              {"minor_planet_number", "1"},
                                              {"name", "Ceres"},
                                              {"orbit_Epoch", "2460800.5"},
                                              {"type", "asteroid"}});

// A stock-file body in the planetarium's mixed styles.
const std::string kStockCeres =
    "[1ceres]\n"
    "name=Ceres\n"
    "type = dwarf planet\n"
    "tex_map  =  ceres.png\n"
    "orbit_Epoch = 2459000.5 ; from the stock file\n"
    "absolute_magnitude=3.0   # rounded\n"
    "coord_func = comet_orbit\n"
    "minor_planet_number = 1\n"
    "rot_pole_ra = 291.418\n"
    "\n";

const std::string kUpdatedCeres =
    "[1ceres]\n"
    "name=Ceres\n"
    "type = dwarf planet\n"
    "tex_map  =  ceres.png\n"
    "orbit_Epoch = 2460800.5 ; from the stock file\n"
    "absolute_magnitude=3.34   # rounded\n"
    "coord_func = comet_orbit\n"
    "minor_planet_number = 1\n"
    "rot_pole_ra = 291.418\n"
    "\n";

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text)
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string merge(const std::string& base, const std::string& sections,
                  MergeCounts* counts) {
  std::string merged;
  Error err;
  EXPECT_TRUE(merge_ini(base, sections, &merged, counts, &err)) << err.what;
  return merged;
}

TEST(IniMerge, NoSectionsLeaveAnyBaseByteIdentical) {
  for (const std::string& base :
       {std::string(), std::string("\n"), kStockCeres, crlf(kStockCeres),
        std::string("[1ceres]\nname = Ceres"), std::string("[a]\r[b]\rx=1\r"),
        std::string("\xEF\xBB\xBF[1ceres]\r\nx\r\n\r\n"),
        std::string("no section = here\n;[1ceres]\n  [ 1ceres \n\xff\xfe")}) {
    MergeCounts counts;
    EXPECT_EQ(base, merge(base, "", &counts));
    EXPECT_EQ(0, counts.updated);
    EXPECT_EQ(0, counts.added);
  }
}

struct Case {
  const char* what;
  std::string base;
  std::string sections;
  std::string merged;
  MergeCounts counts;
};

TEST(IniMerge, Cases) {
  const std::string vesta = section("4vesta", {{"orbit_Epoch", "2460800.5"}});
  const Case cases[] = {
      {"only orbit and magnitude values change; comments stay",
       kStockCeres,
       kCeres,
       kUpdatedCeres,
       {1, 0, 0}},
      {"CRLF base: changed lines keep CRLF, added lines get it",
       crlf("# stock\n[1ceres]\ntex_map=c.png\n\n"),
       kCeres,
       crlf("# stock\n[1ceres]\ntex_map=c.png\n"
            "absolute_magnitude             = 3.34\n"
            "coord_func                     = comet_orbit\n"
            "minor_planet_number            = 1\n"
            "name                           = Ceres\n"
            "orbit_Epoch                    = 2460800.5\n"
            "type                           = asteroid\n\n"),
       {1, 0, 0}},
      {"every duplicate is updated; other sections are kept",
       "[1ceres]\norbit_Epoch=1\n[4vesta]\norbit_Epoch=1\n"
       "[1ceres]\norbit_Epoch = 2\norbit_Epoch = 3\n",
       section("1ceres", {{"orbit_Epoch", "9"}}),
       "[1ceres]\norbit_Epoch=9\n[4vesta]\norbit_Epoch=1\n"
       "[1ceres]\norbit_Epoch = 9\norbit_Epoch = 9\n",
       {2, 0, 1}},
      {"a new section goes after one empty line",
       "[1ceres]\nx = 1\n",
       vesta,
       "[1ceres]\nx = 1\n\n" + vesta,
       {0, 1, 1}},
      {"no second empty line when the base ends with one",
       "[1ceres]\nx = 1\n\n",
       vesta,
       "[1ceres]\nx = 1\n\n" + vesta,
       {0, 1, 1}},
      // Found by the merge fuzzer: two new sections of one body by their
      // identities went to the first, and the second was appended again at
      // every merge.
      {"a section of the same name is updated even when another is its body",
       "[4vesta_]\norbit_Epoch=1\n[4vesta]\norbit_Epoch=1\n",
       section("4vesta_", {{"orbit_Epoch", "8"}}) + vesta,
       "[4vesta_]\norbit_Epoch=8\n[4vesta]\norbit_Epoch=2460800.5\n",
       {2, 0, 0}},
      {"a section of a name that gives no designation is found by its name",
       "[\nx = 1\n",
       "[]\norbit_Epoch = 5\n\n",
       "[\nx = 1\norbit_Epoch = 5\n",
       {1, 0, 0}},
      {"missing final newline: updated in place, a line added after it",
       "[1ceres]\norbit_Epoch = 1",
       section("1ceres", {{"orbit_Epoch", "2"}, {"absolute_magnitude", "3"}}),
       "[1ceres]\norbit_Epoch = 2\nabsolute_magnitude             = 3",
       {1, 0, 0}},
      {"missing final newline before a new section",
       "# only a comment",
       vesta,
       "# only a comment\n\n" + vesta,
       {0, 1, 0}},
      {"new sections in a CRLF file are CRLF too",
       "[x]\r\n",
       vesta,
       "[x]\r\n\r\n" + crlf(vesta),
       {0, 1, 1}},
      {"a repeated new section is appended once, its last values",
       "",
       vesta + section("4vesta", {{"orbit_Epoch", "2"}}),
       section("4vesta", {{"orbit_Epoch", "2"}}),
       {0, 1, 0}},
      {"identity keys: any case counts, an empty one is filled",
       "[1ceres]\nType = dwarf planet\nname =\nminor_planet_number =\n"
       "coord_func=  \n",
       kCeres,
       "[1ceres]\nType = dwarf planet\nname = Ceres\n"
       "minor_planet_number = 1\ncoord_func=  comet_orbit\n"
       "absolute_magnitude             = 3.34\n"
       "orbit_Epoch                    = 2460800.5\n",
       {1, 0, 0}},
      {"an empty new value neither erases nor adds",
       "[1ceres]\nabsolute_magnitude = 3.0\n",
       section("1ceres", {{"absolute_magnitude", ""}, {"slope_parameter", ""}}),
       "[1ceres]\nabsolute_magnitude = 3.0\n",
       {1, 0, 0}},
      {"section names ignore case, keys do not; additions go after the last "
       "key, before trailing comments",
       "[ 1Ceres ]  ; stock\nORBIT_EPOCH = 1\n; next body\n\n[2pallas]\n",
       section("1ceres", {{"orbit_Epoch", "2"}}),
       "[ 1Ceres ]  ; stock\nORBIT_EPOCH = 1\n"
       "orbit_Epoch                    = 2\n; next body\n\n[2pallas]\n",
       {1, 0, 1}},
      {"a section without keys gets them after its name; a lone CR is a line "
       "end",
       "[1ceres]\r[2pallas]\rname=Pallas\r",
       section("1ceres", {{"orbit_Epoch", "2"}}),
       "[1ceres]\rorbit_Epoch                    = 2\r[2pallas]\rname=Pallas\r",
       {1, 0, 1}},
      {"a byte order mark alone is a line ended before a new section",
       "\xEF\xBB\xBF",
       vesta,
       "\xEF\xBB\xBF\n" + vesta,
       {0, 1, 0}},
      {"a byte order mark does not hide the first section",
       "\xEF\xBB\xBF[1ceres]\norbit_Epoch=1\n",
       section("1ceres", {{"orbit_Epoch", "2"}}),
       "\xEF\xBB\xBF[1ceres]\norbit_Epoch=2\n",
       {1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MergeCounts counts;
    EXPECT_EQ(c.merged, merge(c.base, c.sections, &counts));
    EXPECT_EQ(c.counts.updated, counts.updated);
    EXPECT_EQ(c.counts.added, counts.added);
    EXPECT_EQ(c.counts.kept, counts.kept);
  }
}

TEST(IniMerge, NulByteIsNotText) {
  std::string merged;
  MergeCounts counts;
  Error err;
  EXPECT_FALSE(merge_ini(std::string("[a]\nx=1\0\n", 9), kCeres, &merged,
                         &counts, &err));
  EXPECT_EQ("holds a NUL byte at offset 7: not a text file", err.what);
}

class MergeCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.path("list.csv"), "\"Name\"\n\"Ceres\"\n\"Eros\"\n");
    write_file(dir.path("MPCORB.DAT"), catalogue_header() +
                                           catalogue_line(1, "Ceres") + "\n" +
                                           catalogue_line(433, "Eros") + "\n");
  }
  test::RunResult run(const std::vector<std::string>& options,
                      const std::string& output = "out.ini") {
    std::vector<std::string> args = options;
    for (const char* path : {"list.csv", "MPCORB.DAT"}) args.push_back(path);
    args.push_back(output);
    return run_orbitpick(args, dir.dir());
  }
  TempDir dir;
};

TEST_F(MergeCliTest, MergeUpdatesOutputAndKeepsItsOwnBodies) {
  const std::string stock = "# stock file\n\n[halley]\nname = 1P/Halley\n\n" +
                            kStockCeres + "[pluto]\ntype=dwarf planet\n";
  write_file(dir.path("out.ini"), stock);
  const test::RunResult r = run({"--merge"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("orbitpick: out.ini: merged: 1 section updated, 1 added, 2 kept\n",
            r.err);
  const std::string merged = read_file(dir.path("out.ini"));
  EXPECT_EQ(0u, merged.find("# stock file\n\n[halley]\nname = 1P/Halley\n\n"
                            "[1ceres]\nname=Ceres\ntype = dwarf planet\n"
                            "tex_map  =  ceres.png\n"
                            "orbit_Epoch = 2460800.5 ; from the stock file\n"
                            "absolute_magnitude=3.34   # rounded\n"))
      << merged;
  EXPECT_NE(std::string::npos,
            merged.find("[pluto]\ntype=dwarf planet\n\n[433eros]\n"));
  // A second run finds everything in place and changes nothing.
  const test::RunResult again = run({"--merge"});
  EXPECT_EQ("orbitpick: out.ini: merged: 2 sections updated, 0 added, 2 kept\n",
            again.err);
  EXPECT_EQ(merged, read_file(dir.path("out.ini")));
}

TEST_F(MergeCliTest, MergeIntoNoFileWritesWhatAPlainRunWrites) {
  run({}, "plain.ini");
  const test::RunResult r = run({"--merge"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(read_file(dir.path("plain.ini")), read_file(dir.path("out.ini")));
}

TEST_F(MergeCliTest, BaseIsOnlyReadAndMayBeTheOutput) {
  write_file(dir.path("stock.ini"), crlf(kStockCeres));
  const test::RunResult r = run({"--base", "stock.ini"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(crlf(kStockCeres), read_file(dir.path("stock.ini")));
  // The stock keys updated, then the ones it lacked.
  const std::string updated =
      crlf(kUpdatedCeres.substr(0, kUpdatedCeres.size() - 1));
  EXPECT_EQ(0u, read_file(dir.path("out.ini")).find(updated));
  EXPECT_EQ(
      "orbitpick: out.ini: merged with stock.ini: 1 section updated, "
      "1 added, 0 kept\n",
      r.err);
  EXPECT_EQ(0, run({"--base=out.ini", "--merge"}).status);
  EXPECT_EQ(0u, read_file(dir.path("out.ini")).find(updated));
}

TEST_F(MergeCliTest, BadBaseFailsBeforeTheRunAndChangesNothing) {
  std::filesystem::create_directory(dir.path("folder"));
  write_file(dir.path("binary.ini"), std::string("[a]\0", 4));
  write_file(dir.path("out.ini"), kStockCeres);
  const struct {
    std::vector<std::string> options;
    std::string output;
    std::string err;
  } cases[] = {
      {{"--base", "absent.ini"},
       "out.ini",
       "orbitpick: absent.ini: No such file or directory\n"},
      {{"--base", "folder"}, "out.ini", "orbitpick: folder: Is a directory\n"},
      {{"--base", "binary.ini"},
       "out.ini",
       "orbitpick: binary.ini: holds a NUL byte at offset 3: not a text "
       "file\n"},
      {{"--merge"},
       "binary.ini",
       "orbitpick: binary.ini: holds a NUL byte at offset 3: not a text "
       "file\n"},
      {{"--merge"}, "folder", "orbitpick: folder: Is a directory\n"},
      {{"--merge"},
       "/dev/null",
       "orbitpick: /dev/null: not a regular file, so there is nothing to "
       "merge into; use --base FILE\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    const test::RunResult r = run(c.options, c.output);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
  }
  EXPECT_EQ(kStockCeres, read_file(dir.path("out.ini")));
  EXPECT_EQ(std::string("[a]\0", 4), read_file(dir.path("binary.ini")));
  EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "binary.ini", "folder",
                                      "list.csv", "out.ini"}),
            test::list_dir(dir.dir()));
}

// Halley's line of CometEls.txt (Minor Planet Center, MPEC 2025-W75), as in
// tests/conversion/comet_test.cc.
const char kHalleyLine[] =
    "0001P         2061 08 10.6690  0.571790  0.967982  112.3617   59.4631  "
    "162.1654  20260213   5.5  3.2  1P/Halley                                "
    "                MPEC 2025-W75";

// The value of "key" in the first section named "name" of "ini";
// "<missing>" when there is none.
std::string value_in(const std::string& ini, const std::string& name,
                     const std::string& key) {
  const std::size_t section = ini.find("[" + name + "]\n");
  if (section == std::string::npos) return "<no section>";
  const std::size_t next = ini.find("\n[", section + 1);
  std::size_t at = ini.find("\n" + key, section);
  if (at == std::string::npos || at > next) return "<missing>";
  at = ini.find('=', at) + 1;
  while (ini[at] == ' ') ++at;
  return ini.substr(at, ini.find('\n', at) - at);
}

// Every other option changes what is written, never how it is merged: an
// empty base gives what the run without --merge gives, a stock base keeps
// what it says a body is and takes the catalogue's orbits, and a second
// merge changes nothing.
TEST_F(MergeCliTest, MergeCombinesWithEveryOtherOption) {
  write_file(dir.path("list.csv"),
             "\"Name\"\n\"Ceres\"\n\"Eros\"\n\"Halley\"\n");
  write_file(dir.path("CometEls.txt"), std::string(kHalleyLine) + "\n");
  const std::string stock =
      "[1ceres]\nname = Ceres\ntype = dwarf planet\norbit_Epoch = 1\n"
      "slope_parameter = 0.5\n\n"
      "[1phalley]\nname = Halley\ntype = comet\norbit_Epoch = 1\n";
  const struct {
    std::vector<std::string> options;
    std::string slope;   // Ceres's slope parameter after the merge
    std::string halley;  // Halley's epoch after the merge
    std::string report;  // what the merge into the stock base says
  } cases[] = {
      {{"--extended"}, "0.15", "1", "1 section updated, 1 added, 1 kept"},
      {{"--exact"}, "0.5", "1", "1 section updated, 1 added, 1 kept"},
      {{"--comets", "CometEls.txt"},
       "0.5",
       "2461084.5",
       "2 sections updated, 1 added, 0 kept"},
      {{"--extended", "--exact", "--comets=CometEls.txt"},
       "0.15",
       "2461084.5",
       "2 sections updated, 1 added, 0 kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0] + " ... " + c.options.back());
    std::filesystem::remove(dir.path("out.ini"));
    ASSERT_EQ(0, run(c.options, "plain.ini").status);
    const std::string plain = read_file(dir.path("plain.ini"));
    std::vector<std::string> merge = c.options;
    merge.push_back("--merge");
    const test::RunResult empty = run(merge);
    EXPECT_EQ(0, empty.status) << empty.err;
    EXPECT_EQ(plain, read_file(dir.path("out.ini")));

    write_file(dir.path("out.ini"), stock);
    const test::RunResult r = run(merge);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos,
              r.err.find("orbitpick: out.ini: merged: " + c.report + "\n"))
        << r.err;
    const std::string merged = read_file(dir.path("out.ini"));
    EXPECT_EQ(0u, merged.find("[1ceres]\nname = Ceres\ntype = dwarf planet\n"
                              "orbit_Epoch = 2460800.5\nslope_parameter = " +
                              c.slope + "\n"))
        << merged;
    EXPECT_EQ(value_in(plain, "1ceres", "orbit_MeanAnomaly"),
              value_in(merged, "1ceres", "orbit_MeanAnomaly"));
    EXPECT_EQ(value_in(plain, "1ceres", "coord_func"),
              value_in(merged, "1ceres", "coord_func"));
    EXPECT_EQ("Halley", value_in(merged, "1phalley", "name"));
    EXPECT_EQ(c.halley, value_in(merged, "1phalley", "orbit_Epoch"));
    // Eros is new: appended as the plain run writes it.
    const std::size_t eros = plain.find("[433eros]\n");
    ASSERT_NE(std::string::npos, eros);
    const std::string eros_section =
        plain.substr(eros, plain.find("\n\n", eros) + 2 - eros);
    EXPECT_NE(std::string::npos, merged.find("\n\n" + eros_section)) << merged;

    EXPECT_EQ(0, run(merge).status);
    EXPECT_EQ(merged, read_file(dir.path("out.ini")));
  }
}

}  // namespace
}  // namespace orbitpick
