// A plain file read in place.

#include "input/mapped_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/threads.h"

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

namespace {

constexpr std::size_t kPage = 4096;

// Maps the pages of "text" in; a page already mapped costs next to nothing.
void warm_pages(std::string_view text) {
#if defined(MADV_POPULATE_READ)
  const auto begin =
      reinterpret_cast<std::uintptr_t>(text.data()) & ~(kPage - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(text.data() + text.size());
  if (madvise(reinterpret_cast<void*>(begin), end - begin,
              MADV_POPULATE_READ) == 0) {
    return;
  }
#endif
  // Older kernels: a read of a byte of each page faults it in.
  volatile char sink = 0;
  for (std::size_t at = 0; at < text.size(); at += kPage) sink = text[at];
  (void)sink;
}

}  // namespace

PageWarmer::PageWarmer(std::string_view text) {
  if (text.empty() || usable_processors() < 2) return;
  // Without a thread the scan takes the faults itself.
  start_thread(
      [this, text] {
        constexpr std::size_t kStep = std::size_t{1} << 20;
        for (std::size_t at = 0; at < text.size() && !stop_.load();
             at += kStep) {
          warm_pages(text.substr(at, kStep));
        }
      },
      &thread_);
}

PageWarmer::~PageWarmer() { stop(); }

void PageWarmer::stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

}  // namespace orbitpick
