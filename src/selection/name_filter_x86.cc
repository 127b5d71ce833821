// The name matcher's vector filters for x86 processors.

#include "selection/name_filter_x86.h"

#include "input/line_reader.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define ORBITPICK_HAVE_AVX2 1
#endif

namespace orbitpick {
namespace {

#if defined(ORBITPICK_HAVE_AVX2)
__attribute__((target("avx2"))) inline int newlines_in(__m256i bytes) {
  return __builtin_popcount(static_cast<unsigned>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')))));
}

// The filter for 32 positions at once: the nibble tables looked up with byte
// shuffles, one pair per fingerprint byte, and-ed together. The first load
// of each block also counts its line feeds, so each byte is read once.
template <int N>
__attribute__((target("avx2"))) std::int64_t find_names_avx2(
    const MatcherTables& m, Found* f) {
  const std::string_view text = f->text;
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  __m256i low[N];
  __m256i high[N];
  for (int i = 0; i < N; ++i) {
    low[i] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.low_nibble[i])));
    high[i] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.high_nibble[i])));
  }
  const char* data = text.data();
  std::int64_t lines = 0;
  std::size_t at = 0;
  // Loads reach at + N - 1 + 31; the rest goes to the plain loop.
  for (; at + 32 + N - 1 <= text.size(); at += 32) {
    __builtin_prefetch(data + at + kPrefetchAhead);
    __m256i bits = _mm256_set1_epi8(-1);
    for (int i = 0; i < N; ++i) {
      const __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + i));
      if (i == 0) lines += newlines_in(v);
      const __m256i lo =
          _mm256_shuffle_epi8(low[i], _mm256_and_si256(v, nibble));
      const __m256i hi = _mm256_shuffle_epi8(
          high[i], _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
      bits = _mm256_and_si256(bits, _mm256_and_si256(lo, hi));
    }
    unsigned hits = ~static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bits, _mm256_setzero_si256())));
    while (hits != 0) {
      check_candidate(m, f, at + __builtin_ctz(hits));
      hits &= hits - 1;
    }
  }
  find_names_plain<N>(m, f, at);
  return lines + count_newlines(data + at, data + text.size());
}

// For a few names: each name's two rare bytes compared at their offsets, 32
// positions at once; far fewer instructions than the nibble filter.
template <int N, int P>
__attribute__((target("avx2"))) std::int64_t find_pairs_avx2(
    const MatcherTables& m, Found* f) {
  const std::string_view text = f->text;
  __m256i first[P];
  __m256i second[P];
  for (int j = 0; j < P; ++j) {
    first[j] = _mm256_set1_epi8(static_cast<char>(m.pairs[j].byte[0]));
    second[j] = _mm256_set1_epi8(static_cast<char>(m.pairs[j].byte[1]));
  }
  const char* data = text.data();
  std::int64_t lines = 0;
  std::size_t at = 0;
  for (; at + 32 + m.pair_reach <= text.size(); at += 32) {
    __builtin_prefetch(data + at + kPrefetchAhead);
    lines += newlines_in(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)));
    __m256i any = _mm256_setzero_si256();
    for (int j = 0; j < P; ++j) {
      const __m256i a =
          _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                                data + at + m.pairs[j].offset[0])),
                            first[j]);
      const __m256i b =
          _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                                data + at + m.pairs[j].offset[1])),
                            second[j]);
      any = _mm256_or_si256(any, _mm256_and_si256(a, b));
    }
    unsigned hits = static_cast<unsigned>(_mm256_movemask_epi8(any));
    while (hits != 0) {
      check_candidate(m, f, at + __builtin_ctz(hits));
      hits &= hits - 1;
    }
  }
  find_names_plain<N>(m, f, at);
  return lines + count_newlines(data + at, data + text.size());
}

// check_batch with the sieve eight positions at a time: their first eight
// bytes gathered, each key length's hash made in all eight lanes, the
// sieve's words gathered by it and both bits tested (see sieve_bits). A
// position whose eight bytes would reach past the text, or any in a text of
// 2 GiB or more (the gather's offsets are signed), goes through
// check_batch's own sieve.
__attribute__((target("avx512f,avx512dq"))) void check_batch_avx512(
    const MatcherTables& m, Found* f, std::uint32_t* batch, std::size_t held) {
  const char* text = f->text.data();
  const std::size_t size = f->text.size();
  const __m512i one = _mm512_set1_epi64(1);
  const __m512i product =
      _mm512_set1_epi64(static_cast<long long>(kMixProduct));
  const __m128i shift = _mm_cvtsi32_si128(m.sieve_shift);
  const __m128i shift_first =
      _mm_cvtsi32_si128(m.sieve_shift - kSieveFirstBit);
  const __m128i shift_second =
      _mm_cvtsi32_si128(m.sieve_shift - kSieveSecondBit);
  const __m512i low_six = _mm512_set1_epi64(63);
  const auto* sieve = reinterpret_cast<const long long*>(m.sieve.data());
  std::size_t kept = 0;
  const std::size_t lanes_held = size <= 0x7fffffff ? held : 0;
  std::size_t i = 0;
  for (; i + 8 <= lanes_held && batch[i + 7] + kMaxKeyBytes <= size; i += 8) {
    const __m256i at =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(batch + i));
    // The masked forms here and below: GCC 12 warns of the undefined
    // register the plain ones start from.
    const __m512i word =
        _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), 0xFF, at, text, 1);
    __m512i any = _mm512_setzero_si512();
    for (const std::uint32_t key_len : m.key_lengths) {
      const __m512i key = _mm512_and_si512(
          word, _mm512_set1_epi64(static_cast<long long>(
                    low_bytes(~std::uint64_t{0}, key_len))));
      const __m512i h = _mm512_mullo_epi64(
          _mm512_xor_si512(key, _mm512_set1_epi64(static_cast<long long>(
                                    key_len * kMixLength))),
          product);
      const __m512i words = _mm512_mask_i64gather_epi64(
          _mm512_setzero_si512(), 0xFF, _mm512_maskz_srl_epi64(0xFF, h, shift),
          sieve, 8);
      const __m512i first = _mm512_and_si512(
          _mm512_maskz_srl_epi64(0xFF, h, shift_first), low_six);
      const __m512i second = _mm512_and_si512(
          _mm512_maskz_srl_epi64(0xFF, h, shift_second), low_six);
      any = _mm512_or_si512(
          any, _mm512_and_si512(_mm512_maskz_srlv_epi64(0xFF, words, first),
                                _mm512_maskz_srlv_epi64(0xFF, words, second)));
    }
    unsigned lanes = _mm512_test_epi64_mask(any, one);
    while (lanes != 0) {
      batch[kept++] = batch[i + static_cast<std::size_t>(__builtin_ctz(lanes))];
      lanes &= lanes - 1;
    }
  }
  for (std::size_t k = 0; k < kept; ++k) check_position(m, f, batch[k]);
  // The rest lie after every position checked here, so the order holds.
  check_batch(m, f, batch + i, held - i);
}

// The exact byte tables, folded onto seven bits, for 64 positions at once:
// one two-register byte permute per fingerprint byte. A byte of 128 or more
// looks up its folded entry, which may let a position through needlessly
// but never holds one back.
template <int N>
__attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt"))) std::int64_t
find_names_vbmi(const MatcherTables& m, Found* f) {
  const std::string_view text = f->text;
  __m512i low[N];
  __m512i high[N];
  for (int i = 0; i < N; ++i) {
    low[i] = _mm512_loadu_si512(m.folded_buckets[i]);
    high[i] = _mm512_loadu_si512(m.folded_buckets[i] + 64);
  }
  const __m512i newline = _mm512_set1_epi8('\n');
  std::uint32_t batch[kBatch + 64];
  std::size_t held = 0;
  const char* data = text.data();
  std::int64_t lines = 0;
  std::size_t at = 0;
  for (; at + 64 + N - 1 <= text.size(); at += 64) {
    __builtin_prefetch(data + at + kPrefetchAhead);
    const __m512i first = _mm512_loadu_si512(data + at);
    lines += __builtin_popcountll(_mm512_cmpeq_epi8_mask(first, newline));
    __m512i bits = _mm512_permutex2var_epi8(low[0], first, high[0]);
    for (int i = 1; i < N; ++i) {
      bits = _mm512_and_si512(
          bits, _mm512_permutex2var_epi8(
                    low[i], _mm512_loadu_si512(data + at + i), high[i]));
    }
    std::uint64_t hits = _mm512_test_epi8_mask(bits, bits);
    while (hits != 0) {
      batch[held++] = static_cast<std::uint32_t>(at + __builtin_ctzll(hits));
      hits &= hits - 1;
    }
    if (held > kBatch) {
      check_batch_avx512(m, f, batch, held);
      held = 0;
    }
  }
  check_batch_avx512(m, f, batch, held);
  find_names_plain<N>(m, f, at);
  return lines + count_newlines(data + at, data + text.size());
}
#endif

}  // namespace

bool x86_filter_runs_here(MatcherFilter filter) {
#if defined(ORBITPICK_HAVE_AVX2)
  switch (filter) {
    case MatcherFilter::kAvx2Nibbles:
    case MatcherFilter::kAvx2Pairs:
      return __builtin_cpu_supports("avx2");
    case MatcherFilter::kVbmiBytes:
      return __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi") &&
             __builtin_cpu_supports("avx512dq");
    case MatcherFilter::kPlain:
      break;
  }
#else
  (void)filter;
#endif
  return false;
}

#if defined(ORBITPICK_HAVE_AVX2)
std::int64_t run_x86_filter(const MatcherTables& m, Found* f) {
  using Filter = std::int64_t (*)(const MatcherTables&, Found*);
  constexpr int kFp = MatcherTables::kMaxFingerprint;
  static constexpr Filter kNibbles[kFp] = {
      find_names_avx2<1>, find_names_avx2<2>, find_names_avx2<3>,
      find_names_avx2<4>, find_names_avx2<5>, find_names_avx2<6>};
  static constexpr Filter kBytes[kFp] = {
      find_names_vbmi<1>, find_names_vbmi<2>, find_names_vbmi<3>,
      find_names_vbmi<4>, find_names_vbmi<5>, find_names_vbmi<6>};
  // By fingerprint, then by the number of pairs.
  static constexpr Filter kPairs[kFp][MatcherTables::kMaxPairs] = {
      {find_pairs_avx2<1, 1>, find_pairs_avx2<1, 2>, find_pairs_avx2<1, 3>,
       find_pairs_avx2<1, 4>},
      {find_pairs_avx2<2, 1>, find_pairs_avx2<2, 2>, find_pairs_avx2<2, 3>,
       find_pairs_avx2<2, 4>},
      {find_pairs_avx2<3, 1>, find_pairs_avx2<3, 2>, find_pairs_avx2<3, 3>,
       find_pairs_avx2<3, 4>},
      {find_pairs_avx2<4, 1>, find_pairs_avx2<4, 2>, find_pairs_avx2<4, 3>,
       find_pairs_avx2<4, 4>},
      {find_pairs_avx2<5, 1>, find_pairs_avx2<5, 2>, find_pairs_avx2<5, 3>,
       find_pairs_avx2<5, 4>},
      {find_pairs_avx2<6, 1>, find_pairs_avx2<6, 2>, find_pairs_avx2<6, 3>,
       find_pairs_avx2<6, 4>}};
  const int fp = m.fingerprint - 1;
  switch (m.filter) {
    case MatcherFilter::kVbmiBytes:
      return kBytes[fp](m, f);
    case MatcherFilter::kAvx2Pairs:
      return kPairs[fp][m.pairs.size() - 1](m, f);
    default:
      return kNibbles[fp](m, f);
  }
}
#else
// Never called: no vector filter runs here, so every matcher's is kPlain.
std::int64_t run_x86_filter(const MatcherTables&, Found*) { return 0; }
#endif

}  // namespace orbitpick
