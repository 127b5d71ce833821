// Reading an input in big blocks of whole lines.

#include "input/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orbitpick {

void init_line_buffer(LineBuffer* lines, Reader* reader,
                      std::size_t buffer_bytes, std::size_t max_line_bytes) {
  lines->reader = reader;
  lines->max_capacity = std::max<std::size_t>(max_line_bytes, 1);
  lines->capacity =
      std::min(std::max<std::size_t>(buffer_bytes, 1), lines->max_capacity);
  lines->data.assign(lines->capacity, '\0');
  lines->head = 0;
  lines->tail = 0;
  lines->at_end = false;
}

LinesRead next_lines(LineBuffer* lines, std::string_view* run, Error* err) {
  for (;;) {
    char* data = lines->data.data();
    if (lines->at_end) {
      if (lines->head == lines->tail) return LinesRead::kEnd;
      *run = std::string_view(data + lines->head, lines->tail - lines->head);
      lines->head = lines->tail;
      return LinesRead::kRun;
    }
    if (lines->head > 0) {
      std::memmove(data, data + lines->head, lines->tail - lines->head);
      lines->tail -= lines->head;
      lines->head = 0;
    }
    if (lines->tail == lines->capacity) {
      // A line longer than the buffer: every line must be searched whole.
      if (lines->capacity == lines->max_capacity) {
        fail(err, "line longer than " + std::to_string(lines->max_capacity) +
                      " bytes");
        return LinesRead::kFailed;
      }
      // Short of the limit, memory may run out first (an input without
      // line feeds, such as /dev/zero): the caller names the file.
      const std::size_t grown =
          std::min(lines->capacity * 2, lines->max_capacity);
      try {
        lines->data.resize(grown, '\0');
      } catch (const std::bad_alloc&) {
        fail(err, std::strerror(ENOMEM));
        return LinesRead::kFailed;
      }
      lines->capacity = grown;
      data = lines->data.data();
    }
    std::size_t got = 0;
    if (!lines->reader->read(data + lines->tail, lines->capacity - lines->tail,
                             &got, err)) {
      return LinesRead::kFailed;
    }
    if (got == 0) {
      lines->at_end = true;
      continue;
    }
    const char* fresh = data + lines->tail;
    lines->tail += got;
    const char* last = last_newline(fresh, data + lines->tail);
    if (last != nullptr) {
      const std::size_t end = static_cast<std::size_t>(last - data) + 1;
      *run = std::string_view(data, end);
      lines->head = end;
      return LinesRead::kRun;
    }
  }
}

const char* last_newline(const char* begin, const char* end) {
#if defined(__GLIBC__)
  return static_cast<const char*>(
      memrchr(begin, '\n', static_cast<std::size_t>(end - begin)));
#else
  while (end != begin) {
    if (*--end == '\n') return end;
  }
  return nullptr;
#endif
}

std::int64_t count_newlines(const char* begin, const char* end) {
  std::int64_t count = 0;
#if defined(__SSE2__)
  // 255 rounds of byte counters at most, then fold them into the total.
  const __m128i newline = _mm_set1_epi8('\n');
  while (end - begin >= 16) {
    __m128i counters = _mm_setzero_si128();
    int rounds = 0;
    while (end - begin >= 16 && rounds < 255) {
      const __m128i bytes =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, newline));
      begin += 16;
      ++rounds;
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    count += _mm_cvtsi128_si32(sums) +
             _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
  }
#endif
  return count + std::count(begin, end, '\n');
}

}  // namespace orbitpick
