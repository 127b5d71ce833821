// Writing the INI file so that it appears whole or not at all.

#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace orbitpick {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // as the kernel's own limit
constexpr int kNameTries = 100;

// The temporary file's name, for the signal handler: an interrupted run
// removes it and leaves only the old destination behind.
char g_temp_name[4096];
std::atomic<bool> g_temp_live{false};

#if !defined(_WIN32)
extern "C" void remove_temp_and_die(int sig) {
  if (g_temp_live.load()) unlink(g_temp_name);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}
#endif

void watch_temp(const fs::path& temp) {
  const std::string name = temp.string();
  if (name.size() >= sizeof g_temp_name) return;
  std::memcpy(g_temp_name, name.c_str(), name.size() + 1);
  g_temp_live.store(true);
#if !defined(_WIN32)
  static bool installed = false;
  if (!installed) {
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      struct sigaction old;
      sigaction(sig, nullptr, &old);
      if (old.sa_handler == SIG_IGN) continue;  // keep a parent's choice
      std::signal(sig, remove_temp_and_die);
    }
  }
#endif
}

void unwatch_temp() { g_temp_live.store(false); }

// Creates a new file that did not exist before, readable and writable by
// all as the umask allows. Null with errno set on failure.
std::FILE* create_new_file(const fs::path& path) {
#if defined(_WIN32)
  const int fd =
      _open(path.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
            _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
#else
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
#endif
  return file;
}

// Resolves the symbolic links at "path" (a link stays a link: its target is
// what gets replaced). Fails on a loop of links.
bool resolve_output_path(const std::string& path, fs::path* target,
                         Error* err) {
  fs::path p = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) {
      *target = p;
      return true;
    }
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) return fail(err, ec.message());
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  return fail(err, std::strerror(ELOOP));
}

}  // namespace

bool check_output_is_not_input(const std::string& output,
                               const std::string& input, Error* err) {
  std::error_code ec;
  if (!fs::is_regular_file(output, ec)) return true;
  if (fs::equivalent(output, input, ec) && !ec) {
    return fail(err, output, "is the same file as the input " + input);
  }
  return true;
}

bool open_output(const std::string& path, OutputFile* out, Error* err) {
  *out = OutputFile();
  out->path = path;
  err->path = path;
  if (!resolve_output_path(path, &out->target, err)) return false;
  std::error_code ec;
  const fs::file_status status = fs::status(out->target, ec);
  if (fs::is_directory(status)) return fail(err, std::strerror(EISDIR));
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    errno = 0;
    out->file = std::fopen(path.c_str(), "wb");
    if (out->file == nullptr) {
      return fail(err, std::strerror(errno != 0 ? errno : EACCES));
    }
    std::setvbuf(out->file, nullptr, _IONBF, 0);
    return true;
  }

  const fs::path dir =
      out->target.has_parent_path() ? out->target.parent_path() : fs::path(".");
  std::random_device entropy;
  std::mt19937 pick(entropy());
  for (int i = 0; i < kNameTries; ++i) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp",
                  static_cast<unsigned>(pick()));
    const fs::path temp =
        dir / ("." + out->target.filename().string() + suffix);
    errno = 0;
    out->file = create_new_file(temp);
    if (out->file != nullptr) {
      out->temp = temp;
      watch_temp(temp);
      break;
    }
    if (errno != EEXIST) {
      return fail(err, std::strerror(errno != 0 ? errno : EACCES));
    }
  }
  if (out->file == nullptr) return fail(err, std::strerror(EEXIST));
  std::setvbuf(out->file, nullptr, _IONBF, 0);
#if !defined(_WIN32)
  if (fs::is_regular_file(status)) {
    struct stat st;
    if (stat(out->target.c_str(), &st) == 0) {
      fchmod(fileno(out->file), st.st_mode & 07777);
    }
  }
#endif
  return true;
}

bool write_output(OutputFile* out, std::string_view data, Error* err) {
  if (data.empty()) return true;
  errno = 0;
  if (std::fwrite(data.data(), 1, data.size(), out->file) != data.size()) {
    return fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  }
  return true;
}

bool commit_output(OutputFile* out, Error* err) {
  errno = 0;
  bool ok = std::fflush(out->file) == 0;
#if !defined(_WIN32)
  // The new contents must be on the disk before the name points at them.
  if (ok && !out->temp.empty() && fsync(fileno(out->file)) != 0) ok = false;
#endif
  if (!ok) fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  errno = 0;
  if (std::fclose(out->file) != 0 && ok) {
    ok = fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  }
  out->file = nullptr;
  if (ok && !out->temp.empty()) {
    std::error_code ec;
    fs::rename(out->temp, out->target, ec);
    if (ec) ok = fail(err, out->path, ec.message());
  }
  if (!ok) {
    discard_output(out);
    return false;
  }
  unwatch_temp();
  out->temp.clear();
  return true;
}

void discard_output(OutputFile* out) {
  if (out->file != nullptr) {
    std::fclose(out->file);
    out->file = nullptr;
  }
  if (!out->temp.empty()) {
    std::error_code ec;
    fs::remove(out->temp, ec);
    unwatch_temp();
    out->temp.clear();
  }
}

}  // namespace orbitpick
