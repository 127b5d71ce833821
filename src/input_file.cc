// Opening the program's inputs for reading.

#include "input_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
  if (path == "-") {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    return std::make_unique<FileReader>(stdin, false);
  }
  return open_input_file(path, err);
}

}  // namespace orbitpick
