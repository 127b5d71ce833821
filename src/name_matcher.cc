// Finding every name of the target list in the catalogue, in one pass.

#include "name_matcher.h"

#include <algorithm>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define ORBITPICK_HAVE_AVX2 1
#endif

namespace orbitpick {
namespace {

constexpr int kBuckets = 8;
constexpr std::size_t kMaxKeyBytes = 8;

std::uint64_t prefix_key(const char* p, std::size_t len) {
  std::uint64_t key = 0;
  std::memcpy(&key, p, len);
  return key;
}

std::size_t slot_hash(std::uint64_t key, std::uint32_t key_len) {
  std::uint64_t h = (key ^ (key_len * 0x9E3779B97F4A7C15ull)) *
                    0xFF51AFD7ED558CCDull;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

const NameMatcher::Slot* find_slot(const NameMatcher& m, std::uint64_t key,
                                   std::uint32_t key_len) {
  const std::size_t mask = m.slots.size() - 1;
  for (std::size_t i = slot_hash(key, key_len) & mask;; i = (i + 1) & mask) {
    const NameMatcher::Slot& slot = m.slots[i];
    if (slot.count == 0) return nullptr;
    if (slot.key == key && slot.key_len == key_len) return &slot;
  }
}

template <int N>
const char* next_candidate_plain(const NameMatcher& m, const char* p,
                                 const char* end) {
  for (; end - p >= N; ++p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    unsigned bits = m.byte_buckets[0][u[0]];
    if (N > 1) bits &= m.byte_buckets[1][u[1]];
    if (N > 2) bits &= m.byte_buckets[2][u[2]];
    if (bits != 0) return p;
  }
  return end;
}

#if defined(ORBITPICK_HAVE_AVX2)
// Bucket bits of 32 positions at once: the nibble tables looked up with
// byte shuffles, one pair per fingerprint byte, and-ed together.
template <int N>
__attribute__((target("avx2"))) const char* next_candidate_avx2(
    const NameMatcher& m, const char* p, const char* end) {
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  __m256i low[N];
  __m256i high[N];
  for (int i = 0; i < N; ++i) {
    low[i] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.low_nibble[i])));
    high[i] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.high_nibble[i])));
  }
  // Loads reach p + N - 1 + 31; stop where that would pass "end".
  while (end - p >= 32 + N - 1) {
    __m256i bits = _mm256_set1_epi8(-1);
    for (int i = 0; i < N; ++i) {
      const __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      const __m256i lo = _mm256_shuffle_epi8(low[i], _mm256_and_si256(v, nibble));
      const __m256i hi = _mm256_shuffle_epi8(
          high[i], _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
      bits = _mm256_and_si256(bits, _mm256_and_si256(lo, hi));
    }
    const unsigned empty = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(bits, _mm256_setzero_si256())));
    if (empty != 0xFFFFFFFFu) return p + __builtin_ctz(~empty);
    p += 32;
  }
  return next_candidate_plain<N>(m, p, end);
}
#endif

}  // namespace

NameMatcher build_name_matcher(std::vector<std::string> names) {
  NameMatcher m;
  m.names = std::move(names);
  std::size_t shortest = 3;
  for (const std::string& name : m.names) {
    shortest = std::min(shortest, name.size());
  }
  m.fingerprint = static_cast<int>(std::max<std::size_t>(shortest, 1));

  // Buckets: names sorted by their first bytes and cut into eight runs of
  // about equal size, so that names in one bucket look alike and the
  // filter's nibble sets stay small.
  std::vector<std::uint32_t> order(m.names.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  const std::size_t fp = static_cast<std::size_t>(m.fingerprint);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return m.names[a].compare(0, fp, m.names[b], 0, fp) < 0;
  });
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    const std::string& name = m.names[order[rank]];
    if (name.empty()) continue;
    const unsigned bucket = 1u << (rank * kBuckets / order.size());
    for (std::size_t i = 0; i < fp; ++i) {
      const auto byte = static_cast<unsigned char>(name[i]);
      m.low_nibble[i][byte & 0x0f] |= bucket;
      m.high_nibble[i][byte >> 4] |= bucket;
      m.byte_buckets[i][byte] |= bucket;
    }
  }

  // Exact check: names grouped by (key length, key), each group ascending.
  struct Keyed {
    std::uint32_t key_len;
    std::uint64_t key;
    std::uint32_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(m.names.size());
  for (std::uint32_t i = 0; i < m.names.size(); ++i) {
    const std::string& name = m.names[i];
    if (name.empty()) continue;
    const std::size_t len = std::min(name.size(), kMaxKeyBytes);
    keyed.push_back({static_cast<std::uint32_t>(len),
                     prefix_key(name.data(), len), i});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.key_len != b.key_len) return a.key_len < b.key_len;
    if (a.key != b.key) return a.key < b.key;
    return a.index < b.index;
  });
  std::size_t size = 16;
  while (size < keyed.size() * 2) size *= 2;
  m.slots.assign(size, NameMatcher::Slot());
  for (std::size_t i = 0; i < keyed.size();) {
    std::size_t j = i;
    while (j < keyed.size() && keyed[j].key_len == keyed[i].key_len &&
           keyed[j].key == keyed[i].key) {
      m.grouped.push_back(keyed[j].index);
      ++j;
    }
    std::size_t s = slot_hash(keyed[i].key, keyed[i].key_len) & (size - 1);
    while (m.slots[s].count != 0) s = (s + 1) & (size - 1);
    m.slots[s] = {keyed[i].key, static_cast<std::uint32_t>(i),
                  static_cast<std::uint32_t>(j - i), keyed[i].key_len};
    if (m.key_lengths.empty() || m.key_lengths.back() != keyed[i].key_len) {
      m.key_lengths.push_back(keyed[i].key_len);
    }
    i = j;
  }

#if defined(ORBITPICK_HAVE_AVX2)
  m.use_simd = __builtin_cpu_supports("avx2");
#endif
  return m;
}

const char* next_candidate(const NameMatcher& m, const char* p,
                           const char* end) {
  if (m.grouped.empty()) return end;
#if defined(ORBITPICK_HAVE_AVX2)
  if (m.use_simd) {
    switch (m.fingerprint) {
      case 1: return next_candidate_avx2<1>(m, p, end);
      case 2: return next_candidate_avx2<2>(m, p, end);
      default: return next_candidate_avx2<3>(m, p, end);
    }
  }
#endif
  switch (m.fingerprint) {
    case 1: return next_candidate_plain<1>(m, p, end);
    case 2: return next_candidate_plain<2>(m, p, end);
    default: return next_candidate_plain<3>(m, p, end);
  }
}

void names_in_line(const NameMatcher& m, std::string_view line,
                   const char* from, std::vector<std::uint32_t>* hits) {
  const std::size_t before = hits->size();
  const char* end = line.data() + line.size();
  for (const char* p = next_candidate(m, from, end); p < end;
       p = next_candidate(m, p + 1, end)) {
    const std::size_t avail = static_cast<std::size_t>(end - p);
    for (const std::uint32_t key_len : m.key_lengths) {
      if (key_len > avail) break;
      const NameMatcher::Slot* slot = find_slot(m, prefix_key(p, key_len), key_len);
      if (slot == nullptr) continue;
      for (std::uint32_t g = slot->first; g < slot->first + slot->count; ++g) {
        const std::string& name = m.names[m.grouped[g]];
        if (name.size() <= avail &&
            std::memcmp(p + key_len, name.data() + key_len,
                        name.size() - key_len) == 0) {
          hits->push_back(m.grouped[g]);
        }
      }
    }
  }
  std::sort(hits->begin() + static_cast<std::ptrdiff_t>(before), hits->end());
  hits->erase(std::unique(hits->begin() + static_cast<std::ptrdiff_t>(before),
                          hits->end()),
              hits->end());
}

}  // namespace orbitpick
