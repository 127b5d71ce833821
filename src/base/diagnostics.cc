// How orbitpick reports what went wrong.

#include "base/diagnostics.h"

#include "base/text.h"

namespace orbitpick {

// Paths, names and designations come from the user's files and command
// line: whatever they hold, the message reaches the terminal as text.
std::string format_error(const Error& err) {
  if (err.path.empty()) return "orbitpick: " + escape_controls(err.what);
  return "orbitpick: " + escape_controls(err.path) + ": " +
         escape_controls(err.what);
}

std::string format_line_warning(std::string_view path, std::int64_t line,
                                std::string_view what) {
  std::string message = "orbitpick: ";
  message += escape_controls(path);
  message += ':';
  message += std::to_string(line);
  message += ": ";
  message += escape_controls(what);
  return message;
}

}  // namespace orbitpick
