// Keeping two merges into one file from losing each other's changes.

#include "output/output_lock.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#if !defined(_WIN32)
#include <sys/file.h>
#include <unistd.h>
#endif

#include "base/file_path.h"

namespace orbitpick {
namespace {

constexpr int kLockTries = 10;

#if !defined(_WIN32)
std::int64_t nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void note(const struct stat& st, OutputLock* lock) {
  lock->existed = true;
  lock->device = st.st_dev;
  lock->inode = st.st_ino;
  lock->size = st.st_size;
  lock->modified_ns = nanoseconds(st.st_mtim);
  lock->changed_ns = nanoseconds(st.st_ctim);
}
#endif

}  // namespace

OutputLock::~OutputLock() {
#if !defined(_WIN32)
  if (fd >= 0) close(fd);  // releases the lock
#endif
}

bool lock_output(const std::string& path, OutputLock* lock, Error* err) {
#if !defined(_WIN32)
  for (int i = 0; i < kLockTries; ++i) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      // No file yet: the rename must then not replace one that appears.
      if (errno == ENOENT) return true;
      return fail(err, path, std::strerror(errno));
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);  // not a file to merge into: the base's reading says so
      return true;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int why = errno;
      close(fd);
      if (why == EWOULDBLOCK) {
        return fail(err, path,
                    "another run is merging into it; try again when that "
                    "one has finished");
      }
      return fail(err, path, std::strerror(why));
    }
    // The lock holder may have renamed its result over the name between
    // our open and our lock: then the lock is on a file no longer there.
    struct stat now;
    if (stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev &&
        now.st_ino == st.st_ino) {
      lock->fd = fd;
      lock->locked = true;
      note(now, lock);
      return true;
    }
    close(fd);
  }
  return fail(err, path, "replaced again and again while being locked");
#else
  (void)path;
  (void)lock;
  (void)err;
  return true;
#endif
}

bool check_output_unchanged(const OutputLock& lock,
                            const std::filesystem::path& target, Error* err) {
#if !defined(_WIN32)
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  const bool same =
      exists == lock.existed &&
      (!exists ||
       (st.st_dev == lock.device && st.st_ino == lock.inode &&
        st.st_size == lock.size && nanoseconds(st.st_mtim) == lock.modified_ns &&
        nanoseconds(st.st_ctim) == lock.changed_ns));
  if (!same) {
    return fail(err,
                "changed since it was read (by another program or run); not "
                "replaced, so that no change is lost");
  }
#else
  (void)lock;
  (void)target;
  (void)err;
#endif
  return true;
}

}  // namespace orbitpick
