// The built program under faults and odd inputs: unusable paths, a disk that
// refuses a write, a run killed part way, and catalogues and lists far from
// the usual shape. A failed run leaves the destination as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "test_util.h"

namespace orbitpick {
namespace {

namespace fs = std::filesystem;

using test::catalogue_header;
using test::catalogue_line;
using test::finish_orbitpick;
using test::gzip;
using test::list_dir;
using test::read_file;
using test::run_orbitpick;
using test::start_orbitpick;
using test::TempDir;
using test::write_file;

constexpr char kOldIni[] = "[1ceres]\nname = the planetarium's own copy\n";
constexpr auto kPatience = std::chrono::seconds(20);

// Every entry of "dir" with what it holds: a file's bytes, a link's target,
// or a mark for anything else. Equal snapshots mean that nothing was
// created, removed or changed.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> entries;
  for (const std::string& name : list_dir(dir)) {
    const fs::path p = fs::path(dir) / name;
    const fs::file_status status = fs::symlink_status(p);
    if (fs::is_symlink(status)) {
      entries[name] = "link to " + fs::read_symlink(p).string();
    } else if (fs::is_regular_file(status)) {
      entries[name] = read_file(p.string());
    } else {
      entries[name] = fs::is_directory(status) ? "directory" : "special file";
    }
  }
  return entries;
}

std::string section_of(const std::string& line) {
  std::string out;
  write_section(line, &out);
  return out;
}

std::string end_of_processing(long lines) {
  return "\n End of processing: " + std::to_string(lines) + " asteroids.\n";
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Opens the writing end of the FIFO at "path" once a reader has opened it,
// or gives -1 when none does in time (the run failed before reading).
int open_fifo_writer(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    // Non-blocking, the open fails with ENXIO while there is no reader
    // instead of hanging the test for good.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

// Name of the temporary file of "target" in "dir" once it holds at least
// one byte, or "" when none does in time.
std::string wait_for_temp_file(const std::string& dir,
                               const std::string& target) {
  const std::string prefix = "." + target + ".";
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const std::string& name : list_dir(dir)) {
      std::error_code ec;
      if (name.rfind(prefix, 0) == 0 && name.size() > 4 &&
          name.compare(name.size() - 4, 4, ".tmp") == 0 &&
          fs::file_size(fs::path(dir) / name, ec) > 0 && !ec) {
        return name;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return "";
}

// Writing into a FIFO whose reader has died raises SIGPIPE; the test must
// see that as a failed write, not die of it.
class IgnoreSigpipe {
 public:
  IgnoreSigpipe() { old_ = std::signal(SIGPIPE, SIG_IGN); }
  ~IgnoreSigpipe() { std::signal(SIGPIPE, old_); }

 private:
  void (*old_)(int);
};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.path("list.csv"), "\"Name\"\n\"Ceres\"\n\"Eros\"\n");
    write_file(dir.path("MPCORB.DAT"),
               catalogue_header() + catalogue_line(1, "Ceres") + "\n" +
                   catalogue_line(433, "Eros", "K24AH") + "\n");
    write_file(dir.path("out.ini"), kOldIni);
  }

  // A catalogue with "count" lines that match the list.
  std::string matching_catalogue(int count) const {
    std::string catalogue = catalogue_header();
    for (int i = 0; i < count; ++i) {
      catalogue += catalogue_line(1, "Ceres") + "\n";
    }
    return catalogue;
  }

  // Matching lines for twice the reading buffer, so that the first one is
  // handed out and its sections pass the output block size.
  std::string stalling_catalogue() const {
    const std::size_t line_bytes = catalogue_line(1, "Ceres").size() + 1;
    return matching_catalogue(
        static_cast<int>(2 * kDefaultBufferBytes / line_bytes));
  }

  TempDir dir;
};

TEST_F(FaultTest, UnusablePathsFailWithTheReasonAndChangeNothing) {
  fs::create_directory(dir.path("folder"));
  fs::create_directory(dir.path("sub"));
  ASSERT_EQ(0, symlink("absent.csv", dir.path("dangling.csv").c_str()));
  ASSERT_EQ(0, symlink("absent.dat", dir.path("dangling.dat").c_str()));
  ASSERT_EQ(0, symlink("folder", dir.path("folder.dat").c_str()));
  ASSERT_EQ(0, symlink("gone/out.ini", dir.path("dangling.ini").c_str()));
  ASSERT_EQ(0, symlink("list.csv", dir.path("list.ini").c_str()));
  ASSERT_EQ(0, symlink("MPCORB.DAT", dir.path("catalogue.lnk").c_str()));
  ASSERT_EQ(0,
            link(dir.path("MPCORB.DAT").c_str(), dir.path("hard.ini").c_str()));
  const std::string absolute_csv = dir.path("list.csv");

  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"dangling.csv", "MPCORB.DAT", "out.ini"},
       "orbitpick: dangling.csv: No such file or directory\n"},
      {{"list.csv", "dangling.dat", "out.ini"},
       "orbitpick: dangling.dat: No such file or directory\n"},
      {{"list.csv", "dangling.dat", "new.ini"},
       "orbitpick: dangling.dat: No such file or directory\n"},
      {{"list.csv", "folder.dat", "new.ini"},
       "orbitpick: folder.dat: Is a directory\n"},
      {{"folder", "MPCORB.DAT", "new.ini"},
       "orbitpick: folder: Is a directory\n"},
      {{"list.csv", "MPCORB.DAT", "no/such/dir/new.ini"},
       "orbitpick: no/such/dir/new.ini: No such file or directory\n"},
      {{"list.csv", "MPCORB.DAT", "dangling.ini"},
       "orbitpick: dangling.ini: No such file or directory\n"},
      {{"list.csv", "MPCORB.DAT", "hard.ini"},
       "orbitpick: hard.ini: is the same file as the input MPCORB.DAT\n"},
      {{"list.csv", "MPCORB.DAT", "list.ini"},
       "orbitpick: list.ini: is the same file as the input list.csv\n"},
      {{"list.csv", "MPCORB.DAT", "sub/../MPCORB.DAT"},
       "orbitpick: sub/../MPCORB.DAT: is the same file as the input "
       "MPCORB.DAT\n"},
      {{"list.csv", "MPCORB.DAT", absolute_csv},
       "orbitpick: " + absolute_csv +
           ": is the same file as the input list.csv\n"},
      {{"list.csv", "catalogue.lnk", "MPCORB.DAT"},
       "orbitpick: MPCORB.DAT: is the same file as the input catalogue.lnk\n"},
  };
  const auto before = snapshot(dir.dir());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
    const test::RunResult r = run_orbitpick(c.args, dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, FileSizeLimitFailsTheRunAndKeepsTheOldFile) {
  // 300 sections pass the 64 KiB block size and fail in the middle of the
  // scan; 12 sections fit in one block and fail at its final write.
  for (const int sections : {300, 12}) {
    SCOPED_TRACE(sections);
    write_file(dir.path("MPCORB.DAT"), matching_catalogue(sections));
    ASSERT_GT(sections * section_of(catalogue_line(1, "Ceres")).size(), 4096u);
    for (const char* target : {"out.ini", "new.ini"}) {
      SCOPED_TRACE(target);
      const auto before = snapshot(dir.dir());
      test::RunLimits limits;
      limits.file_size_limit = 4096;
      const test::RunResult r =
          finish_orbitpick(start_orbitpick({"list.csv", "MPCORB.DAT", target},
                                           dir.dir(), "/dev/null", limits),
                           dir.dir());
      EXPECT_EQ(1, r.status);
      EXPECT_EQ(std::string("orbitpick: ") + target + ": File too large\n",
                r.err);
      EXPECT_EQ(0u, r.out.rfind("\n begin\n", 0));
      EXPECT_EQ(std::string::npos, r.out.find("Finished!"));
      EXPECT_EQ(before, snapshot(dir.dir()));
    }
  }
}

// A write failure stops the scan while the thread reading the catalogue
// ahead waits for room (the catalogue is many blocks long) or reads a pipe:
// the run must still end at once with the write error.
TEST_F(FaultTest, WriteFailureStopsTheReadAheadToo) {
  const std::string catalogue = matching_catalogue(20000);
  write_file(dir.path("MPCORB.DAT.gz"), gzip(catalogue));
  write_file(dir.path("plain.dat"), catalogue);
  struct Case {
    const char* catalogue;
    const char* stdin_name;
  };
  for (const Case& c : {Case{"MPCORB.DAT.gz", nullptr},
                        Case{"-", "MPCORB.DAT.gz"}, Case{"-", "plain.dat"}}) {
    SCOPED_TRACE(c.stdin_name != nullptr ? c.stdin_name : c.catalogue);
    const auto before = snapshot(dir.dir());
    test::RunLimits limits;
    limits.file_size_limit = 4096;
    const test::RunResult r = finish_orbitpick(
        start_orbitpick({"list.csv", c.catalogue, "out.ini"}, dir.dir(),
                        c.stdin_name != nullptr ? dir.path(c.stdin_name)
                                                : "/dev/null",
                        limits),
        dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("orbitpick: out.ini: File too large\n", r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

// Starts a run whose catalogue comes through a FIFO, feeds it the header and
// "catalogue", and returns once the temporary file holds some sections: the
// run is then waiting for more input in the middle of its work. *fifo is the
// writing end, still open. The catalogue must fill more than the program's
// reading buffer, which a FIFO fills only in full or at its end.
int start_stalled_run(const TempDir& dir, const std::string& catalogue,
                      int* fifo) {
  *fifo = -1;
  if (mkfifo(dir.path("feed.dat").c_str(), 0600) != 0) return -1;
  const int pid =
      start_orbitpick({"list.csv", "feed.dat", "out.ini"}, dir.dir());
  *fifo = open_fifo_writer(dir.path("feed.dat"));
  if (*fifo < 0 || !write_all(*fifo, catalogue) ||
      wait_for_temp_file(dir.dir(), "out.ini").empty()) {
    kill(pid, SIGKILL);
    finish_orbitpick(pid, dir.dir());
    return -1;
  }
  return pid;
}

TEST_F(FaultTest, KilledRunLeavesTheDestinationAsItWas) {
  IgnoreSigpipe ignore_sigpipe;
  int fifo = -1;
  const int pid = start_stalled_run(dir, stalling_catalogue(), &fifo);
  ASSERT_GT(pid, 0) << "the run did not reach its first write";
  ASSERT_EQ(0, kill(pid, SIGKILL));
  close(fifo);
  const test::RunResult r = finish_orbitpick(pid, dir.dir());
  EXPECT_EQ(128 + SIGKILL, r.status);
  EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
}

TEST_F(FaultTest, InterruptedRunRemovesItsTemporaryFile) {
  IgnoreSigpipe ignore_sigpipe;
  // Compressed, the catalogue is read on a second thread, which the signal
  // may reach first. Without its trailer, the member keeps the run waiting.
  // Stored uncompressed (level 0), it is long enough to fill the reads
  // from the FIFO.
  const std::string compressed =
      gzip(stalling_catalogue() + stalling_catalogue(), 0);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP, -SIGTERM}) {
    SCOPED_TRACE(sig);
    int fifo = -1;
    const int pid = start_stalled_run(
        dir,
        sig > 0 ? stalling_catalogue()
                : compressed.substr(0, compressed.size() - 8),
        &fifo);
    ASSERT_GT(pid, 0) << "the run did not reach its first write";
    ASSERT_EQ(0, kill(pid, std::abs(sig)));
    // The signal is already pending: the run cannot see the end of its
    // input first. Had it kept running, the end lets it finish rather than
    // hang the test.
    close(fifo);
    const test::RunResult r = finish_orbitpick(pid, dir.dir());
    EXPECT_EQ(128 + std::abs(sig), r.status);
    EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
    EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "feed.dat", "list.csv",
                                        "out.ini"}),
              list_dir(dir.dir()));
    fs::remove(dir.path("feed.dat"));
  }
}

TEST_F(FaultTest, CatalogueThroughAFifoGivesTheSameFile) {
  IgnoreSigpipe ignore_sigpipe;
  const std::string catalogue = matching_catalogue(1000);  // > a pipe's buffer
  write_file(dir.path("MPCORB.DAT"), catalogue);
  const test::RunResult file_run =
      run_orbitpick({"list.csv", "MPCORB.DAT", "a.ini"}, dir.dir());
  ASSERT_EQ(0, file_run.status);

  ASSERT_EQ(0, mkfifo(dir.path("feed.dat").c_str(), 0600));
  const int pid = start_orbitpick({"list.csv", "feed.dat", "b.ini"}, dir.dir());
  const int fifo = open_fifo_writer(dir.path("feed.dat"));
  EXPECT_LE(0, fifo);
  EXPECT_TRUE(fifo >= 0 && write_all(fifo, catalogue));
  if (fifo >= 0) close(fifo);
  const test::RunResult fifo_run = finish_orbitpick(pid, dir.dir());
  EXPECT_EQ(0, fifo_run.status);
  EXPECT_EQ("", fifo_run.err);
  EXPECT_EQ(file_run.out, fifo_run.out);
  EXPECT_EQ(read_file(dir.path("a.ini")), read_file(dir.path("b.ini")));
  EXPECT_NE(std::string::npos, fifo_run.out.find(end_of_processing(1000)));
}

TEST_F(FaultTest, HundredMegabyteLineIsOneLineSearchedToItsEnd) {
  // The only listed name sits at the very end of the line, 100 MB after the
  // columns that the section is made of. The line goes through a FIFO: a
  // file that size would cost more disk time than the run itself.
  IgnoreSigpipe ignore_sigpipe;
  write_file(dir.path("list.csv"), "\"Name\"\n\"Farout\"\n");
  const std::string head = catalogue_line(1, "Ceres");
  std::string catalogue = catalogue_header() + head;
  catalogue.resize(catalogue.size() - head.size() + 100 * 1000 * 1000 - 6, '.');
  catalogue += "Farout";
  ASSERT_EQ(0, mkfifo(dir.path("feed.dat").c_str(), 0600));
  const int pid =
      start_orbitpick({"list.csv", "feed.dat", "out.ini"}, dir.dir());
  bool fed = false;
  std::thread feeder([&] {
    const int fifo = open_fifo_writer(dir.path("feed.dat"));
    fed = fifo >= 0 && write_all(fifo, catalogue);
    if (fifo >= 0) close(fifo);
  });
  const test::RunResult r = finish_orbitpick(pid, dir.dir());
  feeder.join();
  EXPECT_TRUE(fed);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(1)));
  EXPECT_EQ(section_of(head), read_file(dir.path("out.ini")));
  EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "feed.dat", "list.csv",
                                      "out.ini"}),
            list_dir(dir.dir()));
}

TEST_F(FaultTest, NulBytesAreOrdinaryBytes) {
  using namespace std::string_literals;
  write_file(dir.path("list.csv"), "\"Name\"\n\"Ce\0res\"\n\"Vesta\"\n"s);
  const std::string nul_name = catalogue_line(1, "Ce\0res"s);
  std::string nul_inside = catalogue_line(4, "Vesta");
  nul_inside[140] = '\0';  // a column the section does not use
  std::string plain = catalogue_line(2, "Ceres");  // "Ce\0res" is not in it
  plain[141] = '\0';
  write_file(dir.path("MPCORB.DAT"), catalogue_header() + nul_name + "\n" +
                                         plain + "\n" + nul_inside + "\n");
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  const std::string ini = read_file(dir.path("out.ini"));
  EXPECT_EQ(section_of(nul_name) + section_of(nul_inside), ini);
  EXPECT_EQ(0u, ini.find("[1ce\0res]\n"s));
  EXPECT_NE(std::string::npos,
            ini.find("name                           = Ce\0res\n"s));
}

TEST_F(FaultTest, CarriageReturnsAloneDoNotEndLines) {
  // Records separated by CR only are one long line: its columns are those of
  // the first record, and it gives one section per listed name in it.
  write_file(dir.path("list.csv"),
             "\"Name\"\r\"Ceres\"\r\"Vesta\"\n\"Eros\"\n");
  const std::string joined = catalogue_line(1, "Ceres") + "\r" +
                             catalogue_line(4, "Vesta") + "\r" +
                             catalogue_line(433, "Eros") + "\r";
  write_file(dir.path("MPCORB.DAT"), catalogue_header() + joined);
  test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(1)));
  // The list's first line (its header) swallowed Ceres and Vesta.
  EXPECT_EQ(section_of(joined), read_file(dir.path("out.ini")));

  // With the header in CR-ended lines too, the whole file is the header's
  // first line.
  std::string header = catalogue_header();
  for (char& c : header) {
    if (c == '\n') c = '\r';
  }
  write_file(dir.path("MPCORB.DAT"), header + joined);
  r = run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(0)));
  EXPECT_EQ("", read_file(dir.path("out.ini")));
}

TEST_F(FaultTest, CatalogueWithoutALineFeedIsAllHeader) {
  for (const std::string& catalogue :
       {std::string(), std::string("Ceres"), catalogue_line(1, "Ceres")}) {
    SCOPED_TRACE(catalogue.size());
    write_file(dir.path("MPCORB.DAT"), catalogue);
    const test::RunResult r =
        run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_NE(std::string::npos, r.out.find(end_of_processing(0)));
    EXPECT_EQ("", read_file(dir.path("out.ini")));
    write_file(dir.path("out.ini"), kOldIni);
  }
}

TEST_F(FaultTest, MillionLineListIsReadWhole) {
  // Every name twice, the last one on the file's last line, which has no
  // line feed.
  std::string csv = "\"Name\",\"Mag\"\n";
  csv.reserve(13 * 1000 * 1000);
  char row[32];
  for (int i = 0; i < 1000 * 1000; ++i) {
    std::snprintf(row, sizeof row, "\"T%06d\",9.5\n", i % 500000);
    csv += row;
  }
  csv.pop_back();
  write_file(dir.path("list.csv"), csv);
  const std::string first = catalogue_line(10, "T000000");
  const std::string middle = catalogue_line(11, "T250000");
  const std::string last = catalogue_line(12, "T499999");
  write_file(dir.path("MPCORB.DAT"), catalogue_header() + first + "\n" +
                                         catalogue_line(13, "T500000") + "\n" +
                                         middle + "\n" + last + "\n");
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(4)));
  EXPECT_EQ(section_of(first) + section_of(middle) + section_of(last),
            read_file(dir.path("out.ini")));
}

}  // namespace
}  // namespace orbitpick
