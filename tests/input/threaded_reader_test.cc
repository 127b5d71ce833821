// Reading ahead on a second thread: the same bytes, end and error as the
// reader it wraps, a bounded read-ahead, and a thread that stops whenever
// the reader goes.

#include "input/threaded_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace orbitpick {
namespace {

// Hands out "data" "step" bytes at a time, then fails with "Input/output
// error" after "fail_after" bytes (or never, with std::string::npos).
class Source : public Reader {
 public:
  Source(std::string data, std::size_t step,
         std::size_t fail_after = std::string::npos)
      : data_(std::move(data)), step_(step), fail_after_(fail_after) {}
  bool read(char* buf, std::size_t size, std::size_t* got,
            Error* err) override {
    if (pos_ == fail_after_) {
      return fail(err, "MPCORB.DAT.gz", "Input/output error");
    }
    const std::size_t n =
        std::min({size, step_, data_.size() - pos_, fail_after_ - pos_});
    std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return true;
  }

 private:
  std::string data_;
  std::size_t step_;
  std::size_t fail_after_;
  std::size_t pos_ = 0;
};

struct Outcome {
  std::string data;
  Error err;  // what.empty(): the input ended
};

Outcome read_through(std::unique_ptr<Reader> reader, std::size_t step) {
  Outcome out;
  std::vector<char> buf(step);
  for (;;) {
    std::size_t got = 0;
    if (!reader->read(buf.data(), buf.size(), &got, &out.err)) break;
    if (got == 0) break;
    EXPECT_LE(got, step);
    out.data.append(buf.data(), got);
  }
  // The end or the error stays.
  std::size_t got = 1;
  Error again;
  char byte;
  EXPECT_EQ(out.err.what.empty(), reader->read(&byte, 1, &got, &again));
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
    const Outcome out = read_through(
        make_threaded_reader(
            std::make_unique<Source>(data, c.inner_step, c.fail_after),
            c.block_bytes, c.blocks),
        c.read_step);
    EXPECT_EQ(data.substr(0, c.fail_after), out.data);
    if (c.fail_after == kEnds) {
      EXPECT_EQ("", out.err.what);
    } else {
      EXPECT_EQ("Input/output error", out.err.what);
      EXPECT_EQ("MPCORB.DAT.gz", out.err.path);
    }
  }
}

// An endless input that tells how much was read and whether a read is
// going on.
struct Probe {
  std::atomic<std::size_t> bytes{0};
  std::atomic<bool> reading{false};
  std::atomic<bool> destroyed{false};
};

class EndlessSource : public Reader {
 public:
  explicit EndlessSource(std::shared_ptr<Probe> probe)
      : probe_(std::move(probe)) {}
  ~EndlessSource() override {
    EXPECT_FALSE(probe_->reading.load());
    probe_->destroyed = true;
  }
  bool read(char* buf, std::size_t size, std::size_t* got, Error*) override {
    probe_->reading = true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    const std::size_t n = std::min<std::size_t>(size, 100);
    std::memset(buf, 'x', n);
    probe_->bytes += n;
    *got = n;
    probe_->reading = false;
    return true;
  }

 private:
  std::shared_ptr<Probe> probe_;
};

TEST(ThreadedReader, ReadsAheadAFewBlocksAndStopsWhenDestroyed) {
  constexpr std::size_t kBlockBytes = 1000;
  constexpr int kBlocks = 3;
  for (const std::size_t taken : {0, 1, 2500, 50000}) {
    SCOPED_TRACE(taken);
    auto probe = std::make_shared<Probe>();
    auto reader = make_threaded_reader(std::make_unique<EndlessSource>(probe),
                                       kBlockBytes, kBlocks);
    std::string buf(taken, '\0');
    std::size_t have = 0;
    while (have < taken) {
      std::size_t got = 0;
      Error err;
      ASSERT_TRUE(reader->read(&buf[have], taken - have, &got, &err));
      ASSERT_GT(got, 0u);
      have += got;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Never more than the blocks ahead of what the caller took.
    EXPECT_LE(probe->bytes.load(), taken + kBlocks * kBlockBytes);
    reader.reset();  // while the thread waits for room or reads
    EXPECT_TRUE(probe->destroyed.load());
  }
}

}  // namespace
}  // namespace orbitpick
