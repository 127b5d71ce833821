// Helpers shared by the tests.

#include "test_util.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "conversion/catalogue.h"

namespace orbitpick {
namespace test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern =
      (fs::temp_directory_path() / "orbitpick-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void write_file(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string gzip(std::string_view data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string catalogue_line(long number, const std::string& name,
                           const std::string& epoch) {
  char head[200];
  std::snprintf(head, sizeof head,
                "%05ld    3.34  0.15 %-5.5s 188.70269   73.27343   80.25221   "
                "10.58780  0.0794013  0.21424651   2.7660512  0 E2024-V47  "
                "7330 125 1801-2024 0.80 M-v 30k MPCLINUX   0000 ",
                number % 100000, epoch.c_str());
  std::string line = head;
  line.resize(165, ' ');
  std::string designation;
  if (number > 0) designation = "(" + std::to_string(number) + ")";
  line += std::string(9 - std::min<std::size_t>(9, designation.size()), ' ') +
          designation + " " + name;
  line.resize(194, ' ');
  line += "20241101";
  return line;
}

std::string section_of(const std::string& line) {
  std::string out;
  write_section(line, &out);
  return out;
}

std::string catalogue_header() {
  std::string header;
  for (int i = 1; i <= 42; ++i) {
    header += "MPCORB header line " + std::to_string(i) + " (1) Ceres\n";
  }
  header += std::string(160, '-') + "\n";
  return header;
}

int start_orbitpick(const std::vector<std::string>& args,
                    const std::string& dir, const std::string& stdin_path,
                    const RunLimits& limits) {
  return start_orbitpick_with(args, dir, [&] {
    if (limits.file_size_limit >= 0) {
      // Ignored, SIGXFSZ turns a write past the limit into EFBIG.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {static_cast<rlim_t>(limits.file_size_limit),
                            static_cast<rlim_t>(limits.file_size_limit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    const int in = open(stdin_path.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, 0) != 0) _exit(126);
    if (in != 0) close(in);
  });
}

RunResult finish_orbitpick(int pid, const std::string& dir) {
  const std::string out_path = dir + "/.stdout";
  const std::string err_path = dir + "/.stderr";
  RunResult result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.status =
      WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  fs::remove(out_path);
  fs::remove(err_path);
  return result;
}

bool wait_readable_or_exit(int fd, int pid) {
  // A pidfd turns the child's end into an event poll() can wait on with
  // "fd", so no test has to guess how long a loaded machine may take.
  const int exit_fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (exit_fd < 0) return false;  // already reaped: it has ended
  pollfd fds[2] = {{fd, POLLIN, 0}, {exit_fd, POLLIN, 0}};
  while (poll(fds, 2, -1) < 0 && errno == EINTR) {
  }
  close(exit_fd);
  return fds[0].revents != 0;
}

std::string without_credit(const std::string& out) {
  if (out.size() < 2) return "";
  const std::size_t end = out.rfind('\n', out.size() - 2);
  return end == std::string::npos ? "" : out.substr(0, end + 1);
}

RunResult run_orbitpick(const std::vector<std::string>& args,
                        const std::string& dir, const std::string& stdin_path) {
  return finish_orbitpick(start_orbitpick(args, dir, stdin_path), dir);
}

int start_orbitpick_with(const std::vector<std::string>& args,
                         const std::string& dir,
                         const std::function<void()>& in_child) {
  const std::string out_path = dir + "/.stdout";
  const std::string err_path = dir + "/.stderr";
  std::string binary = ORBITPICK_BINARY;
  std::vector<std::string> copies = args;
  std::vector<char*> argv = {binary.data()};
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    // Every signal as a new process from a plain shell would have it.
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : {in, out, err}) {
      if (fd > 2) close(fd);
    }
    in_child();
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

}  // namespace test
}  // namespace orbitpick
