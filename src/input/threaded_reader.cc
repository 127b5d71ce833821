// Reading ahead on a second thread: one producer fills a ring of blocks
// from the inner reader, the reader's caller empties them in turn.

#include "input/threaded_reader.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/threads.h"

namespace orbitpick {
namespace {

class ThreadedReader : public Reader {
 public:
  ThreadedReader(std::unique_ptr<Reader> inner, std::size_t block_bytes,
                 int blocks)
      : inner_(std::move(inner)) {
    blocks_.resize(static_cast<std::size_t>(std::max(blocks, 1)));
    for (Block& block : blocks_) {
      block.data.resize(std::max<std::size_t>(block_bytes, 1));
    }
    if (!start_thread([this] { produce(); }, &thread_)) {
      blocks_.clear();  // read in turn
    }
  }
  ~ThreadedReader() override {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    space_.notify_one();
    thread_.join();
  }
  ThreadedReader(const ThreadedReader&) = delete;
  ThreadedReader& operator=(const ThreadedReader&) = delete;

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override;

 private:
  struct Block {
    std::vector<char> data;
    std::size_t size = 0;  // bytes read into "data"
  };

  // The thread's loop: fills the blocks in ring order while there is room,
  // until "inner_" ends or fails or the reader is destroyed.
  void produce();

  std::unique_ptr<Reader> inner_;
  std::vector<Block> blocks_;  // empty: no thread, read "inner_" in turn
  std::thread thread_;

  // Shared with the thread, under "mutex_". The "filled_" blocks from
  // "next_" on are the caller's; the others are the thread's. The last
  // filled block is the final one once "ended_" or "failed_" is set.
  std::mutex mutex_;
  std::condition_variable data_;   // a block was filled, or the input ended
  std::condition_variable space_;  // a block was emptied, or stop_ was set
  std::size_t filled_ = 0;
  bool ended_ = false;
  bool failed_ = false;
  Error error_;  // when failed_
  bool stop_ = false;

  // The caller's place: block "next_", byte "pos_" in it.
  std::size_t next_ = 0;
  std::size_t pos_ = 0;
};

void ThreadedReader::produce() {
  for (std::size_t i = 0;; i = (i + 1) % blocks_.size()) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      space_.wait(lock, [&] { return stop_ || filled_ < blocks_.size(); });
      if (stop_) return;
    }
    // The block is the thread's until it is counted as filled.
    Block& block = blocks_[i];
    block.size = 0;
    bool ended = false;
    Error err;
    bool ok = true;
    while (block.size < block.data.size()) {
      std::size_t got = 0;
      try {
        ok = inner_->read(block.data.data() + block.size,
                          block.data.size() - block.size, &got, &err);
      } catch (const std::bad_alloc&) {
        // Out of memory here is the caller's failure too, as it would be
        // on its own thread; it must not end the process from this one.
        ok = fail(&err, std::strerror(ENOMEM));
      }
      if (!ok || got == 0) {
        ended = true;
        break;
      }
      block.size += got;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++filled_;
      if (!ok) {
        failed_ = true;
        error_ = err;
      } else if (ended) {
        ended_ = true;
      }
    }
    data_.notify_one();
    if (ended) return;
  }
}

bool ThreadedReader::read(char* buf, std::size_t size, std::size_t* got,
                          Error* err) {
  if (blocks_.empty()) return inner_->read(buf, size, got, err);
  *got = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (*got < size) {
    if (filled_ == 0) {
      // Wait only when nothing is handed out yet.
      if (*got > 0) break;
      data_.wait(lock, [&] { return filled_ > 0; });
    }
    const Block& block = blocks_[next_];
    if (pos_ < block.size) {
      const std::size_t n = std::min(size - *got, block.size - pos_);
      lock.unlock();  // the block is the caller's: copy without the lock
      std::memcpy(buf + *got, block.data.data() + pos_, n);
      lock.lock();
      pos_ += n;
      *got += n;
      continue;
    }
    if (filled_ == 1 && (ended_ || failed_)) {
      // The final block, emptied: its end or error, once all is handed out.
      if (*got > 0 || !failed_) return true;
      *err = error_;
      return false;
    }
    --filled_;
    next_ = (next_ + 1) % blocks_.size();
    pos_ = 0;
    space_.notify_one();
  }
  return true;
}

}  // namespace

std::unique_ptr<Reader> make_threaded_reader(std::unique_ptr<Reader> inner,
                                             std::size_t block_bytes,
                                             int blocks) {
  return std::make_unique<ThreadedReader>(std::move(inner), block_bytes,
                                          blocks);
}

}  // namespace orbitpick
