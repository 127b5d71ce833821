// Paths as the program's strings hold them: bytes on POSIX systems, UTF-8
// on Windows (where the application manifest makes UTF-8 the code page of
// the arguments and of every narrow call).

#ifndef ORBITPICK_BASE_FILE_PATH_H_
#define ORBITPICK_BASE_FILE_PATH_H_

#include <filesystem>
#include <string>

namespace orbitpick {

/// The file system's path for "path". On Windows the bytes are read as
/// UTF-8: std::filesystem would otherwise take each byte for a character
/// of its own, and "Zoë.ini" would become "ZoÃ«.ini".
inline std::filesystem::path file_path(const std::string& path) {
#if defined(_WIN32)
  return std::filesystem::u8path(path);
#else
  return std::filesystem::path(path);
#endif
}

/// "path" back as the program's string (UTF-8 on Windows).
inline std::string path_string(const std::filesystem::path& path) {
#if defined(_WIN32)
  return path.u8string();
#else
  return path.string();
#endif
}

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_FILE_PATH_H_
