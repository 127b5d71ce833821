// Helpers shared by the tests: scratch directories, files, catalogue lines
// and running the built program.

#ifndef ORBITPICK_TESTS_TEST_UTIL_H_
#define ORBITPICK_TESTS_TEST_UTIL_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "input/line_reader.h"
#include "scripted_reader.h"

namespace orbitpick {
namespace test {

/// A fresh directory, removed with everything in it at the end of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view data);
/// Names of the entries in "dir", sorted.
std::vector<std::string> list_dir(const std::string& dir);

/// A 202-byte catalogue line in the published column layout. "number" is
/// the object's number (0: unnumbered) and "name" its name or provisional
/// designation, from offset 175.
std::string catalogue_line(long number, const std::string& name,
                           const std::string& epoch = "K2555");

/// The section orbitpick writes for the catalogue line "line" by default.
std::string section_of(const std::string& line);

/// The 43-line catalogue header.
std::string catalogue_header();

/// One gzip member holding "data", compressed by zlib at "level".
std::string gzip(std::string_view data, int level = -1);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

/// The console report "out" without its last line, the credit, whose text
/// is free to change.
std::string without_credit(const std::string& out);

/// Runs the built orbitpick with "args" in "dir", standard input from
/// "stdin_path" (or /dev/null), and returns what it printed.
RunResult run_orbitpick(const std::vector<std::string>& args,
                        const std::string& dir,
                        const std::string& stdin_path = "/dev/null");

/// Limits for a run started with start_orbitpick.
struct RunLimits {
  // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored so that a write past it
  // fails with EFBIG; -1: no limit.
  long file_size_limit = -1;
};

/// Starts the built orbitpick as run_orbitpick does, without waiting for it,
/// and returns its process id (for kill()).
int start_orbitpick(const std::vector<std::string>& args,
                    const std::string& dir,
                    const std::string& stdin_path = "/dev/null",
                    const RunLimits& limits = RunLimits());

/// Waits for a run started in "dir" and returns what it printed.
RunResult finish_orbitpick(int pid, const std::string& dir);

/// Waits, with no time limit, until "fd" is readable (or at its end) or the
/// child process "pid" has ended, whichever comes first; true for "fd". The
/// child is not reaped: finish_orbitpick still gets its status.
bool wait_readable_or_exit(int fd, int pid);

/// Starts the built orbitpick as start_orbitpick does, and calls "in_child"
/// in the new process just before the program replaces it: to close or
/// replace descriptors, set limits or give up privileges. "in_child" may use
/// only async-signal-safe calls, and ends the process with _exit(126) when
/// a step fails.
int start_orbitpick_with(const std::vector<std::string>& args,
                         const std::string& dir,
                         const std::function<void()>& in_child);

}  // namespace test
}  // namespace orbitpick

#endif  // ORBITPICK_TESTS_TEST_UTIL_H_
