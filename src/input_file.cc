// Opening the program's inputs for reading.

#include "input_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "gzip_reader.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace orbitpick {
namespace {

class FileReader : public Reader {
 public:
  FileReader(std::FILE* file, bool owned) : file_(file), owned_(owned) {
    // Our buffer is big; a second one in stdio would only copy the bytes.
    std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ~FileReader() override {
    if (owned_) std::fclose(file_);
  }

  std::ptrdiff_t read(char* buf, std::size_t size, std::string* err) override {
    const std::size_t got = std::fread(buf, 1, size, file_);
    if (got == 0 && std::ferror(file_)) {
      *err = std::strerror(errno);
      return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
  }

 private:
  std::FILE* file_;
  bool owned_;
};

// Hands out bytes already taken from "source" before the rest of it. Standard
// input and FIFOs cannot seek back, so the bytes looked at to recognize the
// format are kept here instead of being read again.
class PrefixReader : public Reader {
 public:
  PrefixReader(std::string prefix, std::unique_ptr<Reader> source)
      : prefix_(std::move(prefix)), source_(std::move(source)) {}

  std::ptrdiff_t read(char* buf, std::size_t size, std::string* err) override {
    const std::size_t n = std::min(size, prefix_.size() - used_);
    std::memcpy(buf, prefix_.data() + used_, n);
    used_ += n;
    if (n == size) return static_cast<std::ptrdiff_t>(n);
    const std::ptrdiff_t got = source_->read(buf + n, size - n, err);
    if (got < 0) return -1;
    return static_cast<std::ptrdiff_t>(n) + got;
  }

 private:
  std::string prefix_;
  std::size_t used_ = 0;
  std::unique_ptr<Reader> source_;
};

}  // namespace

std::unique_ptr<Reader> open_input_file(const std::string& path,
                                        std::string* err) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *err = std::strerror(errno != 0 ? errno : ENOENT);
    return nullptr;
  }
  // Reading a directory fails only at the first read on some systems; refuse
  // it here, before the run starts.
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(file);
    *err = std::strerror(EISDIR);
    return nullptr;
  }
  return std::make_unique<FileReader>(file, true);
}

std::unique_ptr<Reader> open_catalogue(const std::string& path,
                                       std::string* err) {
  std::unique_ptr<Reader> source;
  if (path == "-") {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    source = std::make_unique<FileReader>(stdin, false);
  } else {
    source = open_input_file(path, err);
    if (source == nullptr) return nullptr;
  }
  // The name says nothing reliable (MPCORB.DAT.gz is often saved without
  // its suffix, and standard input has none): the gzip magic number does.
  char magic[2];
  std::size_t have = 0;
  while (have < sizeof magic) {
    const std::ptrdiff_t got =
        source->read(magic + have, sizeof magic - have, err);
    if (got < 0) return nullptr;
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  auto whole = std::make_unique<PrefixReader>(std::string(magic, have),
                                              std::move(source));
  if (have == sizeof magic && magic[0] == '\x1f' && magic[1] == '\x8b') {
    return make_gzip_reader(std::move(whole));
  }
  return whole;
}

}  // namespace orbitpick
