// Reading an input in big blocks of whole lines.
//
// The catalogue is ~290 MB of short lines; reading it a line at a time costs
// more than searching it. The reader hands out runs of complete lines from a
// large buffer, carrying an unfinished last line over to the next run.

#ifndef ORBITPICK_INPUT_LINE_READER_H_
#define ORBITPICK_INPUT_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "input/reader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace orbitpick {

/// Default size of the reading buffer; it fits the second-level cache.
constexpr std::size_t kDefaultBufferBytes = 256 * 1024;

/// The longest line the buffer grows for. No catalogue or list line comes
/// near it; a file that has one is refused rather than read into memory
/// without bound (and offsets into a run stay below 2^32).
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 30;

/// How far ahead of the bytes it is reading a pass over a text asks for
/// bytes to be brought into the cache: a page. A mapped file's pages lie
/// scattered in memory, and the processor's own prefetching stops at each
/// page's end; asked for one at a time within the pass, the next page's
/// lines arrive while this page is being read.
constexpr std::size_t kPrefetchAhead = 4096;

struct LineBuffer {
  Reader* reader = nullptr;
  std::size_t capacity = kDefaultBufferBytes;  // grows for a longer line
  std::size_t max_capacity = kMaxLineBytes;
  std::vector<char> data;  // "capacity" bytes
  std::size_t head = 0;    // first byte not handed out
  std::size_t tail = 0;    // end of the bytes read
  bool at_end = false;
};

/// Prepares "lines" to read "reader" (which must outlive it) through a buffer
/// of "buffer_bytes" bytes (at least 1), which grows up to "max_line_bytes"
/// for a long line.
void init_line_buffer(LineBuffer* lines, Reader* reader,
                      std::size_t buffer_bytes = kDefaultBufferBytes,
                      std::size_t max_line_bytes = kMaxLineBytes);

/// What next_lines found.
enum class LinesRead {
  kRun,     // *run holds the next run of lines
  kEnd,     // the input is over
  kFailed,  // a read failed, or a line is longer than the buffer may grow
};

/// Sets *run to the next run of complete lines: it ends just after a line
/// feed, except at the end of the input, where it is the last line without
/// one. The run stays valid until the next call. On kFailed, *err says why.
LinesRead next_lines(LineBuffer* lines, std::string_view* run, Error* err);

/// Takes the first line off "*rest" and sets *line to it without its line
/// feed (the last line of a run may have none). False when "*rest" is empty.
/// Every walk over the lines of a run goes through here, so none forms a
/// pointer past the run's end.
inline bool take_line(std::string_view* rest, std::string_view* line) {
  if (rest->empty()) return false;
  const void* newline = std::memchr(rest->data(), '\n', rest->size());
  const std::size_t length =
      newline != nullptr
          ? static_cast<std::size_t>(static_cast<const char*>(newline) -
                                     rest->data())
          : rest->size();
  *line = rest->substr(0, length);
  rest->remove_prefix(newline != nullptr ? length + 1 : length);
  return true;
}

/// Number of line feeds in [begin, end).
std::int64_t count_newlines(const char* begin, const char* end);

/// The last line feed in [begin, end), or nullptr.
const char* last_newline(const char* begin, const char* end);

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORBITPICK_NEWLINES_AVX2 1
// 64 bytes a step where the processor has AVX2, which takes the lines of
// a mapped catalogue as fast as the default scan's search; returns where
// it stopped.
template <typename At>
__attribute__((target("avx2"))) std::size_t for_each_newline_avx2(
    std::string_view text, At& at) {
  const char* p = text.data();
  const __m256i newline = _mm256_set1_epi8('\n');
  std::size_t i = 0;
  for (; i + 64 <= text.size(); i += 64) {
    __builtin_prefetch(p + i + kPrefetchAhead);
    const __m256i lo =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i hi =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    std::uint64_t mask =
        static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, newline))) |
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(
             _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, newline))))
         << 32);
    while (mask != 0) {
      at(i + static_cast<std::size_t>(__builtin_ctzll(mask)));
      mask &= mask - 1;
    }
  }
  return i;
}
#endif

/// Calls "at" with the offset of every line feed of "text", in order: one
/// pass over the text, 64 or 32 bytes a step, for a caller that would
/// otherwise look for each line's end in turn, and that can then look at
/// each line while its bytes are still in the nearest cache.
template <typename At>
void for_each_newline(std::string_view text, At at) {
  const char* p = text.data();
  std::size_t i = 0;
#if defined(ORBITPICK_NEWLINES_AVX2)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) i = for_each_newline_avx2(text, at);
#endif
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  for (; i + 32 <= text.size(); i += 32) {
    __builtin_prefetch(p + i + kPrefetchAhead);
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hi =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
    std::uint32_t mask =
        static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(lo, newline))) |
        (static_cast<std::uint32_t>(
             _mm_movemask_epi8(_mm_cmpeq_epi8(hi, newline)))
         << 16);
    while (mask != 0) {
      at(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < text.size(); ++i) {
    if (p[i] == '\n') at(i);
  }
}

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LINE_READER_H_
