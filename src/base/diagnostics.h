// How orbitpick reports what went wrong.
//
// One convention for every function that can fail: it returns bool, true
// when it did its job; on failure it returns false and fills *err. "what" is
// the reason as the user reads it ("No such file or directory", "unexpected
// end of compressed data"); "path" is the file it concerns, set by whichever
// layer knows that file, so that the message printed at the top names the
// right file without the caller keeping track of which one was in play. A
// function that only looks at a line of text leaves "path" empty.
//
// Warnings do not stop the run: they go, whole and formatted, to a
// WarningSink.

#ifndef ORBITPICK_BASE_DIAGNOSTICS_H_
#define ORBITPICK_BASE_DIAGNOSTICS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orbitpick {

struct Error {
  std::string path;  // the file concerned; empty when not known here
  std::string what;  // the reason
};

/// Sets *err to "what" (keeping a path already set) and returns false, so
/// that a failing function can end with "return fail(err, ...)".
inline bool fail(Error* err, std::string what) {
  err->what = std::move(what);
  return false;
}

/// Sets both the path and the reason and returns false.
inline bool fail(Error* err, std::string path, std::string what) {
  err->path = std::move(path);
  err->what = std::move(what);
  return false;
}

/// Names "path" in *err unless a deeper layer already named a file.
inline void name_path(Error* err, const std::string& path) {
  if (err->path.empty()) err->path = path;
}

/// "orbitpick: <path>: <what>", or "orbitpick: <what>" without a path.
std::string format_error(const Error& err);

/// "orbitpick: <path>:<line>: <what>": a warning about one line of a file.
std::string format_line_warning(std::string_view path, std::int64_t line,
                                std::string_view what);

/// Receives one warning, already formatted as a whole message line without
/// its line feed.
using WarningSink = std::function<void(const std::string& message)>;

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_DIAGNOSTICS_H_
