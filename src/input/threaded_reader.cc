// Reading ahead on a second thread: one producer fills a ring of blocks
// from the inner reader, the reader's caller empties them in turn.

#include "input/threaded_reader.h"

#if defined(__linux__)
#include <sched.h>
#endif
#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace orbitpick {
namespace {

// Blocks, for its lifetime, the signals sent to the process in the calling
// thread, so that a thread started meanwhile inherits the block. Those
// signals then reach the main thread alone, which holds them while it names
// the output's temporary file to the signal handler; the reading thread
// must not take one in that moment. Faults stay deliverable: they belong to
// the thread that causes them.
class BlockProcessSignals {
 public:
#if defined(_WIN32)
  BlockProcessSignals() {}
#else
  BlockProcessSignals() {
    sigset_t set;
    sigfillset(&set);
    for (int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS}) {
      sigdelset(&set, fault);
    }
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~BlockProcessSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
#endif
};

// What the caller and the reading thread share. Held by both, so that a
// thread still blocked in a read (standard input that sends nothing) may be
// left behind when the reader is destroyed: the run must be able to end at
// once after an error found elsewhere.
struct ReadAhead {
  struct Block {
    std::vector<char> data;
    std::size_t size = 0;  // bytes read into "data"
  };

  // The thread's loop: fills the blocks in ring order while there is room,
  // until "inner" ends or fails or "stop" is set.
  void produce();

  std::unique_ptr<Reader> inner;
  std::vector<Block> blocks;
  // Under "mutex". The "filled" blocks from "next" on are the caller's; the
  // others are the thread's. The last filled block is the final one once
  // "ended" or "failed" is set.
  std::mutex mutex;
  std::condition_variable data_ready;   // a block was filled, or the end
  std::condition_variable space_ready;  // a block was emptied, or stop
  std::size_t filled = 0;
  bool ended = false;
  bool failed = false;
  Error error;  // when failed
  bool stop = false;
  bool reading = false;  // the thread is in inner->read
  // The caller's place: block "next", byte "pos" in it.
  std::size_t next = 0;
  std::size_t pos = 0;
};

class ThreadedReader : public Reader {
 public:
  ThreadedReader(std::unique_ptr<Reader> inner, std::size_t block_bytes,
                 int blocks)
      : shared_(std::make_shared<ReadAhead>()) {
    shared_->inner = std::move(inner);
    shared_->blocks.resize(static_cast<std::size_t>(std::max(blocks, 1)));
    for (ReadAhead::Block& block : shared_->blocks) {
      block.data.resize(std::max<std::size_t>(block_bytes, 1));
    }
    try {
      BlockProcessSignals block;
      thread_ = std::thread([shared = shared_] { shared->produce(); });
    } catch (const std::system_error&) {
      // No thread to be had (a limit on processes, say): read in turn.
      shared_->blocks.clear();
    }
  }

  ~ThreadedReader() override {
    if (!thread_.joinable()) return;
    bool reading = false;
    {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      shared_->stop = true;
      reading = shared_->reading;
    }
    shared_->space_ready.notify_one();
    // A read may not return for as long as the writer pleases: the thread
    // finishes it on its own and then stops.
    if (reading) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }

  ThreadedReader(const ThreadedReader&) = delete;
  ThreadedReader& operator=(const ThreadedReader&) = delete;

  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override;

 private:
  std::shared_ptr<ReadAhead> shared_;
  std::thread thread_;
};

void ReadAhead::produce() {
  for (std::size_t i = 0;; i = (i + 1) % blocks.size()) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      space_ready.wait(lock, [&] { return stop || filled < blocks.size(); });
      if (stop) return;
      reading = true;
    }
    // The block is the thread's until it is counted as filled.
    Block& block = blocks[i];
    block.size = 0;
    bool at_end = false;
    Error err;
    bool ok = true;
    while (block.size < block.data.size()) {
      std::size_t got = 0;
      try {
        ok = inner->read(block.data.data() + block.size,
                         block.data.size() - block.size, &got, &err);
      } catch (const std::bad_alloc&) {
        // Out of memory here is the caller's failure too, as it would be
        // on its own thread; it must not end the process from this one.
        ok = fail(&err, std::strerror(ENOMEM));
      }
      if (!ok || got == 0) {
        at_end = true;
        break;
      }
      block.size += got;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      reading = false;
      ++filled;
      if (!ok) {
        failed = true;
        error = err;
      } else if (at_end) {
        ended = true;
      }
    }
    data_ready.notify_one();
    if (at_end) return;
  }
}

bool ThreadedReader::read(char* buf, std::size_t size, std::size_t* got,
                          Error* err) {
  ReadAhead& r = *shared_;
  if (r.blocks.empty()) return r.inner->read(buf, size, got, err);
  *got = 0;
  std::unique_lock<std::mutex> lock(r.mutex);
  while (*got < size) {
    if (r.filled == 0) {
      // Wait only when nothing is handed out yet.
      if (*got > 0) break;
      r.data_ready.wait(lock, [&] { return r.filled > 0; });
    }
    const ReadAhead::Block& block = r.blocks[r.next];
    if (r.pos < block.size) {
      const std::size_t n = std::min(size - *got, block.size - r.pos);
      lock.unlock();  // the block is the caller's: copy without the lock
      std::memcpy(buf + *got, block.data.data() + r.pos, n);
      lock.lock();
      r.pos += n;
      *got += n;
      continue;
    }
    if (r.filled == 1 && (r.ended || r.failed)) {
      // The final block, emptied: its end or error, once all is handed out.
      if (*got > 0 || !r.failed) return true;
      *err = r.error;
      return false;
    }
    --r.filled;
    r.next = (r.next + 1) % r.blocks.size();
    r.pos = 0;
    r.space_ready.notify_one();
  }
  return true;
}

}  // namespace

int usable_processors() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    return std::max(CPU_COUNT(&set), 1);
  }
#endif
  return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

std::unique_ptr<Reader> make_threaded_reader(std::unique_ptr<Reader> inner,
                                             std::size_t block_bytes,
                                             int blocks) {
  return std::make_unique<ThreadedReader>(std::move(inner), block_bytes,
                                          blocks);
}

}  // namespace orbitpick
