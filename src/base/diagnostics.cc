// How orbitpick reports what went wrong.

#include "base/diagnostics.h"

namespace orbitpick {

std::string format_error(const Error& err) {
  if (err.path.empty()) return "orbitpick: " + err.what;
  return "orbitpick: " + err.path + ": " + err.what;
}

std::string format_line_warning(std::string_view path, std::int64_t line,
                                std::string_view what) {
  std::string message = "orbitpick: ";
  message.append(path);
  message += ':';
  message += std::to_string(line);
  message += ": ";
  message.append(what);
  return message;
}

}  // namespace orbitpick
