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
//
// The matcher's tables are its own (selection/matcher_tables.h); the vector
// filters are in selection/name_filter_x86.h, the automaton in
// selection/aho_corasick.h.

#ifndef ORBITPICK_SELECTION_NAME_MATCHER_H_
#define ORBITPICK_SELECTION_NAME_MATCHER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

/// The filters that pick the positions where a name may start. All find the
/// same names; they differ in how many positions a step covers.
enum class MatcherFilter {
  kPlain,        // one position at a time, on any processor
  kAvx2Nibbles,  // 32 positions: nibble tables looked up by byte shuffles
  kAvx2Pairs,    // 32 positions, four names or fewer: two rare bytes each
  kVbmiBytes,    // 64 positions: byte tables by permutes (AVX-512 VBMI)
};

/// A short name for "filter", for messages and test reports.
const char* filter_name(MatcherFilter filter);

/// Whether this build, on this processor, can run "filter".
bool filter_runs_here(MatcherFilter filter);

/// How a matcher may search. The defaults are what the program runs; tests
/// and fuzzers narrow them to reach each filter and each exact check.
struct MatcherOptions {
  // The vector filters the matcher may use, each only where the processor
  // has it: the 64-position one, else the 32-position ones, else the plain.
  bool allow_vbmi = true;
  bool allow_avx2 = true;
  // The exact check may cost this much, in units of about a byte read, plus
  // a unit per byte read, before the automaton takes over.
  std::uint64_t work_slack = std::uint64_t{1} << 20;
  // The automaton from the first position on.
  bool always_automaton = false;
};

class NameMatcher;
struct MatcherTables;
struct MatchProgress;

/// Builds the matcher for "names". REQUIRES: every name is non-empty and
/// holds no line feed, so that a match never spans two lines.
NameMatcher build_name_matcher(std::vector<std::string> names,
                               const MatcherOptions& options = {});

/// One occurrence of a name: its offset in the searched text, its index in
/// the target list, and the offset of the start of its line.
struct NameMatch {
  std::uint32_t offset;
  std::uint32_t name;
  std::uint32_t line_start = 0;
};

/// What find_names remembers from one call to the next, so that a name is
/// reported once per line. One per scan, used for one matcher.
class MatchState {
 public:
  MatchState();
  ~MatchState();
  MatchState(MatchState&&) noexcept;
  MatchState& operator=(MatchState&&) noexcept;

  /// Whether the automaton has taken over the exact check (for good).
  bool automaton_took_over() const;
  /// What the exact checks have cost so far, in units of about a byte read.
  std::uint64_t check_work() const;

 private:
  friend std::int64_t find_names(const NameMatcher&, std::string_view,
                                 MatchState*, std::vector<NameMatch>*);
  std::unique_ptr<MatchProgress> progress_;
};

/// The names of a target list, ready to be searched for.
class NameMatcher {
 public:
  /// A matcher of no names: it finds nothing.
  NameMatcher();
  ~NameMatcher();
  NameMatcher(NameMatcher&&) noexcept;
  NameMatcher& operator=(NameMatcher&&) noexcept;

  /// The names, in target-list order: a match's "name" indexes them.
  const std::vector<std::string>& names() const;
  /// The filter find_names runs: the widest the options allow on this
  /// processor for these names.
  MatcherFilter filter() const;

 private:
  friend NameMatcher build_name_matcher(std::vector<std::string>,
                                        const MatcherOptions&);
  friend std::int64_t find_names(const NameMatcher&, std::string_view,
                                 MatchState*, std::vector<NameMatch>*);
  explicit NameMatcher(std::unique_ptr<MatcherTables> tables);
  std::unique_ptr<MatcherTables> tables_;
};

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
