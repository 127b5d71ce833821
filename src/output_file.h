// Writing the INI file so that it appears whole or not at all.
//
// The destination is often the planetarium's only copy of its minor-body
// file. A regular file (or a path not yet there) is therefore written under a
// temporary name in the same directory and renamed over the destination only
// once everything has been written, flushed and closed; a failed run leaves
// the destination exactly as it was. Anything else (/dev/null, /dev/stdout,
// a FIFO) is written directly.

#ifndef ORBITPICK_OUTPUT_FILE_H_
#define ORBITPICK_OUTPUT_FILE_H_

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace orbitpick {

struct OutputFile {
  std::filesystem::path target;  // the destination, symbolic links resolved
  std::filesystem::path temp;    // empty when writing the target directly
  std::FILE* file = nullptr;
};

/// Resolves the symbolic links at "path" (a link stays a link: its target is
/// what gets replaced). Returns false with *err set on a loop of links.
bool resolve_output_path(const std::string& path, std::filesystem::path* target,
                         std::string* err);

/// Opens "path" for writing: a new temporary file beside its target, or the
/// target itself when that is not a regular file. A new file gets the usual
/// permissions, a replaced one keeps its mode. Returns false with *err set
/// (nothing created) when the directory is missing or not writable, or when
/// "path" is a directory.
bool open_output(const std::string& path, OutputFile* out, std::string* err);

/// Writes "data". Returns false with *err set on a write error.
bool write_output(OutputFile* out, std::string_view data, std::string* err);

/// Finishes the file: flushes it to the disk, closes it and renames it over
/// the destination. On failure discards it (the destination keeps its old
/// contents) and returns false with *err set.
bool commit_output(OutputFile* out, std::string* err);

/// Closes the file and removes the temporary one; the destination is left as
/// it was. Safe to call on an output that is not open.
void discard_output(OutputFile* out);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_FILE_H_
