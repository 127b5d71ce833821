// The name matcher's tables and the exact check that the filters hand the
// positions they let through to. Private to src/selection: the driver
// (name_matcher.cc) builds the tables and runs a scan, the filters
// (name_filter_x86.cc, and the plain one here) read them.

#ifndef ORBITPICK_SELECTION_MATCHER_TABLES_H_
#define ORBITPICK_SELECTION_MATCHER_TABLES_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "selection/aho_corasick.h"
#include "selection/name_matcher.h"

namespace orbitpick {

struct MatcherTables {
  static constexpr int kMaxFingerprint = 6;

  // One slot of the exact check: the names whose first key_len bytes (all of
  // the name, or its first 8) are "key".
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t first = 0;  // into "grouped"
    std::uint32_t count = 0;  // 0: slot unused
    std::uint32_t key_len = 0;
  };

  std::vector<std::string> names;  // in target-list order
  int fingerprint = 0;  // bytes the filter looks at: 1 to kMaxFingerprint
  // Filter tables. Names are spread over eight buckets, one bit each. For
  // byte i from a position: the buckets whose names allow this low (resp.
  // high) nibble, or, for the plain loop, this byte value there. A name
  // shorter than i + 1 allows anything at i ("wildcard").
  std::uint8_t low_nibble[kMaxFingerprint][16] = {};
  std::uint8_t high_nibble[kMaxFingerprint][16] = {};
  std::uint8_t byte_buckets[kMaxFingerprint][256] = {};
  std::uint8_t wildcard[kMaxFingerprint] = {};
  // The byte tables folded onto seven bits, for 128-entry vector lookups:
  // entry c holds the buckets of c and of c + 128.
  std::uint8_t folded_buckets[kMaxFingerprint][128] = {};
  // Sieve: two bits in one word per key of the exact check, so that a
  // position costs a slot lookup only where its first bytes may be a key.
  // A hash's top 64 - sieve_shift bits pick the word, the twelve below them
  // its two bits (see sieve_bits).
  std::vector<std::uint64_t> sieve;
  int sieve_shift = 64;
  // Exact check: open addressing, a power of two in size.
  std::vector<Slot> slots;
  // A name of a slot's group, with its bytes' place and size: the check
  // reads them without a load of "names" between.
  struct Member {
    const char* data;
    std::uint32_t size;
    std::uint32_t name;  // its index in "names"
  };
  std::vector<Member> grouped;             // by slot
  std::vector<std::uint32_t> key_lengths;  // present, ascending
  // For a few names the vector filter looks instead at two bytes of each
  // name, its rarest in catalogue text, at their offsets in the name.
  static constexpr int kMaxPairs = 4;
  struct Pair {
    std::uint8_t offset[2];
    std::uint8_t byte[2];
  };
  std::vector<Pair> pairs;     // empty: no pair filter for this list
  std::size_t pair_reach = 0;  // largest pair offset
  MatcherFilter filter = MatcherFilter::kPlain;
  std::uint64_t work_slack = 0;  // as in MatcherOptions
  bool always_automaton = false;
};

/// What find_names remembers from one call to the next (MatchState's
/// insides).
struct MatchProgress {
  std::vector<std::uint64_t> last_line;  // per name: where its last line was
  std::uint64_t base = 1;                // position of the text's first byte
  std::uint64_t work = 0;  // cost of the exact checks so far, in rough units
  bool use_automaton = false;  // set once, for the rest of the scan
  NameAutomaton automaton;
};

/// What one call of find_names has found so far.
struct Found {
  std::string_view text;
  MatchProgress* state;
  std::vector<NameMatch>* matches;
  std::size_t line_start = 0;  // of the line of the latest match
  std::size_t scanned = 0;     // where the search for line starts stopped
  std::size_t resume = 0;      // the automaton has searched up to here
  bool unordered = false;      // the automaton added matches
};

constexpr std::size_t kMaxKeyBytes = 8;

// The first "len" (at most 8) bytes at "p" as a number, byte i in bits 8i to
// 8i + 7 whatever the processor's byte order.
inline std::uint64_t prefix_key(const char* p, std::size_t len) {
  if (len == kMaxKeyBytes) return load_word(p);
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < len; ++i) {
    key |= static_cast<std::uint64_t>(u[i]) << (8 * i);
  }
  return key;
}

inline std::uint64_t low_bytes(std::uint64_t word, std::size_t len) {
  return len >= 8 ? word : word & ((std::uint64_t{1} << (8 * len)) - 1);
}

// The hash of a key of the exact check and the sieve; the vector sieve
// (name_filter_x86.cc) computes the same from these two constants.
constexpr std::uint64_t kMixLength = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kMixProduct = 0xFF51AFD7ED558CCDull;
inline std::uint64_t mix(std::uint64_t key, std::uint32_t key_len) {
  return (key ^ (key_len * kMixLength)) * kMixProduct;
}

// The sieve word of the key whose mix() is "h", and the two bits of it the
// key sets: two bits rather than one let through about a tenth as many
// positions whose first bytes are no key, for the same memory.
inline std::size_t sieve_word(const MatcherTables& m, std::uint64_t h) {
  return static_cast<std::size_t>(h >> m.sieve_shift);
}
// The two bits' places come from the six hash bits below the word's and
// the six below those; the vector sieve shifts by the same two offsets.
constexpr int kSieveFirstBit = 6;
constexpr int kSieveSecondBit = 12;
inline std::uint64_t sieve_bits(const MatcherTables& m, std::uint64_t h) {
  return (std::uint64_t{1} << ((h >> (m.sieve_shift - kSieveFirstBit)) & 63)) |
         (std::uint64_t{1} << ((h >> (m.sieve_shift - kSieveSecondBit)) & 63));
}
inline bool in_sieve(const MatcherTables& m, std::uint64_t h) {
  const std::uint64_t bits = sieve_bits(m, h);
  return (m.sieve[sieve_word(m, h)] & bits) == bits;
}

// Whether the sieve has the bits of some key that may start at "p",
// "avail" bytes before the end of the text. All lengths' words are loaded
// with no branch between: most positions the filter lets through have none.
inline bool in_sieve_any(const MatcherTables& m, const char* p,
                         std::size_t avail) {
  const std::uint64_t word = prefix_key(p, std::min(avail, kMaxKeyBytes));
  bool any = false;
  for (const std::uint32_t key_len : m.key_lengths) {
    if (key_len > avail) break;
    any |= in_sieve(m, mix(low_bytes(word, key_len), key_len));
  }
  return any;
}

/// Every name that starts at text[at], a position the sieve lets through:
/// the exact check, or the automaton once the exact check has cost too much.
void check_position(const MatcherTables& m, Found* f, std::size_t at);

/// Positions the filter lets through, in increasing order: the sieve for all
/// of them first, with no branch, so that its loads overlap. A filter may
/// gather kBatch positions, and up to 64 more, before it calls this.
constexpr std::size_t kBatch = 256;
void check_batch(const MatcherTables& m, Found* f, std::uint32_t* batch,
                 std::size_t held);

// A position the filter lets through.
inline void check_candidate(const MatcherTables& m, Found* f, std::size_t at) {
  if (in_sieve_any(m, f->text.data() + at, f->text.size() - at)) {
    check_position(m, f, at);
  }
}

// The filter one position at a time, with exact byte tables, from text[at]
// to the end: the plain filter, and the vector filters' last few positions.
template <int N>
void find_names_plain(const MatcherTables& m, Found* f, std::size_t at) {
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

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_MATCHER_TABLES_H_
