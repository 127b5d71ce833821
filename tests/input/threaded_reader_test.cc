// Reading ahead on a second thread: the same bytes, end and error as the
// reader it wraps, a bounded read-ahead, and a thread that stops whenever
// the reader goes.

#include "input/threaded_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace orbitpick {
namespace {

struct Outcome {
  std::string data;
  bool ended = false;  // false: a read failed, with "err"
  Error err;
};

Outcome read_through(std::unique_ptr<Reader> reader, std::size_t step) {
  Outcome out;
  std::vector<char> buf(step);
  for (;;) {
    std::size_t got = 0;
    if (!reader->read(buf.data(), buf.size(), &got, &out.err)) break;
    if (got == 0) {
      out.ended = true;
      break;
    }
    EXPECT_LE(got, step);
    out.data.append(buf.data(), got);
  }
  // The end or the error stays.
  std::size_t got = 1;
  Error again;
  char byte;
  EXPECT_EQ(out.ended, reader->read(&byte, 1, &got, &again));
  EXPECT_EQ(0u, got);
  EXPECT_EQ(out.err.what, again.what);
  return out;
}

std::string sample(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<char>("0123456789\n"[i * 7 % 11] + i / 11 % 3);
  }
  return data;
}

TEST(ThreadedReader, SameBytesEndAndErrorAsTheInnerReader) {
  struct Case {
    std::size_t size;        // bytes of input
    std::size_t fail_after;  // npos: the input ends
    std::size_t inner_step;  // bytes per read of the inner reader
    std::size_t block_bytes;
    int blocks;
    std::size_t read_step;  // bytes per read of the caller
  };
  constexpr std::size_t kEnds = std::string::npos;
  const Case cases[] = {
      {0, kEnds, 1, 1, 1, 1},
      {0, 0, 1, 16, 2, 1},
      {1, kEnds, 1, 1, 1, 1},
      {1000, kEnds, 1, 1, 1, 7},
      {1000, kEnds, 3, 10, 2, 1},
      {1000, kEnds, 1000, 1000, 4, 1000},  // one full block, then the end
      {100000, kEnds, 4096, 333, 3, 65536},
      {100000, kEnds, 65536, 65536, 4, 1000},
      {100000, kEnds, 7, 65536, 1, 262144},
      {100000, 0, 7, 65536, 4, 262144},
      {100000, 1, 7, 65536, 4, 262144},
      {100000, 99999, 4096, 1000, 2, 777},
      {100000, 50000, 1, 10000, 5, 10000},  // fails at a block boundary
      {100000, 65536, 65536, 65536, 4, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " " + std::to_string(c.fail_after) +
                 " " + std::to_string(c.inner_step) + " " +
                 std::to_string(c.block_bytes) + " " +
                 std::to_string(c.blocks) + " " + std::to_string(c.read_step));
    const std::string data = sample(c.size);
    const Outcome out =
        read_through(make_threaded_reader(
                         std::make_unique<test::ScriptedReader>(
                             data, c.inner_step, c.fail_after, "MPCORB.DAT.gz"),
                         c.block_bytes, c.blocks),
                     c.read_step);
    EXPECT_EQ(data.substr(0, c.fail_after), out.data);
    EXPECT_EQ(c.fail_after == kEnds, out.ended);
    if (!out.ended) {
      EXPECT_EQ("Input/output error", out.err.what);
      EXPECT_EQ("MPCORB.DAT.gz", out.err.path);
    }
  }
}

// An endless input that tells, as events, how much was read and whether a
// read is going on, and checks each read against the most the reader may
// have taken ahead of its caller. One read can be held at a gate.
class Probe {
 public:
  // The most the source may hand out by now; raised before the caller
  // reads, lowered once it knows how much it took.
  std::atomic<std::size_t> allowed{0};

  void start_read(std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    EXPECT_LE(bytes_ + n, allowed.load()) << "read too far ahead";
    reading_ = true;
    changed_.notify_all();
    if (bytes_ >= hold_at_) {
      hold_at_ = kNever;
      changed_.wait(lock, [&] { return gate_open_; });
    }
  }
  void end_read(std::size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ += n;
    reading_ = false;
    changed_.notify_all();
  }
  // The read that starts with "bytes" or more read waits for open_gate().
  void hold_read_at(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_at_ = bytes;
  }
  void open_gate() {
    std::lock_guard<std::mutex> lock(mutex_);
    gate_open_ = true;
    changed_.notify_all();
  }
  void wait_for_bytes(std::size_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return bytes_ >= bytes && !reading_; });
    EXPECT_EQ(bytes, bytes_);
  }
  void wait_for_held_read() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return reading_ && hold_at_ == kNever; });
  }
  void destroyed() {
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_FALSE(reading_) << "source destroyed while it was read";
    destroyed_ = true;
  }
  bool was_destroyed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return destroyed_;
  }

 private:
  static constexpr std::size_t kNever = std::string::npos;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t bytes_ = 0;
  bool reading_ = false;
  std::size_t hold_at_ = kNever;
  bool gate_open_ = false;
  bool destroyed_ = false;
};

class EndlessSource : public Reader {
 public:
  explicit EndlessSource(std::shared_ptr<Probe> probe)
      : probe_(std::move(probe)) {}
  ~EndlessSource() override { probe_->destroyed(); }
  bool read(char* buf, std::size_t size, std::size_t* got, Error*) override {
    const std::size_t n = std::min<std::size_t>(size, 100);
    probe_->start_read(n);
    std::memset(buf, 'x', n);
    *got = n;
    probe_->end_read(n);
    return true;
  }

 private:
  std::shared_ptr<Probe> probe_;
};

constexpr std::size_t kBlockBytes = 1000;
constexpr int kBlocks = 3;

// Takes "taken" bytes from "reader", telling "probe" how far ahead of them
// the source may be.
void take(Reader* reader, Probe* probe, std::size_t taken) {
  std::string buf(taken, '\0');
  std::size_t have = 0;
  while (have < taken) {
    probe->allowed = taken + kBlocks * kBlockBytes;
    std::size_t got = 0;
    Error err;
    ASSERT_TRUE(reader->read(&buf[have], taken - have, &got, &err));
    ASSERT_GT(got, 0u);
    have += got;
  }
  probe->allowed = taken + kBlocks * kBlockBytes;
}

TEST(ThreadedReader, ReadsAheadAFewBlocksAndStopsWhenDestroyed) {
  for (const std::size_t taken : {0, 1, 2500, 50000}) {
    SCOPED_TRACE(taken);
    auto probe = std::make_shared<Probe>();
    probe->allowed = kBlocks * kBlockBytes;
    auto reader = make_threaded_reader(std::make_unique<EndlessSource>(probe),
                                       kBlockBytes, kBlocks);
    take(reader.get(), probe.get(), taken);
    // The thread fills every block the caller has not begun (the one it
    // reads from stays its own), then waits for room.
    const std::size_t begun = (taken + kBlockBytes - 1) / kBlockBytes;
    const std::size_t left_behind = begun > 0 ? begun - 1 : 0;
    probe->wait_for_bytes((left_behind + kBlocks) * kBlockBytes);
    reader.reset();  // while the thread waits for room
    EXPECT_TRUE(probe->was_destroyed());
  }
}

TEST(ThreadedReader, DestroyedWhileTheInnerReadGoesOn) {
  auto probe = std::make_shared<Probe>();
  probe->allowed = kBlocks * kBlockBytes;
  probe->hold_read_at(1500);
  auto reader = make_threaded_reader(std::make_unique<EndlessSource>(probe),
                                     kBlockBytes, kBlocks);
  probe->wait_for_held_read();
  // The destructor must wait for the read to end: the gate opens while it
  // runs, or just before.
  std::thread destroy([&] { reader.reset(); });
  probe->open_gate();
  destroy.join();
  EXPECT_TRUE(probe->was_destroyed());
}

}  // namespace
}  // namespace orbitpick
