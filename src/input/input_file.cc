// Opening the program's inputs for reading.

#include "input/input_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "input/gzip_input.h"
#include "input/gzip_reader.h"
#include "input/mapped_file.h"
#include "base/process.h"
#include "input/threaded_reader.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace orbitpick {
namespace {

constexpr char kTerminalRefusal[] =
    "the catalogue is not read from a terminal; redirect it (< MPCORB.DAT) "
    "or name its file";

class FileReader : public Reader {
 public:
  FileReader(std::FILE* file, bool owned, std::string path)
      : file_(file), owned_(owned), path_(std::move(path)) {
    // Our buffer is big; a second one in stdio would only copy the bytes.
    std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ~FileReader() override {
    if (owned_) std::fclose(file_);
  }

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    *got = std::fread(buf, 1, size, file_);
    if (*got == 0 && std::ferror(file_)) {
      return fail(err, path_, std::strerror(errno));
    }
    return true;
  }

 private:
  std::FILE* file_;
  bool owned_;
  std::string path_;
};

// Hands out bytes already taken from "source" before the rest of it. Standard
// input and FIFOs cannot seek back, so the bytes looked at to recognize the
// format are kept here instead of being read again.
class PrefixReader : public Reader {
 public:
  PrefixReader(std::string prefix, std::unique_ptr<Reader> source)
      : prefix_(std::move(prefix)), source_(std::move(source)) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    const std::size_t n = std::min(size, prefix_.size() - used_);
    std::memcpy(buf, prefix_.data() + used_, n);
    used_ += n;
    *got = n;
    if (n == size) return true;
    std::size_t more = 0;
    if (!source_->read(buf + n, size - n, &more, err)) return false;
    *got += more;
    return true;
  }

 private:
  std::string prefix_;
  std::size_t used_ = 0;
  std::unique_ptr<Reader> source_;
};

// The name says nothing reliable (MPCORB.DAT.gz is often saved without its
// suffix, and standard input has none): the gzip magic number does. Sets
// *reader to "source" read whole, decompressed when it is gzip.
bool recognize_compression(std::unique_ptr<Reader> source,
                           const std::string& path,
                           std::unique_ptr<Reader>* reader, bool* compressed,
                           Error* err) {
  char magic[sizeof kGzipMagic];
  std::size_t have = 0;
  while (have < sizeof magic) {
    std::size_t got = 0;
    if (!source->read(magic + have, sizeof magic - have, &got, err)) {
      return false;
    }
    if (got == 0) break;
    have += got;
  }
  auto whole = std::make_unique<PrefixReader>(std::string(magic, have),
                                              std::move(source));
  *compressed =
      have == sizeof magic && std::memcmp(magic, kGzipMagic, have) == 0;
  *reader = *compressed ? make_gzip_reader(std::move(whole), path)
                        : std::move(whole);
  return true;
}

// Recognizes the compression at the first read rather than at the opening:
// standard input may keep the run waiting, and the other inputs are to be
// checked (and a bad one reported) before that.
class RecognizingReader : public Reader {
 public:
  RecognizingReader(std::unique_ptr<Reader> source, std::string path)
      : source_(std::move(source)), path_(std::move(path)) {}

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    bool compressed = false;
    if (!inner_ && !recognize_compression(std::move(source_), path_, &inner_,
                                          &compressed, err)) {
      *got = 0;
      return false;
    }
    return inner_->read(buf, size, got, err);
  }

 private:
  std::unique_ptr<Reader> source_;
  std::string path_;
  std::unique_ptr<Reader> inner_;
};

}  // namespace

bool open_input_file(const std::string& path, std::unique_ptr<Reader>* reader,
                     Error* err) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return fail(err, path, std::strerror(errno != 0 ? errno : ENOENT));
  }
  // Reading a directory fails only at the first read on some systems; refuse
  // it here, before the run starts.
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(file);
    return fail(err, path, std::strerror(EISDIR));
  }
  *reader = std::make_unique<FileReader>(file, true, path);
  return true;
}

bool open_catalogue(const std::string& path, std::unique_ptr<Reader>* reader,
                    Error* err) {
  // A plain file, with processors to share it among, is scanned in place:
  // mapped, it costs no copy, and threads can search pieces of it at once.
  // On one processor it is read as before, block after block.
  if (path != "-" && usable_processors() > 1) {
    std::unique_ptr<Reader> mapped = map_input_file(path);
    const std::string_view bytes =
        mapped ? mapped->mapped() : std::string_view();
    const bool compressed =
        bytes.size() >= sizeof kGzipMagic &&
        std::memcmp(bytes.data(), kGzipMagic, sizeof kGzipMagic) == 0;
    if (!bytes.empty() && !compressed) {
      *reader = std::move(mapped);
      return true;
    }
  }
  std::unique_ptr<Reader> source;
  bool compressed = false;  // known at once for a file only
  if (path == "-") {
    // Reading it would only give what /dev/null, opened in its place, has.
    if (standard_input_was_closed()) {
      return fail(err, path, std::strerror(EBADF));
    }
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(0) != 0;
#endif
    // A catalogue is never typed: the run would only wait in silence.
    if (terminal) return fail(err, path, kTerminalRefusal);
    source = std::make_unique<FileReader>(stdin, false, path);
    *reader = std::make_unique<RecognizingReader>(std::move(source), path);
  } else if (!open_input_file(path, &source, err) ||
             !recognize_compression(std::move(source), path, reader,
                                    &compressed, err)) {
    return false;
  }
  // Decompressing takes longer than the scan: on a thread of its own it
  // runs while the scan works through the block before; so does the
  // reading of a pipe, whose writer may be a decompressor or a download.
  // On a single processor the two would only take turns, at the cost of a
  // copy.
  if ((compressed || path == "-") && usable_processors() > 1) {
    *reader = make_threaded_reader(std::move(*reader));
  }
  return true;
}

}  // namespace orbitpick
