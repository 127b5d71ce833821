// Keeping two merges into one file, and edits made meanwhile, from losing
// each other's changes.
//
// A merge reads the output, works for as long as its catalogue takes, then
// renames its result over the output: a second merge, or the planetarium
// or an editor writing the file in that time, would be silently undone.
// The merge therefore holds an advisory lock on the output from the
// reading of its base to the rename (a second orbitpick refuses to start),
// and the rename is refused when the file is no longer what was read.

#ifndef ORBITPICK_OUTPUT_OUTPUT_LOCK_H_
#define ORBITPICK_OUTPUT_OUTPUT_LOCK_H_

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/diagnostics.h"

namespace orbitpick {

/// The lock on an output and what the file was when it was taken. Released
/// when destroyed.
struct OutputLock {
  OutputLock() = default;
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;
  ~OutputLock();

  int fd = -1;           // the locked file; -1 when there is none
  bool locked = false;   // false where the platform has no such locks
  bool existed = false;  // the output was there
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
};

/// Locks the regular file at "path" (through its links) for a merge, or
/// notes that there is none. Fails, naming "path", when another process
/// holds the lock: "another run is merging into it; try again when that
/// one has finished". Call before the file is read as the base.
bool lock_output(const std::string& path, OutputLock* lock, Error* err);

/// Fails ("changed since it was read (by another program or run); not
/// replaced, so that no change is lost") when "target" is no longer the
/// file, or the absence of one, that "lock" saw.
bool check_output_unchanged(const OutputLock& lock,
                            const std::filesystem::path& target, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_OUTPUT_LOCK_H_
