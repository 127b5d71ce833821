// Reading a file whole into one string.

#include "input/whole_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "base/file_path.h"
#include "input/input_file.h"

namespace orbitpick {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBlock = 64 * 1024;

bool too_large(const TextLimits& limits, Error* err) {
  return fail(err, "larger than " + std::to_string(limits.max_bytes) +
                       " bytes, more than " + std::string(limits.what) +
                       " holds");
}

// "limits" null: any size and any bytes.
bool read_all(const std::string& path, Reader* reader,
              const TextLimits* limits, std::string* text, Error* err) {
  // Read into a buffer of the file's size, so that a big file costs its
  // size once; what a FIFO or a growing file holds beyond it is appended.
  std::size_t used = 0;
  std::error_code ec;
  if (fs::is_regular_file(file_path(path), ec)) {
    const std::uintmax_t size = fs::file_size(file_path(path), ec);
    if (!ec && limits != nullptr && size > limits->max_bytes) {
      return too_large(*limits, err);
    }
    if (!ec) text->resize(static_cast<std::size_t>(size));
  }
  std::vector<char> block;
  for (;;) {
    const bool full = used == text->size();
    if (full && block.empty()) block.resize(kReadBlock);
    char* into = full ? block.data() : &(*text)[used];
    std::size_t got = 0;
    if (!reader->read(into, full ? block.size() : text->size() - used, &got,
                      err)) {
      return false;
    }
    if (got == 0) break;
    if (limits != nullptr) {
      if (got > limits->max_bytes - used) return too_large(*limits, err);
      if (!check_no_nul(std::string_view(into, got), used, err)) return false;
    }
    if (full) text->append(block.data(), got);
    used += got;
  }
  text->resize(used);
  return true;
}

bool read_file(const std::string& path, const TextLimits* limits,
               std::string* text, Error* err) {
  text->clear();
  std::unique_ptr<Reader> reader;
  if (!open_input_file(path, &reader, err)) return false;
  bool ok = false;
  try {
    ok = read_all(path, reader.get(), limits, text, err);
  } catch (const std::bad_alloc&) {
    ok = fail(err, std::strerror(ENOMEM));
  }
  if (!ok) {
    text->clear();
    name_path(err, path);
  }
  return ok;
}

}  // namespace

bool check_no_nul(std::string_view text, std::size_t offset, Error* err) {
  if (text.empty()) return true;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul == nullptr) return true;
  const std::size_t at = offset + (static_cast<const char*>(nul) - text.data());
  return fail(err, "holds a NUL byte at offset " + std::to_string(at) +
                       ": not a text file");
}

bool read_whole_file(const std::string& path, std::string* text, Error* err) {
  return read_file(path, nullptr, text, err);
}

bool read_text_file(const std::string& path, const TextLimits& limits,
                    std::string* text, Error* err) {
  return read_file(path, &limits, text, err);
}

}  // namespace orbitpick
