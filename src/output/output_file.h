// Writing the INI file so that it appears whole or not at all.
//
// The destination is often the planetarium's only copy of its minor-body
// file. A regular file (or a path not yet there) is therefore written under a
// temporary name in the same directory and renamed over the destination only
// once everything has been written, flushed and closed; a failed run leaves
// the destination exactly as it was. Anything else (/dev/null, /dev/stdout,
// a FIFO) is opened by its own name and written directly.

#ifndef ORBITPICK_OUTPUT_OUTPUT_FILE_H_
#define ORBITPICK_OUTPUT_OUTPUT_FILE_H_

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/diagnostics.h"
#include "output/output_lock.h"

namespace orbitpick {

struct OutputFile;
void discard_output(OutputFile* out);

/// An output being written. It discards itself unless committed: a run
/// that fails, on any path, or runs out of memory, just returns, and the
/// destination keeps its old contents.
struct OutputFile {
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { discard_output(this); }

  std::string path;              // as the user gave it, named in errors
  std::filesystem::path target;  // the destination, symbolic links resolved
  std::filesystem::path temp;    // empty when writing the target directly
  std::FILE* file = nullptr;
  std::uint64_t unsynced = 0;  // written since its writeback was started
  // What the temporary file becomes just before its rename: the replaced
  // file's owner, group and mode, or a new file's mode.
  bool replacing = false;
  unsigned long owner = 0;
  unsigned long group = 0;
  unsigned mode = 0;
};

/// Fails when "output" is an existing regular file that is also "input",
/// however either path is spelled (links, "./", hard links): writing it
/// would destroy what is being read.
bool check_output_is_not_input(const std::string& output,
                               const std::string& input, Error* err);

/// Fails when "output" is an existing regular file that is also what
/// standard input reads (`orbitpick list.csv - out.ini < out.ini`, or
/// /dev/stdin as the output).
bool check_output_is_not_standard_input(const std::string& output, Error* err);

/// Opens "path" for writing: a new temporary file beside its target, or the
/// target itself, by the name "path", when that is not a regular file. A
/// new file gets the usual permissions; a replaced one keeps its mode and,
/// where the caller may set them, its owner and group (not its extended
/// attributes or ACLs; other hard links keep the old contents). The
/// temporary name is `.<name>.XXXXXXXX.tmp`, the name cut to fit the file
/// system. Fails (nothing created) when "path" is empty, the directory is
/// missing or not writable, "path" is a directory, a regular file the
/// caller may not write, a FIFO that no process reads (never waited for),
/// or a symbolic link, regular file or FIFO that the kernel's
/// protected-symlinks, protected-regular and protected-FIFO rules would
/// refuse (one owned by neither the caller nor the directory's owner, in a
/// sticky world-writable directory). The temporary file is private (0600)
/// until commit_output gives it its final owner and mode. Every error about
/// the output names "path".
bool open_output(const std::string& path, OutputFile* out, Error* err);

/// Writes "data"; fails on a write error.
bool write_output(OutputFile* out, std::string_view data, Error* err);

/// Finishes the file: flushes it to the disk, closes it, renames it over
/// the destination and syncs the directory, so that the rename survives a
/// power loss. On failure discards it (the destination keeps its old
/// contents).
/// With "unchanged" (the lock a merge took), the rename is refused when
/// the destination is no longer the file, or the absence of one, that was
/// locked (see check_output_unchanged).
bool commit_output(OutputFile* out, Error* err,
                   const OutputLock* unchanged = nullptr);

/// Closes the file and removes the temporary one; the destination is left as
/// it was. Safe to call on an output that is not open.
void discard_output(OutputFile* out);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_OUTPUT_FILE_H_
