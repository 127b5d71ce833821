// Finding every name of the target list in the catalogue, in one pass.
//
// A filter looks at the first one to three bytes of every position at once,
// 32 positions per step where the processor allows, and lets through only
// positions where some name could start; each of those is then checked
// exactly against the names that share its first bytes. The catalogue is
// mostly digits, spaces and points, and names are mostly letters, so the
// filter lets very few positions through.

#ifndef ORBITPICK_NAME_MATCHER_H_
#define ORBITPICK_NAME_MATCHER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

struct NameMatcher {
  // One slot of the exact check: the names whose first key_len bytes (all of
  // the name, or its first 8) are "key".
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t first = 0;  // into "grouped"
    std::uint32_t count = 0;  // 0: slot unused
    std::uint32_t key_len = 0;
  };

  std::vector<std::string> names;  // in target-list order
  int fingerprint = 0;             // bytes the filter looks at, 1 to 3
  // Filter tables: for byte i of a name, the buckets of names whose byte i
  // has this low (resp. high) nibble, and, for the plain loop, this value.
  std::uint8_t low_nibble[3][16] = {};
  std::uint8_t high_nibble[3][16] = {};
  std::uint8_t byte_buckets[3][256] = {};
  std::vector<Slot> slots;  // open addressing, a power of two in size
  std::vector<std::uint32_t> grouped;
  std::vector<std::uint32_t> key_lengths;  // present, ascending
  bool use_simd = false;  // the vector filter runs on this processor
};

/// Builds the matcher for "names". REQUIRES: every name is non-empty and
/// holds no line feed, so that a match never spans two lines.
NameMatcher build_name_matcher(std::vector<std::string> names);

/// First position in [p, end) where a name may start whole inside
/// [p, end), or "end" when there is none. Never misses a real start.
const char* next_candidate(const NameMatcher& m, const char* p,
                           const char* end);

/// Appends to "hits" the index of every name that occurs in "line" at or
/// after "from", each index once, ascending: the order of the target list.
/// REQUIRES: "from" lies in "line" and no name starts in "line" before it.
void names_in_line(const NameMatcher& m, std::string_view line,
                   const char* from, std::vector<std::uint32_t>* hits);

}  // namespace orbitpick

#endif  // ORBITPICK_NAME_MATCHER_H_
