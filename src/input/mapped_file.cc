// A plain file read in place.

#include "input/mapped_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orbitpick {

#if defined(_WIN32)

std::unique_ptr<Reader> map_input_file(const std::string&) { return nullptr; }

#else

namespace {

class MappedReader : public Reader {
 public:
  MappedReader(void* data, std::size_t size) : data_(data), size_(size) {}
  ~MappedReader() override { munmap(data_, size_); }

  bool read(char* buf, std::size_t size, std::size_t* got, Error*) override {
    *got = std::min(size, size_ - used_);
    std::memcpy(buf, static_cast<const char*>(data_) + used_, *got);
    used_ += *got;
    return true;
  }

  std::string_view mapped() const override {
    return std::string_view(static_cast<const char*>(data_), size_);
  }

 private:
  void* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

}  // namespace

std::unique_ptr<Reader> map_input_file(const std::string& path) {
  // Opening a FIFO would wait for its writer, and closing it again would
  // cut the writer off: only a regular file is opened here.
  struct stat named;
  if (stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) {
    return nullptr;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  void* data = MAP_FAILED;
  std::size_t size = 0;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      static_cast<unsigned long long>(st.st_size) <= SIZE_MAX) {
    size = static_cast<std::size_t>(st.st_size);
    data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  }
  close(fd);  // the mapping keeps the file
  if (data == MAP_FAILED) return nullptr;
  // The scan walks the file from start to end, a few pieces at a time.
  madvise(data, size, MADV_SEQUENTIAL);
  return std::make_unique<MappedReader>(data, size);
}

#endif

}  // namespace orbitpick
