// Scanning a catalogue in memory on several threads, in order.

#include "conversion/parallel_scan.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/threads.h"

namespace orbitpick {
namespace {

// The pieces, the slots of their results, and who may take what. Piece i
// is scanned into slot i % slots once piece i - slots is committed.
class PieceRing {
 public:
  PieceRing(std::string_view text, int threads, std::size_t piece_bytes,
            const ScanPiece& scan)
      : text_(text),
        piece_bytes_(std::max<std::size_t>(piece_bytes, 1)),
        scan_(scan),
        ready_(piece_slots(threads), false) {}

  // A helper thread: scans pieces until there are none left or the run
  // stops.
  void work(int worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stop_ || cut_ == text_.size() ||
                                       claimable(); });
      if (stop_ || cut_ == text_.size()) return;
      scan_next(worker, &lock);
    }
  }

  // The calling thread: commits the pieces in order, and scans the next
  // one itself whenever the next to commit is not ready.
  bool run(const CommitPiece& commit) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (committed_ < claimed_ || cut_ < text_.size()) {
      const std::size_t slot = committed_ % ready_.size();
      if (committed_ < claimed_ && ready_[slot]) {
        lock.unlock();
        const bool ok = commit(slot);
        lock.lock();
        if (!ok) {
          stop_ = true;
          changed_.notify_all();
          return false;
        }
        ready_[slot] = false;
        ++committed_;
        changed_.notify_all();
      } else if (claimable()) {
        scan_next(0, &lock);
      } else {
        changed_.wait(lock);
      }
    }
    return true;
  }

  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

 private:
  bool claimable() const {
    return cut_ < text_.size() && claimed_ < committed_ + ready_.size();
  }

  // Takes the next piece, scans it with the lock released, and marks it
  // ready. REQUIRES: claimable(), the lock held.
  void scan_next(int worker, std::unique_lock<std::mutex>* lock) {
    const std::size_t begin = cut_;
    std::size_t end = text_.size();
    if (end - begin > piece_bytes_) {
      const char* at = text_.data() + begin + piece_bytes_ - 1;
      const void* newline =
          std::memchr(at, '\n', text_.data() + text_.size() - at);
      if (newline != nullptr) {
        end = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                       text_.data()) + 1;
      }
    }
    cut_ = end;
    const std::size_t slot = claimed_++ % ready_.size();
    lock->unlock();
    scan_(worker, slot, text_.substr(begin, end - begin));
    lock->lock();
    ready_[slot] = true;
    changed_.notify_all();
  }

  std::string_view text_;
  std::size_t piece_bytes_;
  const ScanPiece& scan_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> ready_;
  std::size_t cut_ = 0;        // text before here is in pieces
  std::size_t claimed_ = 0;    // pieces taken
  std::size_t committed_ = 0;  // pieces handed on
  bool stop_ = false;
};

}  // namespace

std::size_t piece_slots(int threads) {
  return 2 * static_cast<std::size_t>(std::max(threads, 1));
}

bool has_line_longer_than(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return false;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const void* newline =
        std::memchr(text.data() + begin, '\n', text.size() - begin);
    const std::size_t end =
        newline != nullptr
            ? static_cast<std::size_t>(static_cast<const char*>(newline) -
                                       text.data()) + 1
            : text.size();
    if (end - begin > max_bytes) return true;
    begin = end;
  }
  return false;
}

bool scan_in_pieces(std::string_view text, int threads,
                    std::size_t piece_bytes, const ScanPiece& scan,
                    const CommitPiece& commit) {
  threads = std::max(threads, 1);
  PieceRing ring(text, threads, piece_bytes, scan);
  std::vector<std::thread> helpers;
  // Room for all first: a thread started must never meet a failed append.
  helpers.reserve(static_cast<std::size_t>(threads));
  for (int worker = 1; worker < threads; ++worker) {
    std::thread helper;
    if (!start_thread([&ring, worker] { ring.work(worker); }, &helper)) {
      break;  // the threads there are share the pieces
    }
    helpers.push_back(std::move(helper));
  }
  const auto stop = [&] {
    ring.stop();
    for (std::thread& helper : helpers) helper.join();
  };
  bool ok = false;
  try {
    ok = ring.run(commit);
  } catch (...) {
    stop();  // no thread outlives the text it reads
    throw;
  }
  stop();
  return ok;
}

}  // namespace orbitpick
