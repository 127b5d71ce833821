// The built program end to end: exit statuses, the console report, the
// output file and what is left of it when a run fails.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "conversion/catalogue.h"
#include "mpc_lines.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using test::catalogue_header;
using test::catalogue_line;
using test::list_dir;
using test::read_file;
using test::run_orbitpick;
using test::TempDir;
using test::without_credit;
using test::write_file;

const char kUsage[] =
    "\n"
    " missing parameters or missing all parameters\n"
    " <file In (*.csv)> <file In (*.dat)> <file Out (*.ini)>\n"
    " example: orbitpick ZorloExport.csv MPCORB.DAT ssystem_minor.ini\n"
    "\n";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.path("list.csv"),
               "\"Name\",\"Mag\"\r\n\"Ceres\",7.1\r\n\"Eros\",9\r\n");
    write_file(dir.path("MPCORB.DAT"),
               catalogue_header() + catalogue_line(1, "Ceres") + "\n" +
                   catalogue_line(4, "Vesta") + "\n" +
                   catalogue_line(433, "Eros", "K24AH") + "\n");
  }
  TempDir dir;
};

TEST_F(CliTest, FewerThanThreePathsPrintUsageAndExitTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"list.csv"}, {"list.csv", "MPCORB.DAT"}}) {
    const test::RunResult r = run_orbitpick(args, dir.dir());
    EXPECT_EQ(2, r.status);
    EXPECT_EQ(kUsage, without_credit(r.out));
    EXPECT_EQ("", r.err);
  }
  EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "list.csv"}),
            list_dir(dir.dir()));
}

TEST_F(CliTest, HelpListsTheOptionsAndExitsZero) {
  for (const char* flag : {"-h", "--help"}) {
    const test::RunResult r =
        run_orbitpick({"--exact", flag, "a", "b", "out.ini"}, dir.dir());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("Usage: orbitpick [OPTIONS] LIST.csv"));
    for (const char* option : {"--exact", "--merge", "--base", "Exit status"}) {
      EXPECT_NE(std::string::npos, r.out.find(option)) << option;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("out.ini")));
}

TEST_F(CliTest, UnknownOptionIsAUsageError) {
  for (const char* option : {"--exactly", "-x", "--base="}) {
    const test::RunResult r = run_orbitpick(
        {option, "list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
    EXPECT_EQ(2, r.status) << option;
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.find("orbitpick: ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("orbitpick --help")) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("out.ini")));
}

TEST_F(CliTest, VersionPrintsNameAndVersion) {
  const test::RunResult r = run_orbitpick({"--version"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.out.rfind("orbitpick ", 0));
  EXPECT_EQ('\n', r.out.back());
}

TEST_F(CliTest, RunWritesSectionsAndReport) {
  write_file(dir.path("out.ini"), "old contents\n");
  const test::RunResult r = run_orbitpick(
      {"list.csv", "MPCORB.DAT", "out.ini", "exact"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("orbitpick: ignoring the arguments after out.ini: exact\n",
            r.err);
  EXPECT_EQ("\n begin\n\n\n End of processing: 3 asteroids.\n\n Finished!\n\n",
            without_credit(r.out));
  const std::string ini = read_file(dir.path("out.ini"));
  EXPECT_EQ(0u, ini.find("[1ceres]\n"));
  EXPECT_NE(std::string::npos, ini.find("\n[433eros]\n"));
  EXPECT_NE(std::string::npos,
            ini.find("orbit_Epoch                    = 2460600.5\n"));
  EXPECT_EQ(std::string::npos, ini.find("vesta"));
  EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "list.csv", "out.ini"}),
            list_dir(dir.dir()));
}

TEST_F(CliTest, ExtendedWritesTheExtendedSections) {
  const test::RunResult r = run_orbitpick(
      {"--extended", "list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  const std::string ini = read_file(dir.path("out.ini"));
  EXPECT_EQ(0u, ini.find("[1ceres]\n"));
  EXPECT_NE(std::string::npos,
            ini.find("type                           = dwarf planet\n"));
  EXPECT_NE(std::string::npos,
            ini.find("slope_parameter                = 0.15\n"));
  EXPECT_EQ(std::string::npos, ini.find("coord_func"));
  EXPECT_NE(std::string::npos, ini.find("\n[433eros]\n"));
}

TEST_F(CliTest, ProgressLinesEveryTenThousandLines) {
  std::string catalogue = catalogue_header();
  for (int i = 0; i < 20000; ++i) catalogue += "x\n";
  catalogue += catalogue_line(4, "Vesta") + "\n";  // not on the list
  write_file(dir.path("MPCORB.DAT"), catalogue);
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "\n begin\n\n Processing line: 10000\n Processing line: 20000\n"
      "\n End of processing: 20001 asteroids.\n\n Finished!\n\n",
      without_credit(r.out));
  EXPECT_EQ("", read_file(dir.path("out.ini")));
}

TEST_F(CliTest, MissingInputsFailBeforeTheRunAndKeepTheOutput) {
  const std::string old = "[1ceres]\nkeep me\n";
  write_file(dir.path("out.ini"), old);
  std::filesystem::create_directory(dir.path("folder"));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"absent.csv", "MPCORB.DAT", "out.ini"},
           {"list.csv", "absent.dat", "out.ini"},
           {"folder", "MPCORB.DAT", "out.ini"},
           {"list.csv", "folder", "out.ini"},
           {"list.csv", "MPCORB.DAT", "no/such/dir/out.ini"},
           {"list.csv", "MPCORB.DAT", "folder"},
           {"list.csv", "MPCORB.DAT", "MPCORB.DAT"},
           {"list.csv", "MPCORB.DAT", "./list.csv"}}) {
    SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2]);
    const test::RunResult r = run_orbitpick(args, dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.rfind("orbitpick: ", 0)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n'));
    EXPECT_EQ(old, read_file(dir.path("out.ini")));
  }
  EXPECT_EQ(
      (std::vector<std::string>{"MPCORB.DAT", "folder", "list.csv", "out.ini"}),
      list_dir(dir.dir()));
}

TEST_F(CliTest, OutputLinkedToAnInputIsRefused) {
  const std::string catalogue = read_file(dir.path("MPCORB.DAT"));
  ASSERT_EQ(0, symlink("MPCORB.DAT", dir.path("link.ini").c_str()));
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "link.ini"}, dir.dir());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(catalogue, read_file(dir.path("MPCORB.DAT")));
}

TEST_F(CliTest, SymlinkedOutputStaysALinkAndItsTargetIsReplaced) {
  std::filesystem::create_directory(dir.path("stellarium"));
  write_file(dir.path("stellarium/ssystem_minor.ini"), "old\n");
  chmod(dir.path("stellarium/ssystem_minor.ini").c_str(), 0640);
  ASSERT_EQ(
      0, symlink("stellarium/ssystem_minor.ini", dir.path("out.ini").c_str()));
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("out.ini")));
  EXPECT_EQ(0u, read_file(dir.path("out.ini")).find("[1ceres]"));
  struct stat st;
  ASSERT_EQ(0, stat(dir.path("stellarium/ssystem_minor.ini").c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
  EXPECT_EQ((std::vector<std::string>{"ssystem_minor.ini"}),
            list_dir(dir.path("stellarium")));
}

TEST_F(CliTest, WarningsKeepExitStatusZero) {
  write_file(dir.path("list.csv"),
             "\"Name\"\n\"\"\n x\"Ceres\"\n\"Eros\"\nno quote here\n");
  write_file(dir.path("MPCORB.DAT"), catalogue_header() + "Eros, too short\n" +
                                         catalogue_line(433, "Eros", "X24AH") +
                                         "\n" + catalogue_line(433, "Eros") +
                                         "\n");
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "orbitpick: list.csv:2: no object name in first field; line skipped\n"
      "orbitpick: list.csv:3: first field does not start with a double "
      "quote; line skipped\n"
      "orbitpick: MPCORB.DAT:44: line shorter than 175 bytes; line skipped\n"
      "orbitpick: MPCORB.DAT:45: invalid packed epoch; line skipped\n"
      "orbitpick: list.csv:4: \"Eros\" is in 3 catalogue lines ((433) Eros, "
      "(433) Eros, ...); --exact matches whole designations\n",
      r.err);
  const std::string ini = read_file(dir.path("out.ini"));
  EXPECT_EQ(0u, ini.find("[433eros]\n"));
  EXPECT_EQ(std::string::npos, ini.find("[", 1));
}

TEST_F(CliTest, WriteFailureLeavesNoFileAndNoFinish) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "/dev/full"}, dir.dir());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(std::string::npos, r.out.find("Finished!"));
  EXPECT_EQ(0u, r.err.rfind("orbitpick: /dev/full: ", 0)) << r.err;
}

TEST_F(CliTest, CatalogueFromStandardInput) {
  const test::RunResult file_run =
      run_orbitpick({"list.csv", "MPCORB.DAT", "a.ini"}, dir.dir());
  const test::RunResult stdin_run = run_orbitpick(
      {"list.csv", "-", "b.ini"}, dir.dir(), dir.path("MPCORB.DAT"));
  EXPECT_EQ(0, stdin_run.status);
  EXPECT_EQ(file_run.out, stdin_run.out);
  EXPECT_EQ(read_file(dir.path("a.ini")), read_file(dir.path("b.ini")));
}

TEST(Sample, MatchesTheGoldenFile) {
  TempDir dir;
  const std::string root = ORBITPICK_SOURCE_DIR;
  const test::RunResult r = run_orbitpick(
      {root + "/examples/observing_list.csv", root + "/examples/MPCORB.DAT",
       dir.path("ssystem_minor.ini")},
      dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(read_file(root + "/examples/ssystem_minor.ini"),
            read_file(dir.path("ssystem_minor.ini")));
}

using test::section_of;

TEST_F(CliTest, ExactAndTheAccountOnAHeaderlessExtract) {
  using namespace test::mpc;
  // As NEA.txt: no header, so Eros on the first line is a catalogue line.
  // The last line is 1993 SB with "Pan" put into its computer column, as a
  // short name turns up in other columns of real lines.
  std::string pan_elsewhere = k1993Sb;
  pan_elsewhere.replace(150, 8, "Pan     ");
  write_file(dir.path("NEA.txt"), std::string(kEros) + "\n" + kPan + "\n" +
                                      kPluto + "\n" + k2010Lf64 + "\n" +
                                      pan_elsewhere + "\n");
  write_file(dir.path("list.csv"),
             "\"Name\"\n\"Eros\"\n\"(433) Eros\"\n\"Pan\"\n\"Zwicky\"\n"
             "\"D4340\"\n\"2010 LF64\"\n");
  struct Case {
    std::vector<std::string> options;
    std::string ini;
    std::string err;
  };
  // Pluto is found but left out: the planetarium has its own.
  const std::string planetarium_warnings =
      "orbitpick: NEA.txt:3: (134340) Pluto left out: the planetarium has "
      "Pluto among its major bodies, and would show a second one beside it\n"
      "orbitpick: NEA.txt:4: 2010 LF64 has no absolute magnitude: the "
      "planetarium will not draw it (no magnitude to draw it with)\n";
  const std::vector<Case> cases = {
      {{},
       section_of(kEros) + section_of(kEros) + section_of(kPan) +
           section_of(k2010Lf64) + section_of(pan_elsewhere),
       planetarium_warnings +
           "orbitpick: list.csv:4: \"Pan\" is in 2 catalogue lines ((4450) "
           "Pan, (15788) 1993 SB); --exact matches whole designations\n"
           "orbitpick: list.csv:5: \"Zwicky\" is in no catalogue line\n"},
      // One section per object, however many spellings select it.
      // Whole designations close the account with the counts.
      {{"--exact"},
       section_of(kEros) + section_of(kPan) + section_of(k2010Lf64),
       planetarium_warnings +
           "orbitpick: list.csv:5: \"Zwicky\" is in no catalogue line\n"
           "orbitpick: list.csv: 6 objects: 5 found, 1 in no catalogue line\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"list.csv", "NEA.txt", "out.ini"});
    const test::RunResult r = run_orbitpick(args, dir.dir());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(c.err, r.err);
    EXPECT_NE(std::string::npos, r.out.find(" End of processing: 5 asteroids."));
    EXPECT_EQ(c.ini, read_file(dir.path("out.ini")));
  }

  // Merged into the file just written, Pluto stays out too.
  const test::RunResult merged = run_orbitpick(
      {"--base", "out.ini", "--extended", "list.csv", "NEA.txt", "merged.ini"},
      dir.dir());
  EXPECT_EQ(0, merged.status);
  EXPECT_EQ(0u, merged.err.find(planetarium_warnings)) << merged.err;
  EXPECT_EQ(std::string::npos,
            read_file(dir.path("merged.ini")).find("Pluto"));

  // A list without a single quoted name converts nothing: an error.
  write_file(dir.path("list.csv"), "Name,Mag\nCeres,7.1\nVesta,6\n");
  const test::RunResult r =
      run_orbitpick({"list.csv", "NEA.txt", "out.ini"}, dir.dir());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(0u, r.err.find("orbitpick: list.csv: no object names: expected "
                           "a header line, then one object per line whose "
                           "first field is its name in double quotes"))
      << r.err;
  EXPECT_EQ(std::string::npos, r.out.find("Finished"));
  EXPECT_EQ(cases.back().ini, read_file(dir.path("out.ini")));
}

TEST_F(CliTest, ExactReadsTheSpellingsOfOtherLists) {
  using namespace test::mpc;
  const std::string ceres = catalogue_line(1, "Ceres");
  write_file(dir.path("NEA.txt"), ceres + "\n" + kEros + "\n" + kIcarus +
                                      "\n" + k1990Mu + "\n");
  // A number of one object and a name of another; a number this catalogue
  // does not hold yet (numbered after it) beside the designation it does;
  // JPL's and XEphem's spellings.
  write_file(dir.path("list.csv"),
             "\"full_name\"\n\"1 Eros\"\n\"9999 (1990 MU)\"\n"
             "\"  1566 Icarus (1949 MA)\"\n\"1915 1953 EA\"\n");
  const test::RunResult r = run_orbitpick(
      {"--exact", "list.csv", "NEA.txt", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "orbitpick: list.csv:2: \"1 Eros\" names two objects: (1) Ceres by its "
      "number, (433) Eros by the rest; took the number\n"
      "orbitpick: list.csv:5: \"1915 1953 EA\" is in no catalogue line (read "
      "as number 1915 or as 1953 EA)\n"
      "orbitpick: list.csv: 4 objects: 3 found, 1 in no catalogue line\n",
      r.err);
  // The designation taken for the missing number comes after the others.
  EXPECT_EQ(section_of(ceres) + section_of(kIcarus) + section_of(k1990Mu),
            read_file(dir.path("out.ini")));
}

}  // namespace
}  // namespace orbitpick

namespace orbitpick {
namespace {

// A planner's table read as told from its content: whole designations are
// matched (Pan is not in 1993 SB's computer column), and the notes, divider
// and header are counted in one line.
TEST_F(CliTest, ListFormatAutoReadsAPlannerTable) {
  using namespace test::mpc;
  std::string pan_elsewhere = k1993Sb;
  pan_elsewhere.replace(150, 8, "Pan     ");
  write_file(dir.path("NEA.txt"), std::string(kEros) + "\n" + kPan + "\n" +
                                      kPluto + "\n" + pan_elsewhere + "\n");
  write_file(dir.path("list.txt"),
             "# tonight\ndesignation  priority\n---\n"
             "  433 Eros   1\n\"Pan\"  2\nZwicky\n");
  const test::RunResult r = run_orbitpick(
      {"--list-format", "auto", "list.txt", "NEA.txt", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(section_of(kEros) + section_of(kPan),
            read_file(dir.path("out.ini")));
  EXPECT_EQ(
      "orbitpick: list.txt: read as text, the designation each line starts "
      "with\n"
      "orbitpick: list.txt: 2 lines hold no object (the first is line 2)\n"
      "orbitpick: list.txt:6: \"Zwicky\" is in no catalogue line\n"
      "orbitpick: list.txt: 3 objects: 2 found, 1 in no catalogue line\n",
      r.err);
}

}  // namespace
}  // namespace orbitpick
