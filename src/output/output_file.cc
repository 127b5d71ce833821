// Writing the INI file so that it appears whole or not at all.

#include "output/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/file_path.h"
#include "base/process.h"
#include "output/output_lock.h"

namespace orbitpick {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // as the kernel's own limit
constexpr int kNameTries = 100;
// What the temporary name adds to the destination's: "." and ".XXXXXXXX.tmp".
constexpr std::size_t kTempNameExtra = 14;
constexpr std::size_t kDefaultNameMax = 255;

// Creates a new file that did not exist before, readable and writable by
// its owner only: it is widened to its final mode just before its rename,
// so that nobody reads a result that is to be private while it is written.
// Null with errno set on failure.
std::FILE* create_new_file(const fs::path& path) {
#if defined(_WIN32)
  const int fd =
      _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
            _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
#else
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
#endif
  return file;
}

// The kernel's protected-symlinks, protected-regular and protected-FIFO
// rules, which it applies only to what it opens itself: in a sticky
// world-writable directory such as /tmp, where anyone may plant a link, a
// file or a FIFO, one is used only when it belongs to the caller or to the
// directory's owner. Fails, saying what "entry" is, when it is refused.
bool may_use_entry(const fs::path& entry, Error* err) {
#if !defined(_WIN32)
  const fs::path dir = entry.has_parent_path() ? entry.parent_path() : ".";
  struct stat entry_st;
  struct stat dir_st;
  if (lstat(entry.c_str(), &entry_st) != 0) {
    return errno == ENOENT || fail(err, std::strerror(errno));
  }
  if (stat(dir.c_str(), &dir_st) != 0) return fail(err, std::strerror(errno));
  const bool shared = (dir_st.st_mode & S_ISVTX) && (dir_st.st_mode & S_IWOTH);
  if (!shared || entry_st.st_uid == geteuid() ||
      entry_st.st_uid == dir_st.st_uid) {
    return true;
  }
  const char* what = S_ISLNK(entry_st.st_mode)   ? "follow a symbolic link"
                     : S_ISREG(entry_st.st_mode) ? "replace a file"
                     : S_ISFIFO(entry_st.st_mode) ? "write into a FIFO"
                                                  : nullptr;
  if (what != nullptr) {
    return fail(err, std::string("refusing to ") + what +
                         " owned by another user in a sticky "
                         "world-writable directory");
  }
#else
  (void)entry;
  (void)err;
#endif
  return true;
}

// Resolves the symbolic links at "path" (a link stays a link: its target is
// what gets replaced). Fails on a loop of links and on a link that the
// kernel's protected-symlinks rule would not follow.
bool resolve_output_path(const std::string& path, fs::path* target,
                         Error* err) {
  fs::path p = file_path(path);
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) {
      *target = p;
      return may_use_entry(p, err);
    }
    if (!may_use_entry(p, err)) return false;
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) return fail(err, ec.message());
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  return fail(err, std::strerror(ELOOP));
}

// The start of the temporary file's name: the destination's name, cut so
// that the whole temporary name fits the directory's file system, at a
// character's start.
fs::path::string_type temp_stem(const fs::path& dir, const fs::path& target) {
  std::size_t name_max = kDefaultNameMax;
#if !defined(_WIN32)
  const long limit = pathconf(dir.c_str(), _PC_NAME_MAX);
  if (limit > 0) name_max = static_cast<std::size_t>(limit);
#else
  (void)dir;
#endif
  fs::path::string_type stem = target.filename().native();
  const std::size_t room =
      name_max > kTempNameExtra + 1 ? name_max - kTempNameExtra : 1;
  if (stem.size() > room) {
    std::size_t keep = room;
    if constexpr (sizeof(fs::path::value_type) == 1) {
      // UTF-8 continuation bytes are 10xxxxxx.
      while (keep > 0 &&
             (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80) {
        --keep;
      }
    }
    stem.resize(keep);
  }
  return stem;
}

#if !defined(_WIN32)
// Gives the new file at "fd" its final owner, group and mode: those of the
// file it replaces, as far as the caller may (only root may give a file
// away, and others may choose only among their own groups), or for a new
// file 0666 as the umask allows. A set-user-ID or set-group-ID bit is
// dropped with the owner or group it goes with, and a group that could not
// be kept gets no more than others had.
void give_final_owner_and_mode(int fd, const OutputFile& out) {
  if (!out.replacing) {
    fchmod(fd, static_cast<mode_t>(out.mode));
    return;
  }
  struct stat now;
  if (fstat(fd, &now) != 0) return;
  const uid_t uid = static_cast<uid_t>(out.owner);
  const gid_t gid = static_cast<gid_t>(out.group);
  bool owner_kept = now.st_uid == uid;
  bool group_kept = now.st_gid == gid;
  if (!owner_kept || !group_kept) {
    if (fchown(fd, uid, gid) == 0) {
      owner_kept = group_kept = true;
    } else if (!group_kept && fchown(fd, static_cast<uid_t>(-1), gid) == 0) {
      group_kept = true;
    }
  }
  mode_t mode = static_cast<mode_t>(out.mode);
  if (!owner_kept) mode &= ~static_cast<mode_t>(S_ISUID);
  if (!group_kept) {
    mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG) | ((mode & S_IRWXO) << 3);
  }
  fchmod(fd, mode);
}

// Opens "path", which is not a regular file, for writing without waiting:
// a FIFO that nobody reads would otherwise hold the run before it starts.
std::FILE* open_directly(const std::string& path, Error* err) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    fail(err, errno == ENXIO ? "is a FIFO that no process is reading"
                             : std::strerror(errno));
    return nullptr;
  }
  struct stat st;
  const int flags = fcntl(fd, F_GETFL);
  std::FILE* file = nullptr;
  if (fstat(fd, &st) != 0 || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    fail(err, std::strerror(errno));
  } else if (S_ISDIR(st.st_mode)) {
    fail(err, std::strerror(EISDIR));
  } else if (S_ISREG(st.st_mode)) {
    // Put there since it was looked at: it would be written in place.
    fail(err, std::strerror(EBUSY));
  } else {
    file = fdopen(fd, "wb");
    if (file == nullptr) fail(err, std::strerror(errno));
  }
  if (file == nullptr) close(fd);
  return file;
}

// Makes the rename itself durable: until the directory is on the disk, a
// power loss may bring back the old name's old file. Where the file
// system cannot sync a directory, nothing more can be done.
void sync_directory(const fs::path& target) {
  const fs::path dir = target.has_parent_path() ? target.parent_path() : ".";
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}
#endif

// Renames "temp" over "target"; with "no_replace", fails setting *exists
// rather than replace a file there, where the file system can tell. Sets
// *why on failure.
bool rename_into_place(const fs::path& temp, const fs::path& target,
                       bool no_replace, bool* exists, std::string* why) {
  *exists = false;
#if defined(__linux__)
  if (no_replace) {
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(),
                  RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
      *exists = errno == EEXIST;
      *why = std::strerror(errno);
      return false;
    }
  }
#else
  (void)no_replace;
#endif
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) *why = ec.message();
  return !ec;
}

}  // namespace

bool check_output_is_not_input(const std::string& output,
                               const std::string& input, Error* err) {
  std::error_code ec;
  if (!fs::is_regular_file(file_path(output), ec)) return true;
  if (fs::equivalent(file_path(output), file_path(input), ec) && !ec) {
    return fail(err, output, "is the same file as the input " + input);
  }
  return true;
}

bool check_output_is_not_standard_input(const std::string& output, Error* err) {
#if !defined(_WIN32)
  struct stat out_st;
  struct stat in_st;
  if (stat(output.c_str(), &out_st) == 0 && S_ISREG(out_st.st_mode) &&
      fstat(0, &in_st) == 0 && in_st.st_dev == out_st.st_dev &&
      in_st.st_ino == out_st.st_ino) {
    return fail(err, output, "is the same file as the standard input");
  }
#else
  (void)output;
  (void)err;
#endif
  return true;
}

bool open_output(const std::string& path, OutputFile* out, Error* err) {
  discard_output(out);
  out->target.clear();
  out->path = path;
  err->path = path;
  if (path.empty()) return fail(err, "the output path is empty");
  if (!resolve_output_path(path, &out->target, err)) return false;
  // The destination as the kernel finds it, through links that only it can
  // follow (/dev/stdout leads to "pipe:[...]", which is no path).
  std::error_code ec;
  const fs::file_status status = fs::status(file_path(path), ec);
  if (ec && status.type() != fs::file_type::not_found) {
    return fail(err, ec.message());
  }
  if (fs::is_directory(status)) return fail(err, std::strerror(EISDIR));
  if (fs::exists(status) && !fs::is_regular_file(status)) {
#if !defined(_WIN32)
    out->file = open_directly(path, err);
    if (out->file == nullptr) return false;
#else
    errno = 0;
    out->file = std::fopen(path.c_str(), "wb");
    if (out->file == nullptr) {
      return fail(err, std::strerror(errno != 0 ? errno : EACCES));
    }
#endif
    std::setvbuf(out->file, nullptr, _IONBF, 0);
    return true;
  }
#if !defined(_WIN32)
  // Replacing goes through the directory, which would let anyone who may
  // write there replace a file that they may not write.
  struct stat old;
  const bool replacing =
      fs::is_regular_file(status) && stat(out->target.c_str(), &old) == 0;
  if (replacing &&
      faccessat(AT_FDCWD, out->target.c_str(), W_OK, AT_EACCESS) != 0) {
    return fail(err, std::strerror(errno));
  }
  out->replacing = replacing;
  if (replacing) {
    out->owner = old.st_uid;
    out->group = old.st_gid;
    out->mode = old.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    out->mode = 0666 & ~mask;
  }
#endif

  const fs::path dir =
      out->target.has_parent_path() ? out->target.parent_path() : fs::path(".");
  const fs::path::string_type stem = temp_stem(dir, out->target);
  std::random_device entropy;
  std::mt19937 pick(entropy());
  for (int i = 0; i < kNameTries; ++i) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp",
                  static_cast<unsigned>(pick()));
    fs::path name(".");
    name += stem;
    name += suffix;
    const fs::path temp = dir / name;
    // No signal between the file's creation and its naming to the handler
    // that removes it.
    hold_signals();
    errno = 0;
    out->file = create_new_file(temp);
    const int create_errno = errno;
    if (out->file != nullptr) remove_on_signal(path_string(temp));
    release_signals();
    if (out->file != nullptr) {
      out->temp = temp;
      break;
    }
    if (create_errno != EEXIST) {
      return fail(err,
                  std::strerror(create_errno != 0 ? create_errno : EACCES));
    }
  }
  if (out->file == nullptr) return fail(err, std::strerror(EEXIST));
  std::setvbuf(out->file, nullptr, _IONBF, 0);
  return true;
}

// Bytes written to a temporary file between two starts of its writeback.
constexpr std::uint64_t kWritebackBytes = std::uint64_t{4} << 20;

bool write_output(OutputFile* out, std::string_view data, Error* err) {
  if (data.empty()) return true;
  errno = 0;
  if (std::fwrite(data.data(), 1, data.size(), out->file) != data.size()) {
    return fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  }
#if defined(__linux__)
  // The file is synced before its rename; its writeback is started while
  // the scan goes on, so that the sync at the end has little left to wait
  // for. The stream is unbuffered: what was written is in the file.
  out->unsynced += data.size();
  if (!out->temp.empty() && out->unsynced >= kWritebackBytes) {
    sync_file_range(fileno(out->file), 0, 0, SYNC_FILE_RANGE_WRITE);
    out->unsynced = 0;
  }
#endif
  return true;
}

bool commit_output(OutputFile* out, Error* err, const OutputLock* unchanged) {
  errno = 0;
  bool ok = std::fflush(out->file) == 0;
#if !defined(_WIN32)
  // The new contents must be on the disk before the name points at them.
  if (ok && !out->temp.empty()) {
    give_final_owner_and_mode(fileno(out->file), *out);
    if (fsync(fileno(out->file)) != 0) ok = false;
  }
#endif
  if (!ok) fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  errno = 0;
  if (std::fclose(out->file) != 0 && ok) {
    ok = fail(err, out->path, std::strerror(errno != 0 ? errno : EIO));
  }
  out->file = nullptr;
  if (ok && !out->temp.empty() && unchanged != nullptr &&
      !check_output_unchanged(*unchanged, out->target, err)) {
    ok = fail(err, out->path, err->what);
  }
  if (ok && !out->temp.empty()) {
    const bool no_replace = unchanged != nullptr && !unchanged->existed;
    bool exists = false;
    std::string why;
    if (!rename_into_place(out->temp, out->target, no_replace, &exists,
                           &why)) {
      ok = false;
      // A file made meanwhile where there was none: not to be replaced.
      if (!exists || check_output_unchanged(*unchanged, out->target, err)) {
        fail(err, why);
      }
      err->path = out->path;
    }
  }
  if (!ok) {
    discard_output(out);
    return false;
  }
#if !defined(_WIN32)
  if (!out->temp.empty()) sync_directory(out->target);
#endif
  keep_on_signal();
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
    keep_on_signal();
    out->temp.clear();
  }
}

}  // namespace orbitpick
