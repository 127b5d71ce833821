// The merge by body: stock spellings updated in place, refresh texts, the
// never-older rule, and --refresh end to end.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "output/ini_merge.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using Strings = std::vector<std::string>;
using test::write_file;

// Sections as orbitpick writes them (keys padded to 31 columns).
std::string section(const std::string& name, const Strings& lines) {
  std::string text = "[" + name + "]\n";
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    const std::string key = line.substr(0, eq);
    text += key + std::string(31 - key.size(), ' ') + "= " +
            line.substr(eq + 1) + "\n";
  }
  return text + "\n";
}

const std::string kHaleBopp = section(
    "c1995o1(halebopp)",
    {"name=C/1995 O1 (Hale-Bopp)", "orbit_Epoch=2461000.5", "type=comet"});
const std::string kEncke =
    section("2pencke", {"name=2P/Encke", "orbit_Epoch=2461000.5"});
const std::string kApophis =
    section("99942apophis", {"minor_planet_number=99942", "name=Apophis",
                             "orbit_Epoch=2461000.5"});
const std::string kHo3 =
    section("4692192016ho3", {"minor_planet_number=469219", "name=2016 HO3",
                              "orbit_Epoch=2461000.5"});
const std::string kAa29 =
    section("2002aa29", {"name=2002 AA29", "orbit_Epoch=2461000.5"});

// One base section of Stellarium 0.22's data/ssystem_minor.ini each (the
// head and identity keys as shipped), and what a merge makes of it.
TEST(MergeByBody, StockSpellingsAreUpdatedInPlace) {
  const struct {
    const char* what;
    std::string base;
    std::string listed;   // listed sections
    std::string refresh;  // refresh text
    std::string epoch;    // the base's orbit_Epoch after the merge
    MergeCounts counts;
    std::int64_t refreshed;
    Strings newer, unmatched;
  } cases[] = {
      {"decoded section name and comet designation",
       "[C_1995O1%28Hale-Bopp%29]\nname=C/1995 O1 (Hale-Bopp)\n"
       "orbit_Epoch=2450465.000000\n",
       kHaleBopp, "", "2461000.5", {1, 0, 0}, 0, {}, {}},
      {"periodic comet by its number in name",
       "[2pencke]\nname=2P/Encke\ncoord_func=comet_orbit\n", "", kEncke,
       "2461000.5", {0, 0, 0}, 1, {}, {}},
      {"minor planet by number under another section name",
       "[apophis_2004mn4]\nminor_planet_number = 99942\norbit_Epoch = 1\n", "",
       kApophis, "2461000.5", {0, 0, 0}, 1, {}, {}},
      {"numbered since, by the provisional designation in name",
       "[2016ho3]\nname=2016 HO3\norbit_Epoch=1\n", "", kHo3, "2461000.5",
       {0, 0, 0}, 1, {}, {}},
      {"unnumbered, by section name",
       "[2002AA29]\norbit_Epoch=1\n", "", kAa29, "2461000.5", {0, 0, 0}, 1,
       {}, {}},
      {"never older: the base's own orbit is later",
       "[P_Halley_2061]\nname=2P/Encke (2061)\norbit_Epoch=2473976.5244\n", "",
       kEncke, "2473976.5244", {0, 0, 0}, 0, {"P_Halley_2061"}, {}},
      {"no body of the catalogues, and no substring match",
       "[TeslaRoadster]\nname=Tesla Roadster (Starman)\norbit_Epoch=1\n"
       "[2pencke_old]\nname=Encke\norbit_Epoch=1\n",
       "", kEncke, "1", {0, 0, 2}, 0, {}, {"TeslaRoadster", "2pencke_old"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MergeOptions options;
    if (!c.refresh.empty()) {
      options.refresh = {c.refresh};
      options.never_older = true;
    }
    std::string merged;
    MergeCounts counts;
    RefreshCounts refresh;
    Error err;
    ASSERT_TRUE(merge_ini(
        c.base, c.listed, options,
        [&](std::string_view block, Error*) {
          merged.append(block);
          return true;
        },
        &counts, &refresh, &err));
    const std::size_t at = merged.find("orbit_Epoch");
    ASSERT_NE(std::string::npos, at);
    const std::size_t value = merged.find_first_not_of(" =", at + 11);
    EXPECT_EQ(c.epoch, merged.substr(value, merged.find('\n', value) - value));
    // Updated or kept, never appended a second time.
    EXPECT_EQ(0u, merged.find(c.base.substr(0, c.base.find('\n'))));
    EXPECT_EQ(1u, static_cast<std::size_t>(
                      std::count(merged.begin(), merged.end(), '[')) -
                      (c.unmatched.size() == 2 ? 1 : 0));
    EXPECT_EQ(c.counts.updated, counts.updated);
    EXPECT_EQ(c.counts.added, counts.added);
    EXPECT_EQ(c.counts.kept, counts.kept);
    EXPECT_EQ(c.refresh.empty() ? 0u : 1u, refresh.refreshed.size());
    if (!c.refresh.empty()) {
      EXPECT_EQ(c.refreshed, refresh.refreshed[0]);
    }
    EXPECT_EQ(c.newer, refresh.newer);
    EXPECT_EQ(c.unmatched, refresh.unmatched);
  }
}

// Two sections of one body are both updated; a listed section wins over a
// refreshed one, and a refreshed one never becomes a new section.
TEST(MergeByBody, ListedBeforeRefreshedAndRefreshedNeverAdded) {
  const std::string base =
      "[67pchuryumovgerasimenko]\nname=67P/Churyumov-Gerasimenko\n\n"
      "[67pchuryumovgerasimenko]\nname=67P/Churyumov-Gerasimenko\n";
  const std::string listed = section("67pchuryumovgerasimenko",
                                     {"name=67P/Churyumov-Gerasimenko",
                                      "orbit_Epoch=2"});
  const std::string refreshed =
      section("67p", {"name=67P/Churyumov-Gerasimenko", "orbit_Epoch=1"}) +
      kEncke;
  MergeOptions options;
  options.refresh = {refreshed};
  options.never_older = true;
  std::string merged;
  MergeCounts counts;
  RefreshCounts refresh;
  Error err;
  ASSERT_TRUE(merge_ini(
      base, listed, options,
      [&](std::string_view block, Error*) {
        merged.append(block);
        return true;
      },
      &counts, &refresh, &err));
  const std::string one =
      "[67pchuryumovgerasimenko]\nname=67P/Churyumov-Gerasimenko\n"
      "orbit_Epoch                    = 2\n";
  EXPECT_EQ(one + "\n" + one, merged);
  EXPECT_EQ(2, counts.updated);
  EXPECT_EQ(0, counts.added);
  EXPECT_EQ(Strings{}, refresh.unmatched);
  EXPECT_EQ(0, refresh.refreshed[0]);
}

// --refresh end to end: a stock-style file and a catalogue; the list may be
// left out, and a second refresh changes nothing.
class RefreshCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.path("MPCORB.DAT"),
               test::catalogue_header() + test::catalogue_line(1, "Ceres") +
                   "\n" + test::catalogue_line(433, "Eros") + "\n" +
                   test::catalogue_line(0, "2002 AA29") + "\n");
    write_file(dir.path("stock.ini"),
               "[TeslaRoadster]\ntype = artificial\n\n"
               "[433eros]\nminor_planet_number=433\nname=Eros\n"
               "orbit_Epoch=2457800.5\ntex_map = eros.png\n\n"
               "[2002aa29]\nname=2002 AA29\norbit_Epoch=9999999.5\n");
  }
  test::TempDir dir;
};

TEST_F(RefreshCliTest, RefreshesTheFilesOwnBodies) {
  const test::RunResult r = test::run_orbitpick(
      {"--refresh", "--base", "stock.ini", "MPCORB.DAT", "out.ini"},
      dir.dir());
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "orbitpick: out.ini: merged with stock.ini: 0 sections updated, 0 "
      "added, 1 kept\n"
      "orbitpick: out.ini: refreshed 1 section from MPCORB.DAT\n"
      "orbitpick: out.ini: 1 section kept, the file's orbit being newer than "
      "the catalogue's: 2002aa29\n"
      "orbitpick: out.ini: 1 section names no object of the catalogues: "
      "TeslaRoadster\n",
      r.err);
  const std::string out = test::read_file(dir.path("out.ini"));
  const std::string eros = test::section_of(test::catalogue_line(433, "Eros"));
  const std::size_t epoch = eros.find("orbit_Epoch");
  EXPECT_NE(std::string::npos,
            out.find("orbit_Epoch=" +
                     eros.substr(eros.find("= ", epoch) + 2,
                                 eros.find('\n', epoch) -
                                     eros.find("= ", epoch) - 2) +
                     "\ntex_map = eros.png\n"))
      << out;
  EXPECT_EQ(std::string::npos, out.find("1ceres"));
  EXPECT_NE(std::string::npos, out.find("orbit_Epoch=9999999.5\n"));

  // Into the output itself, with a list: the list's objects are added, and
  // what the first refresh wrote stays byte for byte.
  write_file(dir.path("list.csv"), "\"Name\"\n\"Ceres\"\n");
  const test::RunResult again = test::run_orbitpick(
      {"--refresh", "--merge", "MPCORB.DAT", "out.ini"}, dir.dir());
  ASSERT_EQ(0, again.status) << again.err;
  EXPECT_EQ(out, test::read_file(dir.path("out.ini")));
  const test::RunResult listed = test::run_orbitpick(
      {"--refresh", "--merge", "list.csv", "MPCORB.DAT", "out.ini"},
      dir.dir());
  ASSERT_EQ(0, listed.status) << listed.err;
  EXPECT_EQ(0u, test::read_file(dir.path("out.ini")).find(out));
  EXPECT_NE(std::string::npos,
            listed.err.find("merged: 0 sections updated, 1 added, 1 kept"));
}

TEST_F(RefreshCliTest, RefreshNeedsAMerge) {
  const test::RunResult r = test::run_orbitpick(
      {"--refresh", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(2, r.status);
  EXPECT_EQ(
      "orbitpick: option --refresh needs --merge or --base; see orbitpick "
      "--help\n",
      r.err);
}

}  // namespace
}  // namespace orbitpick
