// The built program under faults and odd inputs: unusable paths, a disk that
// refuses a write, a run killed part way, and catalogues and lists far from
// the usual shape. A failed run leaves the destination as it was.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "conversion/catalogue.h"
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

using test::section_of;

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

// Opens the writing end of the FIFO at "path" once the run "pid" has opened
// it for reading, or gives -1 when the run ends first.
int open_fifo_writer(int pid, const std::string& path) {
  // The open blocks until a reader comes, so it waits in a thread while this
  // one watches for the run's end; a reader of our own then releases it.
  int opened[2];
  if (pipe2(opened, O_CLOEXEC) != 0) return -1;
  int fd = -1;
  std::thread opener([&] {
    fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    close(opened[1]);
  });
  if (!test::wait_readable_or_exit(opened[0], pid)) {
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    opener.join();
    if (reader >= 0) close(reader);
    if (fd >= 0) close(fd);
    fd = -1;
  } else {
    opener.join();
  }
  close(opened[0]);
  return fd;
}

// Name of the temporary file of "target" in "dir" once it holds at least
// one byte, or "" when the run "pid" ends first.
std::string wait_for_temp_file(int pid, const std::string& dir,
                               const std::string& target) {
  const std::string prefix = "." + target + ".";
  // Watched before the first look, so no write falls between the two.
  const int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, dir.c_str(), IN_MODIFY) < 0) {
    if (watch >= 0) close(watch);
    return "";
  }
  std::string found;
  char events[4096];
  for (;;) {
    for (const std::string& name : list_dir(dir)) {
      std::error_code ec;
      if (name.rfind(prefix, 0) == 0 && name.size() > 4 &&
          name.compare(name.size() - 4, 4, ".tmp") == 0 &&
          fs::file_size(fs::path(dir) / name, ec) > 0 && !ec) {
        found = name;
      }
    }
    if (!found.empty() || !test::wait_readable_or_exit(watch, pid)) break;
    if (read(watch, events, sizeof events) < 0 && errno != EINTR) break;
  }
  close(watch);
  return found;
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
  *fifo = open_fifo_writer(pid, dir.path("feed.dat"));
  if (*fifo < 0 || !write_all(*fifo, catalogue) ||
      wait_for_temp_file(pid, dir.dir(), "out.ini").empty()) {
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
  const int fifo = open_fifo_writer(pid, dir.path("feed.dat"));
  EXPECT_LE(0, fifo);
  EXPECT_TRUE(fifo >= 0 && write_all(fifo, catalogue));
  if (fifo >= 0) close(fifo);
  const test::RunResult fifo_run = finish_orbitpick(pid, dir.dir());
  EXPECT_EQ(0, fifo_run.status);
  EXPECT_EQ(file_run.err, fifo_run.err);
  EXPECT_EQ(file_run.out, fifo_run.out);
  EXPECT_EQ(read_file(dir.path("a.ini")), read_file(dir.path("b.ini")));
  EXPECT_NE(std::string::npos, fifo_run.out.find(end_of_processing(1000)));
}

TEST_F(FaultTest, LineOfManyBuffersIsOneLineSearchedToItsEnd) {
  // The only listed name sits at the very end of a line ten reading buffers
  // long, far from the columns that the section is made of: the buffer
  // doubles four times before the line is whole. The line goes through a
  // FIFO, which hands it out a pipe's worth at a time.
  IgnoreSigpipe ignore_sigpipe;
  write_file(dir.path("list.csv"), "\"Name\"\n\"Farout\"\n");
  const std::string head = catalogue_line(1, "Ceres");
  const std::size_t line_bytes = 10 * kDefaultBufferBytes;
  std::string catalogue = catalogue_header() + head;
  catalogue.resize(catalogue.size() - head.size() + line_bytes - 6, '.');
  catalogue += "Farout";
  ASSERT_EQ(0, mkfifo(dir.path("feed.dat").c_str(), 0600));
  const int pid =
      start_orbitpick({"list.csv", "feed.dat", "out.ini"}, dir.dir());
  const int fifo = open_fifo_writer(pid, dir.path("feed.dat"));
  const bool fed = fifo >= 0 && write_all(fifo, catalogue);
  if (fifo >= 0) close(fifo);
  const test::RunResult r = finish_orbitpick(pid, dir.dir());
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
  // The name with a NUL matches byte for byte, but a NUL written into the
  // INI file would make it no text: that line is skipped.
  EXPECT_EQ("orbitpick: MPCORB.DAT:44: control byte in a field written to "
            "the INI file; line skipped\n",
            r.err);
  EXPECT_EQ(section_of(nul_inside), read_file(dir.path("out.ini")));
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
  // first line: no orbit line at all.
  std::string header = catalogue_header();
  for (char& c : header) {
    if (c == '\n') c = '\r';
  }
  write_file(dir.path("MPCORB.DAT"), header + joined);
  write_file(dir.path("out.ini"), kOldIni);
  r = run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(0u, r.err.find("orbitpick: MPCORB.DAT: no orbit lines")) << r.err;
  EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
}

TEST_F(FaultTest, CatalogueWithoutAnOrbitLineIsAnError) {
  // Empty, cut short, a web page, a header alone, a .gz of a .gz: nothing
  // to convert, and an empty INI over the old one would look like success.
  write_file(dir.path("out.ini"), kOldIni);
  for (const std::string& catalogue :
       {std::string(), std::string("Ceres"), catalogue_header(),
        std::string("<html><body>404 Not Found</body></html>\n"),
        catalogue_header() + catalogue_line(1, "Ceres").substr(0, 120)}) {
    SCOPED_TRACE(catalogue.size());
    write_file(dir.path("MPCORB.DAT"), catalogue);
    const test::RunResult r =
        run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.err.find("orbitpick: MPCORB.DAT: no orbit lines: expected "
                             "the Minor Planet Center's one-line orbits"))
        << r.err;
    EXPECT_EQ(std::string::npos, r.out.find("Finished"));
    EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
  }
  // A single orbit line without a line feed is a catalogue without header.
  const std::string ceres = catalogue_line(1, "Ceres");
  write_file(dir.path("MPCORB.DAT"), ceres);
  const test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(1)));
  EXPECT_EQ(section_of(ceres), read_file(dir.path("out.ini")));
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
  // Every name is accounted for: all but the three found are in no line.
  EXPECT_EQ(500000 - 3, std::count(r.err.begin(), r.err.end(), '\n'));
  EXPECT_EQ(0u, r.err.find("orbitpick: list.csv:3: \"T000001\" is in no "
                           "catalogue line\n"));
  EXPECT_NE(std::string::npos, r.out.find(end_of_processing(4)));
  EXPECT_EQ(section_of(first) + section_of(middle) + section_of(last),
            read_file(dir.path("out.ini")));
}

// The hardening cases: descriptors, privileges, hostile output paths,
// signals, limits and memory.

// The Ceres and Eros sections that the fixture's list and catalogue make.
std::string listed_sections() {
  return section_of(catalogue_line(1, "Ceres")) +
         section_of(catalogue_line(433, "Eros", "K24AH"));
}

std::string read_to_end(int fd) {
  std::string all;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return all;
    all.append(buf, static_cast<std::size_t>(n));
  }
}

// The user that privilege cases run as, or false with a reason to skip.
bool unprivileged_user(uid_t* uid, gid_t* gid, std::string* why) {
  if (geteuid() != 0) {
    *why = "needs root, to act as and for another user";
    return false;
  }
  const passwd* user = getpwnam("nobody");
  if (user == nullptr || user->pw_uid == 0) {
    *why = "no unprivileged user 'nobody'";
    return false;
  }
  *uid = user->pw_uid;
  *gid = user->pw_gid;
  return true;
}

// True when "uid" may run the built program: a build in a private
// directory (a mktemp -d clone, say) is out of its reach.
bool can_run_program(uid_t uid, gid_t gid, std::string* why) {
  const pid_t pid = fork();
  if (pid == 0) {
    const bool ok = setgroups(0, nullptr) == 0 &&
                    setresgid(gid, gid, gid) == 0 &&
                    setresuid(uid, uid, uid) == 0 &&
                    access(ORBITPICK_BINARY, X_OK) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    *why = "the built program is out of the unprivileged user's reach";
    return false;
  }
  return true;
}

TEST_F(FaultTest, ClosedStandardDescriptorsTakeNoFile) {
  // A list line that warns: were the temporary file given descriptor 2,
  // the warning would land in the INI file.
  write_file(dir.path("list.csv"),
             "\"Name\"\n\"Ceres\"\nbad, \"line\"\n\"Eros\"\n");
  struct Case {
    std::vector<int> closed;
    std::string catalogue;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{0}, "-", 1, "orbitpick: -: Bad file descriptor\n"},
      {{0, 1}, "-", 1, "orbitpick: -: Bad file descriptor\n"},
      {{0, 1, 2}, "MPCORB.DAT", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.closed.size());
    write_file(dir.path("out.ini"), kOldIni);
    const auto before = snapshot(dir.dir());
    const auto close_them = [&] {
      for (int fd : c.closed) close(fd);
    };
    const test::RunResult r = finish_orbitpick(
        test::start_orbitpick_with({"list.csv", c.catalogue, "out.ini"},
                                   dir.dir(), close_them),
        dir.dir());
    EXPECT_EQ(c.status, r.status);
    if (c.closed.back() < 2) {
      EXPECT_EQ(c.err, r.err);
    }
    if (c.status == 0) {
      EXPECT_EQ(listed_sections(), read_file(dir.path("out.ini")));
      EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "list.csv", "out.ini"}),
                list_dir(dir.dir()));
    } else {
      EXPECT_EQ(before, snapshot(dir.dir()));
    }
  }
}

TEST_F(FaultTest, OutputThatStandardInputReadsIsRefused) {
  ASSERT_EQ(0, link(dir.path("out.ini").c_str(), dir.path("hard.ini").c_str()));
  struct Case {
    std::string output;
    std::string stdin_file;
  };
  for (const Case& c : std::vector<Case>{{"/dev/stdin", "MPCORB.DAT"},
                                         {"out.ini", "out.ini"},
                                         {"hard.ini", "out.ini"}}) {
    SCOPED_TRACE(c.output);
    const auto before = snapshot(dir.dir());
    const test::RunResult r = run_orbitpick({"list.csv", "-", c.output},
                                            dir.dir(), dir.path(c.stdin_file));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(
        "orbitpick: " + c.output + ": is the same file as the standard input\n",
        r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, LinkPlantedInASharedDirectoryIsNotFollowed) {
  uid_t other = 0;
  gid_t other_group = 0;
  std::string why;
  if (!unprivileged_user(&other, &other_group, &why)) GTEST_SKIP() << why;
  // "tmp" is like /tmp, ours; "theirs" is a sticky world-writable directory
  // of the other user. Each link points at the file "victim".
  write_file(dir.path("victim"), kOldIni);
  for (const char* shared : {"tmp", "theirs"}) {
    ASSERT_EQ(0, mkdir(dir.path(shared).c_str(), 0777));
    ASSERT_EQ(0, chmod(dir.path(shared).c_str(), 01777));
  }
  ASSERT_EQ(0, chown(dir.path("theirs").c_str(), other, other_group));
  struct Case {
    std::string link;
    uid_t owner;
    bool followed;
  };
  const std::vector<Case> cases = {
      {"tmp/planted.ini", other, false},  // neither ours nor the directory's
      {"tmp/mine.ini", 0, true},          // the caller's own link
      {"theirs/owner.ini", other, true},  // the directory owner's link
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    write_file(dir.path("victim"), kOldIni);
    ASSERT_EQ(0, symlink("../victim", dir.path(c.link).c_str()));
    ASSERT_EQ(0, lchown(dir.path(c.link).c_str(), c.owner, other_group));
    const auto before = snapshot(dir.dir());
    const test::RunResult r =
        run_orbitpick({"list.csv", "MPCORB.DAT", c.link}, dir.dir());
    if (c.followed) {
      EXPECT_EQ(0, r.status);
      EXPECT_EQ(listed_sections(), read_file(dir.path("victim")));
    } else {
      EXPECT_EQ(1, r.status);
      EXPECT_EQ("orbitpick: " + c.link +
                    ": refusing to follow a symbolic link owned by another "
                    "user in a sticky world-writable directory\n",
                r.err);
      EXPECT_EQ(before, snapshot(dir.dir()));
    }
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path(c.link))));
  }
}

TEST_F(FaultTest, ReplacedFileKeepsItsOwnerAndAnUnwritableOneIsRefused) {
  uid_t user = 0;
  gid_t group = 0;
  std::string why;
  if (!unprivileged_user(&user, &group, &why)) GTEST_SKIP() << why;
  // Root replacing the user's private file gives it back to the user.
  ASSERT_EQ(0, chown(dir.path("out.ini").c_str(), user, group));
  ASSERT_EQ(0, chmod(dir.path("out.ini").c_str(), 0600));
  test::RunResult r =
      run_orbitpick({"list.csv", "MPCORB.DAT", "out.ini"}, dir.dir());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(listed_sections(), read_file(dir.path("out.ini")));
  struct stat st;
  ASSERT_EQ(0, stat(dir.path("out.ini").c_str(), &st));
  EXPECT_EQ(user, st.st_uid);
  EXPECT_EQ(group, st.st_gid);
  EXPECT_EQ(0600u, st.st_mode & 07777);

  // The user, in a directory of their own, may not replace their 0444 file.
  if (!can_run_program(user, group, &why)) GTEST_SKIP() << why;
  ASSERT_EQ(0, chmod(dir.dir().c_str(), 0755));
  const std::string home = dir.path("home");
  ASSERT_EQ(0, mkdir(home.c_str(), 0755));
  ASSERT_EQ(0, chown(home.c_str(), user, group));
  write_file(home + "/out.ini", kOldIni);
  ASSERT_EQ(0, chown((home + "/out.ini").c_str(), user, group));
  ASSERT_EQ(0, chmod((home + "/out.ini").c_str(), 0444));
  const auto before = snapshot(home);
  const auto become_user = [&] {
    if (setgroups(0, nullptr) != 0 || setresgid(group, group, group) != 0 ||
        setresuid(user, user, user) != 0) {
      _exit(126);
    }
  };
  r = finish_orbitpick(
      test::start_orbitpick_with({"../list.csv", "../MPCORB.DAT", "out.ini"},
                                 home, become_user),
      home);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("orbitpick: out.ini: Permission denied\n", r.err);
  EXPECT_EQ(before, snapshot(home));
}

TEST_F(FaultTest, DestinationThatIsNotARegularFileIsOpenedByItsOwnName) {
  for (const char* output : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    SCOPED_TRACE(output);
    int pipe_fds[2];
    ASSERT_EQ(0, pipe2(pipe_fds, O_CLOEXEC));
    const int pid = test::start_orbitpick_with(
        {"list.csv", "MPCORB.DAT", output}, dir.dir(), [&] {
          if (dup2(pipe_fds[1], 1) != 1) _exit(126);
        });
    close(pipe_fds[1]);
    const std::string out = read_to_end(pipe_fds[0]);
    close(pipe_fds[0]);
    const test::RunResult r = finish_orbitpick(pid, dir.dir());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0u, out.find("\n begin\n\n" + listed_sections() +
                           end_of_processing(2)));
    EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
  }
}

TEST_F(FaultTest, OutputNamesAtTheLimitsOfTheFileSystem) {
  if (pathconf(dir.dir().c_str(), _PC_NAME_MAX) != 255) {
    GTEST_SKIP() << "the cases are for file names of at most 255 bytes";
  }
  // The temporary name adds 14 bytes to the destination's: from 242 bytes
  // on, it must be cut.
  struct Case {
    std::string output;
    std::string err;  // empty: the run succeeds
  };
  const std::string long_name(251, 'x');
  const std::vector<Case> cases = {
      {"", "orbitpick: the output path is empty\n"},
      {std::string(238, 'x') + ".ini", ""},
      {long_name + ".ini", ""},
      {long_name + "y.ini",
       "orbitpick: " + long_name + "y.ini: File name too long\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output.size());
    const auto before = snapshot(dir.dir());
    const test::RunResult r =
        run_orbitpick({"list.csv", "MPCORB.DAT", c.output}, dir.dir());
    EXPECT_EQ(c.err, r.err);
    if (c.err.empty()) {
      EXPECT_EQ(0, r.status);
      EXPECT_EQ(listed_sections(), read_file(dir.path(c.output)));
      fs::remove(dir.path(c.output));
    } else {
      EXPECT_EQ(1, r.status);
      EXPECT_EQ("", r.out);
    }
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, ReportReaderGoingAwayLosesOnlyTheReport) {
  IgnoreSigpipe ignore_sigpipe;
  const std::string header = catalogue_header();
  const std::string rest =
      read_file(dir.path("MPCORB.DAT")).substr(header.size());
  // Gone before the first line (`| head -c0`), or after the first lines
  // (`| head -n 3`), with the catalogue on standard input held back until
  // then.
  for (const bool reads_first_lines : {false, true}) {
    SCOPED_TRACE(reads_first_lines);
    write_file(dir.path("out.ini"), kOldIni);
    int report[2];
    int feed[2];
    ASSERT_EQ(0, pipe2(report, O_CLOEXEC));
    ASSERT_EQ(0, pipe2(feed, O_CLOEXEC));
    const int pid = test::start_orbitpick_with(
        {"list.csv", "-", "out.ini"}, dir.dir(), [&] {
          if (dup2(feed[0], 0) != 0 || dup2(report[1], 1) != 1) _exit(126);
        });
    close(feed[0]);
    close(report[1]);
    if (!reads_first_lines) close(report[0]);
    EXPECT_TRUE(write_all(feed[1], header));
    if (reads_first_lines) {
      std::string seen;
      char c;
      while (seen.find(" begin\n\n") == std::string::npos &&
             read(report[0], &c, 1) == 1) {
        seen += c;
      }
      EXPECT_EQ("\n begin\n\n", seen);
      close(report[0]);
    }
    EXPECT_TRUE(write_all(feed[1], rest));
    close(feed[1]);
    const test::RunResult r = finish_orbitpick(pid, dir.dir());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(listed_sections(), read_file(dir.path("out.ini")));
    EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "list.csv", "out.ini"}),
              list_dir(dir.dir()));
  }
}

TEST_F(FaultTest, EverySignalThatEndsTheRunRemovesTheTemporaryFile) {
  IgnoreSigpipe ignore_sigpipe;
  // No core files in the directory from the signals that dump one.
  rlimit old_core;
  ASSERT_EQ(0, getrlimit(RLIMIT_CORE, &old_core));
  rlimit no_core = old_core;
  no_core.rlim_cur = 0;
  ASSERT_EQ(0, setrlimit(RLIMIT_CORE, &no_core));
  for (const int sig : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU,
                        SIGPROF, static_cast<int>(SIGRTMIN)}) {
    SCOPED_TRACE(sig);
    int fifo = -1;
    const int pid = start_stalled_run(dir, stalling_catalogue(), &fifo);
    ASSERT_GT(pid, 0) << "the run did not reach its first write";
    ASSERT_EQ(0, kill(pid, sig));
    close(fifo);
    const test::RunResult r = finish_orbitpick(pid, dir.dir());
    EXPECT_EQ(128 + sig, r.status);
    EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
    EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "feed.dat", "list.csv",
                                        "out.ini"}),
              list_dir(dir.dir()));
    fs::remove(dir.path("feed.dat"));
  }
  setrlimit(RLIMIT_CORE, &old_core);

  // `ulimit -f` with SIGXFSZ left to its default, which would kill the run.
  write_file(dir.path("MPCORB.DAT"), matching_catalogue(300));
  const auto limit_file_size = [] {
    const rlimit limit = {4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
  };
  const test::RunResult r = finish_orbitpick(
      test::start_orbitpick_with({"list.csv", "MPCORB.DAT", "out.ini"},
                                 dir.dir(), limit_file_size),
      dir.dir());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("orbitpick: out.ini: File too large\n", r.err);
  EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
  EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "list.csv", "out.ini"}),
            list_dir(dir.dir()));
}

TEST_F(FaultTest, RunningOutOfMemoryIsAnErrorNamingTheInput) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space "
                  "limit";
#endif
  // /dev/zero has no line feed: the reading buffer grows until the
  // address-space limit refuses it, long before the 1 GiB line limit.
  constexpr rlim_t kAddressSpace = rlim_t{64} << 20;
  ASSERT_EQ(0, symlink("/dev/zero", dir.path("zero.csv").c_str()));
  ASSERT_EQ(0, symlink("/dev/zero", dir.path("zero.dat").c_str()));
  for (const auto& [list, catalogue] :
       std::vector<std::pair<std::string, std::string>>{
           {"zero.csv", "MPCORB.DAT"}, {"list.csv", "zero.dat"}}) {
    const std::string input = list == "zero.csv" ? list : catalogue;
    SCOPED_TRACE(input);
    const auto before = snapshot(dir.dir());
    const auto limit_memory = [] {
      const rlimit limit = {kAddressSpace, kAddressSpace};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    };
    const test::RunResult r = finish_orbitpick(
        test::start_orbitpick_with({list, catalogue, "out.ini"}, dir.dir(),
                                   limit_memory),
        dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("orbitpick: " + input + ": Cannot allocate memory\n", r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, CatalogueFromATerminalIsRefused) {
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0 ||
      ptsname(terminal) == nullptr) {
    GTEST_SKIP() << "no pseudo-terminal";
  }
  const std::string name = ptsname(terminal);
  const int pid =
      test::start_orbitpick_with({"list.csv", "-", "out.ini"}, dir.dir(), [&] {
        const int fd = open(name.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || dup2(fd, 0) != 0) _exit(126);
      });
  // Ends of file typed at the terminal, one for each read a program that
  // reads it makes, so that it ends rather than wait.
  EXPECT_TRUE(write_all(terminal, "\x04\x04\x04\x04"));
  const test::RunResult r = finish_orbitpick(pid, dir.dir());
  close(terminal);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ(
      "orbitpick: -: the catalogue is not read from a terminal; redirect it "
      "(< MPCORB.DAT) or name its file\n",
      r.err);
  EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
}

// The third round: a hostile or unlucky user's inputs and neighbours.

// True when "text" holds a byte that a terminal takes as a control (a line
// feed ends a message and is allowed).
bool holds_terminal_control(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
      return true;
    }
  }
  return false;
}

TEST_F(FaultTest, ControlBytesInMessagesAreShownEscaped) {
  // Names from the list, designations from the catalogue and paths from
  // the command line, each holding what retitles a window, clears the
  // screen or rings the bell.
  const std::string clear_name = catalogue_line(5, "Zed\x1b[2J");
  struct Case {
    std::string list;
    std::string list_path;
    std::string shown;  // in stderr, escaped
  };
  const std::vector<Case> cases = {
      {"\"Name\"\n\"\x1b]0;owned\x07\"\n", "list.csv",
       "orbitpick: list.csv:2: \"\\x1b]0;owned\\x07\" is in no catalogue "
       "line\n"},
      {"\"Name\"\n\"\xc2\x9b" "2J\x7f\"\n", "list.csv",
       "orbitpick: list.csv:2: \"\\xc2\\x9b2J\\x7f\" is in no catalogue "
       "line\n"},
      {"\"Name\"\n\"Zed\"\n", "list.csv",
       "\"Zed\" is in 2 catalogue lines ((5) Zed\\x1b[2J, (5) Zed\\x1b[2J)"},
      {"", "\x1b[2Jlist\r.csv",
       "orbitpick: \\x1b[2Jlist\\x0d.csv: No such file or directory\n"},
  };
  write_file(dir.path("MPCORB.DAT"), catalogue_header() + clear_name + "\n" +
                                         clear_name + "\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    if (!c.list.empty()) write_file(dir.path(c.list_path), c.list);
    const test::RunResult r = run_orbitpick(
        {c.list_path, "MPCORB.DAT", "new.ini"}, dir.dir());
    EXPECT_NE(std::string::npos, r.err.find(c.shown)) << r.err;
    EXPECT_FALSE(holds_terminal_control(r.err)) << r.err;
    fs::remove(dir.path("new.ini"));
  }
}

// Waits at most "seconds" for the run "pid", then kills it; *in_time says
// whether it ended by itself. A run that hangs fails the test, not the suite.
test::RunResult finish_within(int pid, const std::string& dir, int seconds,
                              bool* in_time) {
  *in_time = false;
  for (int waited = 0; waited < seconds * 100; ++waited) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info,
               WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid) {
      *in_time = true;
      break;
    }
    usleep(10 * 1000);
  }
  if (!*in_time) kill(pid, SIGKILL);
  return finish_orbitpick(pid, dir);
}

TEST_F(FaultTest, FileOrFifoPlantedInASharedDirectoryIsRefused) {
  uid_t other = 0;
  gid_t other_group = 0;
  std::string why;
  if (!unprivileged_user(&other, &other_group, &why)) GTEST_SKIP() << why;
  // As with links: "tmp" is like /tmp, ours; "theirs" is a sticky
  // world-writable directory of the other user.
  for (const char* shared : {"tmp", "theirs"}) {
    ASSERT_EQ(0, mkdir(dir.path(shared).c_str(), 0777));
    ASSERT_EQ(0, chmod(dir.path(shared).c_str(), 01777));
  }
  ASSERT_EQ(0, chown(dir.path("theirs").c_str(), other, other_group));
  struct Case {
    std::string output;
    bool fifo;
    uid_t owner;
    std::string refusal;  // empty: written
  };
  const std::vector<Case> cases = {
      {"tmp/planted.ini", false, other, "replace a file"},
      {"tmp/planted.fifo", true, other, "write into a FIFO"},
      {"tmp/mine.ini", false, 0, ""},
      {"theirs/owner.ini", false, other, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    if (c.fifo) {
      ASSERT_EQ(0, mkfifo(dir.path(c.output).c_str(), 0666));
    } else {
      write_file(dir.path(c.output), kOldIni);
    }
    ASSERT_EQ(0, chown(dir.path(c.output).c_str(), c.owner, other_group));
    ASSERT_EQ(0, chmod(dir.path(c.output).c_str(), 0666));
    const auto before = snapshot(dir.dir());
    bool in_time = false;
    const test::RunResult r = finish_within(
        start_orbitpick({"list.csv", "MPCORB.DAT", c.output}, dir.dir()),
        dir.dir(), 20, &in_time);
    EXPECT_TRUE(in_time) << "the run hung on opening its output";
    struct stat st;
    ASSERT_EQ(0, lstat(dir.path(c.output).c_str(), &st));
    EXPECT_EQ(c.owner, st.st_uid);
    if (c.refusal.empty()) {
      EXPECT_EQ(0, r.status);
      EXPECT_EQ(listed_sections(), read_file(dir.path(c.output)));
    } else {
      EXPECT_EQ(1, r.status);
      EXPECT_EQ("orbitpick: " + c.output + ": refusing to " + c.refusal +
                    " owned by another user in a sticky world-writable "
                    "directory\n",
                r.err);
      EXPECT_EQ(before, snapshot(dir.dir()));
    }
  }
}

TEST_F(FaultTest, FifoWithoutAReaderFailsAtOnce) {
  // Opened for writing, a FIFO nobody reads would hold the run forever.
  ASSERT_EQ(0, mkfifo(dir.path("out.fifo").c_str(), 0600));
  const auto before = snapshot(dir.dir());
  bool in_time = false;
  const test::RunResult r = finish_within(
      start_orbitpick({"list.csv", "MPCORB.DAT", "out.fifo"}, dir.dir()),
      dir.dir(), 20, &in_time);
  EXPECT_TRUE(in_time) << "the run hung on opening its output";
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("orbitpick: out.fifo: is a FIFO that no process is reading\n",
            r.err);
  EXPECT_EQ(before, snapshot(dir.dir()));
}

TEST_F(FaultTest, TemporaryFileIsPrivateUntilItsRename) {
  IgnoreSigpipe ignore_sigpipe;
  const mode_t old_mask = umask(022);
  // Replacing a 0644 file, and making a new one: both 0644 at the end, but
  // nobody else may read the temporary file while the run writes it.
  for (const bool replacing : {true, false}) {
    SCOPED_TRACE(replacing);
    if (!replacing) fs::remove(dir.path("out.ini"));
    int fifo = -1;
    const int pid = start_stalled_run(dir, stalling_catalogue(), &fifo);
    ASSERT_GT(pid, 0) << "the run did not reach its first write";
    const std::string temp = wait_for_temp_file(pid, dir.dir(), "out.ini");
    struct stat st;
    EXPECT_EQ(0, stat(dir.path(temp).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    close(fifo);
    const test::RunResult r = finish_orbitpick(pid, dir.dir());
    EXPECT_EQ(0, r.status);
    ASSERT_EQ(0, stat(dir.path("out.ini").c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 07777);
    fs::remove(dir.path("feed.dat"));
  }
  umask(old_mask);
}

TEST_F(FaultTest, DirectoryIsSyncedAfterTheRename) {
  // A rename is on the disk only once its directory is: the trace must show
  // the directory synced after it.
  if (std::system("strace -V >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no strace to watch the system calls";
  }
  const std::string command =
      "cd '" + dir.dir() +
      "' && strace -f -y -o trace.txt -e trace=fsync,rename,renameat,"
      "renameat2 " ORBITPICK_BINARY
      " list.csv MPCORB.DAT out.ini >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  const std::string trace = read_file(dir.path("trace.txt"));
  if (trace.find("rename") == std::string::npos) {
    GTEST_SKIP() << "strace cannot trace here (status " << status << ")";
  }
  EXPECT_EQ(listed_sections(), read_file(dir.path("out.ini")));
  // "fsync(4</dir>)", or "fsync(4</dir> <unfinished ...>" when another
  // thread's call comes between.
  const std::size_t rename_at = trace.find("rename");
  const std::size_t dir_sync =
      trace.find("fsync(", rename_at) == std::string::npos
          ? std::string::npos
          : trace.find("<" + fs::canonical(dir.dir()).string() + ">",
                       trace.find("fsync(", rename_at));
  EXPECT_NE(std::string::npos, dir_sync) << trace;
}

TEST_F(FaultTest, MisplacedOrRepeatedOptionIsAUsageError) {
  // Taken silently, each of these would replace the planetarium's file or
  // read a file the user did not mean.
  write_file(dir.path("a.txt"), "");
  write_file(dir.path("b.txt"), "");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::string after =
      " after the three paths; options go before them; see orbitpick --help\n";
  const std::vector<Case> cases = {
      {{"list.csv", "MPCORB.DAT", "out.ini", "--merge"},
       "orbitpick: option --merge" + after},
      {{"list.csv", "MPCORB.DAT", "out.ini", "extra", "--base=a.txt"},
       "orbitpick: option --base=a.txt" + after},
      {{"list.csv", "MPCORB.DAT", "out.ini", "-h"},
       "orbitpick: option -h" + after},
      {{"--", "list.csv", "MPCORB.DAT", "out.ini", "--exact"},
       "orbitpick: option --exact" + after},
      {{"--comets", "a.txt", "--comets", "b.txt", "list.csv", "MPCORB.DAT",
        "out.ini"},
       "orbitpick: option --comets given twice; see orbitpick --help\n"},
      {{"--base=a.txt", "list.csv", "--base", "b.txt", "MPCORB.DAT",
        "out.ini"},
       "orbitpick: option --base given twice; see orbitpick --help\n"},
  };
  const auto before = snapshot(dir.dir());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const test::RunResult r = run_orbitpick(c.args, dir.dir());
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, ListNamedDashIsNotTakenForStandardInput) {
  // The list "-" is a file (only a catalogue "-" reads standard input): an
  // output of the same name, however spelled, would overwrite it.
  write_file(dir.path("-"), read_file(dir.path("list.csv")));
  for (const std::string output : {"-", "./-"}) {
    SCOPED_TRACE(output);
    const auto before = snapshot(dir.dir());
    const test::RunResult r =
        run_orbitpick({"-", "MPCORB.DAT", output}, dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("orbitpick: " + output + ": is the same file as the input -\n",
              r.err);
    EXPECT_EQ(before, snapshot(dir.dir()));
  }
}

TEST_F(FaultTest, CatalogueLineCannotWriteIntoOtherSections) {
  // A CR ends a line for the planetarium and for --merge, so a name holding
  // "\r[4vesta]\r..." would rewrite another body's orbit and add keys; a
  // bracket cuts the section's name short. Such matched lines are skipped
  // with a warning; a tab is an ordinary blank. The comet line is the
  // MPC's CometEls.txt line of 1P/Halley (2026-02-13) with its name changed.
  write_file(dir.path("list.csv"),
             "\"Name\"\n\"Ceres\"\n\"Pallas\"\n\"Juno\"\n\"Hygiea\"\n"
             "\"Halley\"\n");
  const std::string hygiea = catalogue_line(10, "Hygiea\tX");
  write_file(dir.path("MPCORB.DAT"),
             catalogue_header() + catalogue_line(1, "Ceres\r[4vesta]\rhid") +
                 "\n" + catalogue_line(2, "Pallas]x") + "\n" +
                 catalogue_line(3, "Juno\x1b[2J") + "\n" + hygiea + "\n");
  write_file(dir.path("comets.txt"),
             "0001P         2061 08 10.6690  0.571790  0.967982  112.3617   "
             "59.4631  162.1654  20260213   5.5  3.2  1P/Halley\r[1ceres]\r"
             "hidden=true                 MPEC 2025-W75\n");
  const test::RunResult r = run_orbitpick(
      {"--comets", "comets.txt", "list.csv", "MPCORB.DAT", "out.ini"},
      dir.dir());
  EXPECT_EQ(0, r.status);
  const std::string control =
      ": control byte in a field written to the INI file; line skipped\n";
  EXPECT_EQ("orbitpick: MPCORB.DAT:44" + control +
                "orbitpick: MPCORB.DAT:45: square bracket in the designation, "
                "which names the section; line skipped\n"
                "orbitpick: MPCORB.DAT:46" +
                control + "orbitpick: comets.txt:1" + control,
            r.err);
  EXPECT_EQ(section_of(hygiea), read_file(dir.path("out.ini")));
}

TEST_F(FaultTest, CometFileMemoryFollowsItsCometLines) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space "
                  "limit";
#endif
  // 160 MiB of empty lines after one comet line (the MPC's CometEls.txt
  // line of 1P/Halley, 2026-02-13), in a gzip of a few hundred KB: the run
  // must fit in 128 MiB of address space, by substrings and by whole
  // designations.
  constexpr rlim_t kAddressSpace = rlim_t{128} << 20;
  const std::string halley =
      "0001P         2061 08 10.6690  0.571790  0.967982  112.3617   59.4631  "
      "162.1654  20260213   5.5  3.2  1P/Halley                            "
      "                    MPEC 2025-W75";
  write_file(dir.path("comets.gz"),
             gzip(halley + "\n" + std::string(std::size_t{160} << 20, '\n'),
                  1));
  write_file(dir.path("list.csv"), "\"Name\"\n\"Ceres\"\n\"1P\"\n");
  for (const bool exact : {false, true}) {
    SCOPED_TRACE(exact);
    std::vector<std::string> args = {"--comets", "comets.gz", "list.csv",
                                     "MPCORB.DAT", "out.ini"};
    if (exact) args.insert(args.begin(), "--exact");
    const auto limit_memory = [] {
      const rlimit limit = {kAddressSpace, kAddressSpace};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    };
    const test::RunResult r = finish_orbitpick(
        test::start_orbitpick_with(args, dir.dir(), limit_memory), dir.dir());
    EXPECT_EQ(0, r.status) << r.err;
    const std::string ini = read_file(dir.path("out.ini"));
    EXPECT_EQ(0u, ini.find(section_of(catalogue_line(1, "Ceres"))));
    EXPECT_NE(std::string::npos, ini.find("[1phalley]\n"));
  }
}

TEST_F(FaultTest, EndlessOrHugeBaseFailsAtOnce) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space "
                  "limit";
#endif
  // /dev/zero is refused at its first block; a file (sparse here) of more
  // than 1 GiB before it is read. The address-space limit keeps a run that
  // reads on from taking the machine's memory.
  constexpr rlim_t kAddressSpace = rlim_t{512} << 20;
  for (const char* name : {"big.ini", "out.ini"}) {
    const int fd = open(dir.path(name).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_LE(0, fd);
    ASSERT_EQ(0, ftruncate(fd, off_t{2} << 30));
    close(fd);
  }
  struct Case {
    std::vector<std::string> options;
    std::string err;
  };
  const std::string huge =
      ": larger than 1073741824 bytes, more than any INI file holds\n";
  const std::vector<Case> cases = {
      {{"--base", "/dev/zero"},
       "orbitpick: /dev/zero: holds a NUL byte at offset 0: not a text "
       "file\n"},
      {{"--base", "big.ini"}, "orbitpick: big.ini" + huge},
      {{"--merge"}, "orbitpick: out.ini" + huge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args = c.options;
    for (const char* path : {"list.csv", "MPCORB.DAT", "out.ini"}) {
      args.push_back(path);
    }
    const auto limit_memory = [] {
      const rlimit limit = {kAddressSpace, kAddressSpace};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    };
    bool in_time = false;
    const test::RunResult r = finish_within(
        test::start_orbitpick_with(args, dir.dir(), limit_memory), dir.dir(),
        60, &in_time);
    EXPECT_TRUE(in_time);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ((off_t{2} << 30), static_cast<off_t>(
                                    fs::file_size(dir.path("out.ini"))));
  }
}

TEST_F(FaultTest, ErrorEndsTheRunWhileStandardInputStalls) {
  // Standard input is a pipe that sends nothing and stays open: an error
  // found in the other inputs must end the run at once, not once the pipe
  // closes (the list is checked before standard input is waited for, and
  // the thread reading it ahead is not waited for).
  write_file(dir.path("empty.dat"), "");
  struct Case {
    std::vector<std::string> args;
    std::string err;  // how the one message starts
  };
  const std::vector<Case> cases = {
      {{"empty.csv", "-", "out.ini"}, "orbitpick: empty.csv: no object names"},
      {{"--comets", "-", "list.csv", "empty.dat", "out.ini"},
       "orbitpick: empty.dat: no orbit lines"},
  };
  write_file(dir.path("empty.csv"), "\"Name\"\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    int feed[2];
    ASSERT_EQ(0, pipe2(feed, O_CLOEXEC));
    const int pid = test::start_orbitpick_with(c.args, dir.dir(), [&] {
      if (dup2(feed[0], 0) != 0) _exit(126);
    });
    close(feed[0]);
    bool in_time = false;
    const test::RunResult r = finish_within(pid, dir.dir(), 20, &in_time);
    close(feed[1]);
    EXPECT_TRUE(in_time) << "the run waited for standard input";
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.err.rfind(c.err, 0)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n'));
    EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
    EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "empty.csv",
                                        "empty.dat", "list.csv", "out.ini"}),
              list_dir(dir.dir()));
  }
}

// Waits until the run "pid", started in "dir", has printed " begin": its
// base is read and its output locked. False when it ends first.
bool wait_for_begin(int pid, const std::string& dir) {
  for (int i = 0; i < 2000; ++i) {
    std::error_code ec;
    if (fs::exists(dir + "/.stdout", ec) &&
        read_file(dir + "/.stdout").find(" begin\n") != std::string::npos) {
      return true;
    }
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info,
               WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid) {
      return false;
    }
    usleep(10 * 1000);
  }
  return false;
}

TEST_F(FaultTest, MergeLocksItsOutputAndRenamesOnlyOverWhatItRead) {
  IgnoreSigpipe ignore_sigpipe;
  // Run A merges while its catalogue stalls in a FIFO; meanwhile a second
  // merge is refused, and a change made by another program (in place, by
  // a rename, or a file made where there was none) makes A refuse to
  // rename its stale copy over it.
  fs::create_directory(dir.path("b"));
  write_file(dir.path("b/list.csv"), "\"Name\"\n\"Eros\"\n");
  const std::string header = catalogue_header();
  const std::string rest =
      read_file(dir.path("MPCORB.DAT")).substr(header.size());
  const std::string changed = "[433eros]\nname = edited meanwhile\n";
  const std::string refusal =
      "orbitpick: out.ini: changed since it was read (by another program or "
      "run); not replaced, so that no change is lost\n";
  enum Meanwhile { kSecondMerge, kEditInPlace, kRenameOver, kCreate };
  for (const Meanwhile meanwhile :
       {kSecondMerge, kEditInPlace, kRenameOver, kCreate}) {
    SCOPED_TRACE(meanwhile);
    if (meanwhile == kCreate) {
      fs::remove(dir.path("out.ini"));
    } else {
      write_file(dir.path("out.ini"), kOldIni);
    }
    ASSERT_EQ(0, mkfifo(dir.path("feed.dat").c_str(), 0600));
    const int pid = start_orbitpick({"--merge", "list.csv", "feed.dat",
                                     "out.ini"},
                                    dir.dir());
    const int fifo = open_fifo_writer(pid, dir.path("feed.dat"));
    ASSERT_LE(0, fifo);
    EXPECT_TRUE(write_all(fifo, header));
    ASSERT_TRUE(wait_for_begin(pid, dir.dir()));
    if (meanwhile == kSecondMerge) {
      const test::RunResult b = run_orbitpick(
          {"--merge", "list.csv", "../MPCORB.DAT", "../out.ini"},
          dir.path("b"));
      EXPECT_EQ(1, b.status);
      EXPECT_EQ("orbitpick: ../out.ini: another run is merging into it; try "
                "again when that one has finished\n",
                b.err);
      EXPECT_EQ(kOldIni, read_file(dir.path("out.ini")));
    } else if (meanwhile == kRenameOver) {
      write_file(dir.path("b/new.ini"), changed);
      fs::rename(dir.path("b/new.ini"), dir.path("out.ini"));
    } else {
      write_file(dir.path("out.ini"), changed);
    }
    EXPECT_TRUE(write_all(fifo, rest));
    close(fifo);
    const test::RunResult a = finish_orbitpick(pid, dir.dir());
    if (meanwhile == kSecondMerge) {
      EXPECT_EQ(0, a.status) << a.err;
    } else {
      EXPECT_EQ(1, a.status);
      EXPECT_EQ(refusal, a.err);
      EXPECT_EQ(changed, read_file(dir.path("out.ini")));
    }
    fs::remove(dir.path("feed.dat"));
    EXPECT_EQ((std::vector<std::string>{"MPCORB.DAT", "b", "list.csv",
                                        "out.ini"}),
              list_dir(dir.dir()));
  }
}

TEST_F(FaultTest, MergeMemoryFollowsTheBaseNotTheSections) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space "
                  "limit";
#endif
  // 48 MiB of address space, where a plain run needs a few: 100,000
  // matching lines (56 MB of sections, one name) merged into no file, and
  // one section merged into a base of 100,000 "[1ceres]" lines (0.9 MB),
  // each of which gets its keys.
  constexpr rlim_t kAddressSpace = rlim_t{48} << 20;
  constexpr int kCopies = 100000;
  const std::string ceres = catalogue_line(1, "Ceres");
  std::string many = catalogue_header();
  many.reserve(many.size() + kCopies * (ceres.size() + 1));
  for (int i = 0; i < kCopies; ++i) many += ceres + "\n";
  write_file(dir.path("many.dat"), many);
  write_file(dir.path("one.dat"), catalogue_header() + ceres + "\n");
  std::string base;
  for (int i = 0; i < kCopies; ++i) base += "[1ceres]\n";
  write_file(dir.path("base.ini"), base);
  write_file(dir.path("list.csv"), "\"Name\"\n\"Ceres\"\n");
  struct Case {
    std::vector<std::string> args;
    std::size_t sections;  // in the result
  };
  const std::vector<Case> cases = {
      {{"--merge", "list.csv", "many.dat", "new.ini"}, 1},
      {{"--base", "base.ini", "list.csv", "one.dat", "new.ini"}, kCopies},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    fs::remove(dir.path("new.ini"));
    const auto limit_memory = [] {
      const rlimit limit = {kAddressSpace, kAddressSpace};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    };
    const test::RunResult r = finish_orbitpick(
        test::start_orbitpick_with(c.args, dir.dir(), limit_memory),
        dir.dir());
    EXPECT_EQ(0, r.status) << r.err;
    std::error_code ec;
    const std::string ini =
        fs::exists(dir.path("new.ini"), ec) ? read_file(dir.path("new.ini"))
                                            : std::string();
    std::size_t found = 0;
    for (std::size_t at = ini.find("orbit_Epoch"); at != std::string::npos;
         at = ini.find("orbit_Epoch", at + 1)) {
      ++found;
    }
    EXPECT_EQ(c.sections, found);
  }
}

}  // namespace
}  // namespace orbitpick
