// Finding every name of the target list in the catalogue, in one pass.

#include "selection/name_matcher.h"

#include <algorithm>
#include <cstring>

#include "input/line_reader.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define ORBITPICK_HAVE_AVX2 1
#endif

namespace orbitpick {
namespace {

constexpr int kBuckets = 8;
constexpr std::size_t kMaxKeyBytes = 8;
// Rough costs of the exact check, in units of about a byte read: a position
// the sieve lets through, a slot looked up, a name compared (plus a unit per
// 16 bytes compared). The check may cost kWorkPerByte units per byte read,
// plus the matcher's work_slack, before the automaton takes over: lists the
// filter works for stay far below that (0.003 units per byte for 10,000
// names on the catalogue).
constexpr std::uint64_t kCandidateWork = 4;
constexpr std::uint64_t kProbeWork = 2;
constexpr std::uint64_t kCompareWork = 2;
constexpr std::uint64_t kWorkPerByte = 1;

// The first "len" (at most 8) bytes at "p" as a number, byte i in bits 8i to
// 8i + 7 whatever the processor's byte order.
std::uint64_t prefix_key(const char* p, std::size_t len) {
  if (len == kMaxKeyBytes) {
    std::uint64_t key;
    std::memcpy(&key, p, sizeof key);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    key = __builtin_bswap64(key);
#endif
    return key;
  }
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < len; ++i) {
    key |= static_cast<std::uint64_t>(u[i]) << (8 * i);
  }
  return key;
}

std::uint64_t low_bytes(std::uint64_t word, std::size_t len) {
  return len >= 8 ? word : word & ((std::uint64_t{1} << (8 * len)) - 1);
}

std::uint64_t mix(std::uint64_t key, std::uint32_t key_len) {
  return (key ^ (key_len * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
}

bool in_sieve(const NameMatcher& m, std::uint64_t h) {
  const std::size_t bit = static_cast<std::size_t>(h >> m.sieve_shift);
  return (m.sieve[bit / 64] >> (bit % 64)) & 1;
}

// Slot of (key, key_len), whose mix() is "h", in the exact check's table:
// the one holding it, or the empty one where it belongs.
std::size_t slot_index(const NameMatcher& m, std::uint64_t key,
                       std::uint32_t key_len, std::uint64_t h) {
  const std::size_t mask = m.slots.size() - 1;
  std::size_t i = static_cast<std::size_t>(h ^ (h >> 29)) & mask;
  while (m.slots[i].count != 0 &&
         (m.slots[i].key != key || m.slots[i].key_len != key_len)) {
    i = (i + 1) & mask;
  }
  return i;
}

// What one call of find_names has found so far.
struct Found {
  std::string_view text;
  MatchState* state;
  std::vector<NameMatch>* matches;
  std::size_t line_start = 0;  // of the line of the latest match
  std::size_t scanned = 0;     // where the search for line starts stopped
  std::size_t resume = 0;      // the automaton has searched up to here
  bool unordered = false;      // the automaton added matches
};

// The line of text[at], as a number unique in the scan. REQUIRES: "at" is
// in the line of the latest match or after it.
std::uint64_t line_of(Found* f, std::size_t at) {
  for (std::size_t i = at; i > f->scanned; --i) {
    if (f->text[i - 1] == '\n') {
      f->line_start = i;
      break;
    }
  }
  f->scanned = std::max(f->scanned, at);
  return f->state->base + f->line_start + 1;
}

// Records "name" at text[at] unless it was already found in this line: a
// line needs each name once, and a long line full of one short name must
// not fill memory with its repeats.
void add_match(Found* f, std::size_t at, std::uint32_t name) {
  const std::uint64_t line = line_of(f, at);
  if (f->state->last_line[name] == line) return;
  f->state->last_line[name] = line;
  f->matches->push_back({static_cast<std::uint32_t>(at), name,
                         static_cast<std::uint32_t>(f->line_start)});
}

// The child of node "v" by byte "c", or 0.
inline std::uint32_t child(const NameAutomaton& a, std::uint32_t v,
                           unsigned char c) {
  const std::uint32_t begin = a.child_begin[v];
  const std::uint32_t end = a.child_begin[v + 1];
  if (end - begin == 1) return a.label[begin] == c ? begin : 0;
  const std::uint8_t* first = a.label.data() + begin;
  const std::uint8_t* last = a.label.data() + end;
  if (last - first > 8) {
    const std::uint8_t* it = std::lower_bound(first, last, c);
    return it != last && *it == c
               ? static_cast<std::uint32_t>(it - a.label.data())
               : 0;
  }
  for (const std::uint8_t* it = first; it != last; ++it) {
    if (*it == c) return static_cast<std::uint32_t>(it - a.label.data());
  }
  return 0;
}

// The node after reading "c" in node "v".
inline std::uint32_t step(const NameAutomaton& a, std::uint32_t v,
                          unsigned char c) {
  for (;;) {
    if (v == 0) return a.root_next[c];
    const std::uint32_t next = child(a, v, c);
    if (next != 0) return next;
    v = a.fail[v];
  }
}

// Runs the automaton from text[at], where some name may start, until it is
// back at the root: no name that starts between "at" and there runs on past
// it, and every one that ends before is recorded. Returns where the filter
// may go on. Each node's names and those down its fail links are recorded
// once per line, so a line of "a"s against "a", "aa", "aaa", ... costs the
// chain once, not at every byte.
std::size_t run_automaton(const NameMatcher& m, Found* f, std::size_t at) {
  NameAutomaton& a = f->state->automaton;
  const auto* u = reinterpret_cast<const unsigned char*>(f->text.data());
  std::uint32_t v = 0;
  for (std::size_t q = at; q < f->text.size(); ++q) {
    v = step(a, v, u[q]);
    if (v == 0) return q + 1;
    std::uint32_t t = a.report[v];
    if (t == 0) continue;
    const std::uint64_t line = line_of(f, q);
    for (; t != 0 && a.walked[a.out_begin[t]] != line;
         t = a.report[a.fail[t]]) {
      a.walked[a.out_begin[t]] = line;
      for (std::uint32_t k = a.out_begin[t]; k < a.out_begin[t + 1]; ++k) {
        const std::uint32_t name = a.out_names[k];
        add_match(f, q + 1 - m.names[name].size(), name);
        f->unordered = true;
      }
    }
  }
  return f->text.size();
}

// Builds the automaton of "names" into "a". Sorted, the names that share a
// node's string are a range, so the trie is laid out breadth-first by
// splitting ranges, with no map from (node, byte) to child.
void build_automaton(const std::vector<std::string>& names, NameAutomaton* a) {
  std::vector<std::uint32_t> order;
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    if (!names[i].empty()) order.push_back(i);
  }
  std::stable_sort(
      order.begin(), order.end(),
      [&](std::uint32_t x, std::uint32_t y) { return names[x] < names[y]; });
  struct Range {
    std::uint32_t first, last, depth;
  };
  std::vector<Range> ranges = {
      {0, static_cast<std::uint32_t>(order.size()), 0}};
  *a = NameAutomaton();
  a->label.push_back(0);
  for (std::size_t v = 0; v < ranges.size(); ++v) {
    const Range r = ranges[v];
    a->child_begin.push_back(static_cast<std::uint32_t>(ranges.size()));
    a->out_begin.push_back(static_cast<std::uint32_t>(a->out_names.size()));
    std::uint32_t i = r.first;
    // A name that is this node's string sorts before the longer ones.
    for (; i < r.last && names[order[i]].size() == r.depth; ++i) {
      a->out_names.push_back(order[i]);
    }
    while (i < r.last) {
      const char c = names[order[i]][r.depth];
      std::uint32_t j = i + 1;
      while (j < r.last && names[order[j]][r.depth] == c) ++j;
      ranges.push_back({i, j, r.depth + 1});
      a->label.push_back(static_cast<std::uint8_t>(c));
      i = j;
    }
  }
  const auto nodes = static_cast<std::uint32_t>(ranges.size());
  a->child_begin.push_back(nodes);
  a->out_begin.push_back(static_cast<std::uint32_t>(a->out_names.size()));
  a->walked.assign(a->out_names.size() + 1, 0);
  a->fail.assign(nodes, 0);
  a->report.assign(nodes, 0);
  for (std::uint32_t c = a->child_begin[0]; c < a->child_begin[1]; ++c) {
    a->root_next[a->label[c]] = c;
  }
  // Breadth-first, so a node's fail link and everything shallower is done
  // before its children need them.
  for (std::uint32_t v = 0; v < nodes; ++v) {
    for (std::uint32_t c = a->child_begin[v]; c < a->child_begin[v + 1]; ++c) {
      const std::uint32_t f = v == 0 ? 0 : step(*a, a->fail[v], a->label[c]);
      a->fail[c] = f;
      a->report[c] = a->out_begin[c + 1] > a->out_begin[c] ? c : a->report[f];
    }
  }
}

bool over_budget(const NameMatcher& m, const Found* f, std::size_t at) {
  return f->state->work > m.work_slack + kWorkPerByte * (f->state->base + at);
}

void start_automaton(const NameMatcher& m, MatchState* state) {
  if (state->use_automaton) return;
  build_automaton(m.names, &state->automaton);
  state->use_automaton = true;
}

// Whether the sieve has the bit of some key that may start at "p", "avail"
// bytes before the end of the text. All lengths' bits are loaded with no
// branch between: most positions the filter lets through have none set.
inline bool in_sieve_any(const NameMatcher& m, const char* p,
                         std::size_t avail) {
  const std::uint64_t word = prefix_key(p, std::min(avail, kMaxKeyBytes));
  std::uint64_t any = 0;
  for (const std::uint32_t key_len : m.key_lengths) {
    if (key_len > avail) break;
    const std::size_t bit = static_cast<std::size_t>(
        mix(low_bytes(word, key_len), key_len) >> m.sieve_shift);
    any |= m.sieve[bit / 64] >> (bit % 64);
  }
  return (any & 1) != 0;
}

// Every name that starts at text[at], a position the sieve lets through:
// the exact check, or the automaton once the exact check has cost too much.
void check_position(const NameMatcher& m, Found* f, std::size_t at) {
  if (at < f->resume) return;
  MatchState* state = f->state;
  if (state->use_automaton) {
    f->resume = run_automaton(m, f, at);
    return;
  }
  const std::string_view text = f->text;
  const std::size_t avail = text.size() - at;
  const char* p = text.data() + at;
  const std::uint64_t word = prefix_key(p, std::min(avail, kMaxKeyBytes));
  state->work += kCandidateWork;
  for (const std::uint32_t key_len : m.key_lengths) {
    if (key_len > avail) break;
    const std::uint64_t key = low_bytes(word, key_len);
    const std::uint64_t h = mix(key, key_len);
    if (!in_sieve(m, h)) continue;
    state->work += kProbeWork;
    const NameMatcher::Slot& slot = m.slots[slot_index(m, key, key_len, h)];
    for (std::uint32_t g = slot.first; g < slot.first + slot.count; ++g) {
      const std::string& name = m.names[m.grouped[g]];
      if (name.size() > avail) continue;
      state->work += kCompareWork + (name.size() - key_len) / 16;
      if (over_budget(m, f, at)) {
        // Names already found here are not recorded twice.
        start_automaton(m, state);
        f->resume = run_automaton(m, f, at);
        return;
      }
      if (std::memcmp(p + key_len, name.data() + key_len,
                      name.size() - key_len) == 0) {
        add_match(f, at, m.grouped[g]);
      }
    }
  }
  if (over_budget(m, f, at)) start_automaton(m, state);
}

// Positions the filter lets through, in increasing order: the sieve for all
// of them first, with no branch, so that its loads overlap.
constexpr std::size_t kBatch = 256;
void check_batch(const NameMatcher& m, Found* f, std::uint32_t* batch,
                 std::size_t held) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < held; ++i) {
    const std::uint32_t at = batch[i];
    batch[kept] = at;
    kept += in_sieve_any(m, f->text.data() + at, f->text.size() - at);
  }
  for (std::size_t i = 0; i < kept; ++i) check_position(m, f, batch[i]);
}

// A position the filter lets through.
inline void check_candidate(const NameMatcher& m, Found* f, std::size_t at) {
  if (in_sieve_any(m, f->text.data() + at, f->text.size() - at)) {
    check_position(m, f, at);
  }
}

// The filter one position at a time, with exact byte tables.
template <int N>
void find_names_plain(const NameMatcher& m, Found* f, std::size_t at) {
  const std::string_view text = f->text;
  const auto* u = reinterpret_cast<const unsigned char*>(text.data());
  for (; at < text.size(); ++at) {
    unsigned bits = 0xFF;
    for (std::size_t i = 0; i < N && bits != 0; ++i) {
      // Past the end only names shorter than i + 1 can still fit.
      bits &=
          at + i < text.size() ? m.byte_buckets[i][u[at + i]] : m.wildcard[i];
    }
    if (bits != 0) check_candidate(m, f, at);
  }
}

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
    const NameMatcher& m, Found* f) {
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
    const NameMatcher& m, Found* f) {
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

// The exact byte tables, folded onto seven bits, for 64 positions at once:
// one two-register byte permute per fingerprint byte. A byte of 128 or more
// looks up its folded entry, which may let a position through needlessly
// but never holds one back.
template <int N>
__attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt"))) std::int64_t
find_names_vbmi(const NameMatcher& m, Found* f) {
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
      check_batch(m, f, batch, held);
      held = 0;
    }
  }
  check_batch(m, f, batch, held);
  find_names_plain<N>(m, f, at);
  return lines + count_newlines(data + at, data + text.size());
}
#endif

template <int N>
std::int64_t find_names_with(const NameMatcher& m, Found* f) {
#if defined(ORBITPICK_HAVE_AVX2)
  if (m.use_simd) {
    switch (m.pairs.size()) {
      case 0:
        return m.use_vbmi ? find_names_vbmi<N>(m, f) : find_names_avx2<N>(m, f);
      case 1:
        return find_pairs_avx2<N, 1>(m, f);
      case 2:
        return find_pairs_avx2<N, 2>(m, f);
      case 3:
        return find_pairs_avx2<N, 3>(m, f);
      default:
        return find_pairs_avx2<N, 4>(m, f);
    }
  }
#endif
  find_names_plain<N>(m, f, 0);
  return count_newlines(f->text.data(), f->text.data() + f->text.size());
}

// How often a byte turns up in catalogue lines: spaces, digits and points
// fill most columns; capitals, "-" and the perturber codes' "v", "k" and
// "h" are in every line; other letters mostly only in names.
int commonness(unsigned char c) {
  if (c == ' ' || c == '.' || (c >= '0' && c <= '9')) return 3;
  if ((c >= 'A' && c <= 'Z') || c == '-' || c == 'v' || c == 'k' || c == 'h') {
    return 2;
  }
  return 1;
}

// The two rarest bytes of "name" among its first 32, as far apart as the
// choice allows.
NameMatcher::Pair rare_pair(const std::string& name) {
  const std::size_t n = std::min<std::size_t>(name.size(), 32);
  auto rank = [&](std::size_t i) {
    return commonness(static_cast<unsigned char>(name[i]));
  };
  std::size_t first = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (rank(i) < rank(first)) first = i;
  }
  std::size_t second = first;
  for (std::size_t i = 0; i < n; ++i) {
    if (i == first) continue;
    const std::size_t gap = i > first ? i - first : first - i;
    const std::size_t best_gap =
        second > first ? second - first : first - second;
    if (second == first || rank(i) < rank(second) ||
        (rank(i) == rank(second) && gap > best_gap)) {
      second = i;
    }
  }
  NameMatcher::Pair pair;
  pair.offset[0] = static_cast<std::uint8_t>(first);
  pair.offset[1] = static_cast<std::uint8_t>(second);
  pair.byte[0] = static_cast<std::uint8_t>(name[first]);
  pair.byte[1] = static_cast<std::uint8_t>(name[second]);
  return pair;
}

// Spreads the names over the buckets. A bucket allows, at each byte, every
// value that any of its names has there, so its names should look alike.
// Names of one length class (1 to fp - 1 bytes, or fp and longer) never
// share a bucket, since a short name allows anything past its end; within a
// class, names in list order are cut into runs, each class getting buckets
// in proportion to its size.
void fill_buckets(NameMatcher* m) {
  const std::size_t fp = static_cast<std::size_t>(m->fingerprint);
  auto length_class = [&](std::uint32_t i) {
    return std::min(m->names[i].size(), fp);
  };
  // Grouped by class, keeping the list's order within each: the target list
  // comes sorted, so each class is sorted too (and if not, only the
  // filter's selectivity suffers).
  std::vector<std::size_t> size(fp + 1, 0);
  for (const std::string& name : m->names) {
    if (!name.empty()) ++size[std::min(name.size(), fp)];
  }
  std::vector<std::size_t> start(fp + 2, 0);
  for (std::size_t c = 1; c <= fp; ++c) start[c + 1] = start[c] + size[c];
  std::vector<std::uint32_t> order(start[fp + 1]);
  for (std::uint32_t i = 0; i < m->names.size(); ++i) {
    if (!m->names[i].empty()) order[start[length_class(i)]++] = i;
  }

  std::vector<std::size_t> buckets(fp + 1, 0);
  int used = 0;
  for (std::size_t c = 1; c <= fp; ++c) {
    if (size[c] > 0 && used < kBuckets) {
      buckets[c] = 1;
      ++used;
    }
  }
  for (; used < kBuckets; ++used) {
    std::size_t best = 0;  // the class with the most names per bucket
    for (std::size_t c = 1; c <= fp; ++c) {
      if (buckets[c] > 0 &&
          (best == 0 || size[c] * buckets[best] > size[best] * buckets[c])) {
        best = c;
      }
    }
    if (best == 0) break;
    ++buckets[best];
  }

  std::size_t rank = 0;
  int first = 0;
  for (std::size_t c = 1; c <= fp; ++c) {
    const std::size_t count = std::max<std::size_t>(buckets[c], 1);
    for (std::size_t k = 0; k < size[c]; ++k, ++rank) {
      const std::string& name = m->names[order[rank]];
      const int index = std::min<int>(
          kBuckets - 1, first + static_cast<int>(k * count / size[c]));
      const auto bucket = static_cast<std::uint8_t>(1u << index);
      for (std::size_t i = 0; i < fp; ++i) {
        if (i < name.size()) {
          const auto byte = static_cast<unsigned char>(name[i]);
          m->low_nibble[i][byte & 0x0f] |= bucket;
          m->high_nibble[i][byte >> 4] |= bucket;
          m->byte_buckets[i][byte] |= bucket;
        } else {
          for (auto& bits : m->low_nibble[i]) bits |= bucket;
          for (auto& bits : m->high_nibble[i]) bits |= bucket;
          for (auto& bits : m->byte_buckets[i]) bits |= bucket;
          m->wildcard[i] |= bucket;
        }
      }
    }
    first = std::min(kBuckets - 1, first + static_cast<int>(buckets[c]));
  }
}

// Groups the names by (key length, key) for the exact check, each group in
// list order, and marks their keys in the sieve: about 64 bits per name, so
// that a position whose first bytes are no key rarely finds its bit set.
void fill_tables(NameMatcher* m) {
  // Both tables are sized by the number of distinct keys, which a list of
  // names sharing their first eight bytes keeps small.
  std::vector<std::uint64_t> mixes;
  for (const std::string& name : m->names) {
    if (name.empty()) continue;
    const auto len =
        static_cast<std::uint32_t>(std::min(name.size(), kMaxKeyBytes));
    mixes.push_back(mix(prefix_key(name.data(), len), len));
  }
  std::sort(mixes.begin(), mixes.end());
  const std::size_t keys = static_cast<std::size_t>(
      std::unique(mixes.begin(), mixes.end()) - mixes.begin());
  mixes = std::vector<std::uint64_t>();
  int sieve_bits = 15;
  while (sieve_bits < 24 && (std::size_t{1} << sieve_bits) < keys * 64) {
    ++sieve_bits;
  }
  m->sieve_shift = 64 - sieve_bits;
  m->sieve.assign((std::size_t{1} << sieve_bits) / 64, 0);
  std::size_t size = 16;
  while (size < keys * 2) size *= 2;
  m->slots.assign(size, NameMatcher::Slot());
  // First pass: count each group; second: lay the groups out in the order
  // of the table and fill them in list order.
  std::vector<std::uint32_t> slot_of(m->names.size());
  bool lengths[kMaxKeyBytes + 1] = {};
  for (std::uint32_t i = 0; i < m->names.size(); ++i) {
    const std::string& name = m->names[i];
    if (name.empty()) continue;
    const auto len =
        static_cast<std::uint32_t>(std::min(name.size(), kMaxKeyBytes));
    const std::uint64_t key = prefix_key(name.data(), len);
    const std::uint64_t h = mix(key, len);
    const std::size_t s = slot_index(*m, key, len, h);
    m->slots[s].key = key;
    m->slots[s].key_len = len;
    ++m->slots[s].count;
    slot_of[i] = static_cast<std::uint32_t>(s);
    lengths[len] = true;
    const std::size_t bit = static_cast<std::size_t>(h >> m->sieve_shift);
    m->sieve[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  std::uint32_t next = 0;
  for (NameMatcher::Slot& slot : m->slots) {
    slot.first = next;
    next += slot.count;
  }
  // "first" runs along each group as it is filled, then is set back.
  m->grouped.resize(next);
  for (std::uint32_t i = 0; i < m->names.size(); ++i) {
    if (!m->names[i].empty()) m->grouped[m->slots[slot_of[i]].first++] = i;
  }
  for (NameMatcher::Slot& slot : m->slots) slot.first -= slot.count;
  for (std::uint32_t len = 1; len <= kMaxKeyBytes; ++len) {
    if (lengths[len]) m->key_lengths.push_back(len);
  }
}

}  // namespace

NameMatcher build_name_matcher(std::vector<std::string> names) {
  NameMatcher m;
  m.names = std::move(names);
  std::size_t longest = 1;
  for (const std::string& name : m.names) {
    longest = std::max(longest, name.size());
  }
  m.fingerprint = static_cast<int>(
      std::min<std::size_t>(longest, NameMatcher::kMaxFingerprint));
  fill_buckets(&m);
  for (int i = 0; i < m.fingerprint; ++i) {
    for (int c = 0; c < 256; ++c)
      m.folded_buckets[i][c & 0x7f] |= m.byte_buckets[i][c];
  }
  fill_tables(&m);
  if (m.names.size() <= NameMatcher::kMaxPairs) {
    for (const std::string& name : m.names) {
      if (name.empty()) continue;
      m.pairs.push_back(rare_pair(name));
      m.pair_reach = std::max<std::size_t>(
          {m.pair_reach, m.pairs.back().offset[0], m.pairs.back().offset[1]});
    }
  }
#if defined(ORBITPICK_HAVE_AVX2)
  m.use_simd = __builtin_cpu_supports("avx2");
  m.use_vbmi = __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
#endif
  return m;
}

std::int64_t find_names(const NameMatcher& m, std::string_view text,
                        MatchState* state, std::vector<NameMatch>* matches) {
  std::int64_t lines = 0;
  if (m.grouped.empty()) {
    lines = count_newlines(text.data(), text.data() + text.size());
  } else {
    if (state->last_line.size() != m.names.size()) {
      state->last_line.assign(m.names.size(), 0);
    }
    using Finder = std::int64_t (*)(const NameMatcher&, Found*);
    static constexpr Finder kFinders[NameMatcher::kMaxFingerprint] = {
        find_names_with<1>, find_names_with<2>, find_names_with<3>,
        find_names_with<4>, find_names_with<5>, find_names_with<6>};
    if (m.always_automaton) start_automaton(m, state);
    const std::size_t first = matches->size();
    Found f{text, state, matches};
    lines = kFinders[m.fingerprint - 1](m, &f);
    // The automaton finds names in the order they end.
    if (f.unordered) {
      std::sort(matches->begin() + first, matches->end(),
                [](const NameMatch& a, const NameMatch& b) {
                  return a.offset < b.offset;
                });
    }
  }
  state->base += text.size() + 1;
  return lines;
}

}  // namespace orbitpick
