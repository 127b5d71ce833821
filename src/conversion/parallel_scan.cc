// Scanning a catalogue in memory on several threads, in order.

#include "conversion/parallel_scan.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "base/threads.h"

namespace orbitpick {
namespace {

// The pieces, the ring of their results, and who may take what. Piece i is
// scanned into slot i % slots once piece i - slots is committed.
class PieceRing {
 public:
  PieceRing(std::string_view text, int threads, std::size_t piece_bytes,
            std::size_t max_line_bytes, const ScanPiece& scan)
      : text_(text),
        piece_bytes_(std::max<std::size_t>(piece_bytes, 1)),
        max_line_bytes_(max_line_bytes),
        scan_(scan),
        results_(static_cast<std::size_t>(2 * threads)),
        ready_(results_.size(), false) {}

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
      const std::size_t slot = committed_ % results_.size();
      if (committed_ < claimed_ && ready_[slot]) {
        PieceResult* result = &results_[slot];
        lock.unlock();
        const bool ok = commit(result);
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
    return cut_ < text_.size() && claimed_ < committed_ + results_.size();
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
    PieceResult* result = &results_[claimed_++ % results_.size()];
    lock->unlock();
    *result = PieceResult();
    result->text = text_.substr(begin, end - begin);
    if (longest_line_exceeds(result->text)) {
      result->ok = false;
      fail(&result->err,
           "line longer than " + std::to_string(max_line_bytes_) + " bytes");
    } else {
      try {
        scan_(worker, result);
      } catch (const std::bad_alloc&) {
        result->ok = false;
        fail(&result->err, std::strerror(ENOMEM));
      }
    }
    lock->lock();
    ready_[static_cast<std::size_t>(result - results_.data())] = true;
    changed_.notify_all();
  }

  // True when a line of "piece" is longer than the longest line read, which
  // only a piece longer than that can hold. The lines counted include their
  // line feed, as the reading buffer's do.
  bool longest_line_exceeds(std::string_view piece) const {
    if (piece.size() <= max_line_bytes_) return false;
    std::size_t begin = 0;
    while (begin < piece.size()) {
      const void* newline =
          std::memchr(piece.data() + begin, '\n', piece.size() - begin);
      const std::size_t end =
          newline != nullptr
              ? static_cast<std::size_t>(static_cast<const char*>(newline) -
                                         piece.data()) + 1
              : piece.size();
      if (end - begin > max_line_bytes_) return true;
      begin = end;
    }
    return false;
  }

  std::string_view text_;
  std::size_t piece_bytes_;
  std::size_t max_line_bytes_;
  const ScanPiece& scan_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PieceResult> results_;
  std::vector<bool> ready_;
  std::size_t cut_ = 0;        // text before here is in pieces
  std::size_t claimed_ = 0;    // pieces taken
  std::size_t committed_ = 0;  // pieces handed on
  bool stop_ = false;
};

}  // namespace

bool scan_in_pieces(std::string_view text, int threads,
                    std::size_t piece_bytes, std::size_t max_line_bytes,
                    const ScanPiece& scan, const CommitPiece& commit) {
  threads = std::max(threads, 1);
  PieceRing ring(text, threads, piece_bytes, max_line_bytes, scan);
  std::vector<std::thread> helpers;
  {
    BlockProcessSignals block;
    for (int worker = 1; worker < threads; ++worker) {
      try {
        helpers.emplace_back([&ring, worker] { ring.work(worker); });
      } catch (const std::system_error&) {
        break;  // the threads there are share the pieces
      }
    }
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
