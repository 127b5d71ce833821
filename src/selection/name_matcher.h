// Finding every name of the target list in the catalogue, in one pass.
//
// A filter looks at the first six bytes from every position, 32 or 64
// positions per step where the processor allows, and lets through only
// positions where some name could start. A bit table of the names' first
// bytes then drops most of what is left, and the rest is checked exactly
// against the names that share its first bytes. The catalogue is mostly
// digits, spaces and points, and names are mostly letters, so few positions
// get far. Six bytes, not three, because of provisional designations:
// "2006 AL" and the years in every line's arc ("1986-2006 0.69") differ only
// in byte 5.
//
// A list can defeat the filter: thousands of names that share a prefix
// found in every line, or a long name that nearly matches a long run of
// text. The scan then spends more checking than reading, so when the checks'
// work outgrows the bytes read, an Aho-Corasick automaton of the names takes
// over the exact check for the rest of the scan: from each position the
// filter lets through it runs until no name can be under way, which keeps
// the whole scan linear in the text and the names.

#ifndef ORBITPICK_SELECTION_NAME_MATCHER_H_
#define ORBITPICK_SELECTION_NAME_MATCHER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

struct NameMatcher {
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
  // Sieve: one bit per hash of each key of the exact check, so that a
  // position costs a slot lookup only where its first bytes may be a key.
  std::vector<std::uint64_t> sieve;
  int sieve_shift = 64;  // a hash's top 64 - sieve_shift bits pick the bit
  // Exact check: open addressing, a power of two in size.
  std::vector<Slot> slots;
  std::vector<std::uint32_t> grouped;      // name indices, by slot
  std::vector<std::uint32_t> key_lengths;  // present, ascending
  // For a few names the vector filter looks instead at two bytes of each
  // name, its rarest in catalogue text, at their offsets in the name.
  static constexpr int kMaxPairs = 4;
  struct Pair {
    std::uint8_t offset[2];
    std::uint8_t byte[2];
  };
  std::vector<Pair> pairs;     // empty: use the six-byte filter
  std::size_t pair_reach = 0;  // largest pair offset
  bool use_simd = false;       // the vector filter runs on this processor
  bool use_vbmi = false;       // and with 64-byte table lookups (AVX-512 VBMI)
  // The exact check may cost this much, in units of about a byte read, plus
  // a unit per byte read, before the automaton takes over. Tests lower it,
  // or set always_automaton, to compare the two checks.
  std::uint64_t work_slack = std::uint64_t{1} << 20;
  bool always_automaton = false;
};

/// The Aho-Corasick automaton of a list's names, built only for a scan that
/// needs it. Nodes are in breadth-first order, node 0 the root (the empty
/// string); the children of node v are nodes child_begin[v] to
/// child_begin[v + 1] - 1, in increasing order of "label", the byte that
/// leads to each.
struct NameAutomaton {
  std::vector<std::uint32_t> child_begin;  // one per node, and one more
  std::vector<std::uint8_t> label;
  // The node of the longest proper suffix of v's string that is a node.
  std::vector<std::uint32_t> fail;
  // The nearest node where a name ends: v itself, or along the fail links;
  // 0 if none.
  std::vector<std::uint32_t> report;
  // Names that end at v: out_names[out_begin[v]] to out_names[out_begin[v
  // + 1] - 1].
  std::vector<std::uint32_t> out_begin;
  std::vector<std::uint32_t> out_names;
  std::uint32_t root_next[256] = {};
  // Per node with names (at its out_begin): the line in which its names and
  // all names at the report nodes down its fail links were last recorded.
  std::vector<std::uint64_t> walked;
};

/// One occurrence of a name: its offset in the searched text, its index in
/// the target list, and the offset of the start of its line.
struct NameMatch {
  std::uint32_t offset;
  std::uint32_t name;
  std::uint32_t line_start = 0;
};

/// What find_names remembers from one call to the next, so that a name is
/// reported once per line. One per scan, used for one matcher.
struct MatchState {
  std::vector<std::uint64_t> last_line;  // per name: where its last line was
  std::uint64_t base = 1;                // position of the text's first byte
  std::uint64_t work = 0;  // cost of the exact checks so far, in rough units
  bool use_automaton = false;  // set once, for the rest of the scan
  NameAutomaton automaton;
};

/// Builds the matcher for "names". REQUIRES: every name is non-empty and
/// holds no line feed, so that a match never spans two lines.
NameMatcher build_name_matcher(std::vector<std::string> names);

/// Appends to "matches" the first occurrence in each line of every name
/// that occurs in that line of "text", ordered by offset (names at one offset
/// in any order). Overlapping and nested occurrences all count: "Apollo" and
/// "Apollonia" are both found in "(358) Apollonia". Returns the number of
/// line feeds in "text", which the same pass counts. Since each name comes
/// once per line, the matches of one line are its distinct names. REQUIRES:
/// text.size() < 2^32; successive texts given with one "state" never split a
/// line between them. Time is linear in the text's size, the names' total
/// size and the number of matches, whatever the names.
std::int64_t find_names(const NameMatcher& m, std::string_view text,
                        MatchState* state, std::vector<NameMatch>* matches);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_NAME_MATCHER_H_
