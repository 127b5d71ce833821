// Matching listed names against whole designations (--exact).
//
// A listed name selects a catalogue object when, after both sides are
// normalised, it equals one of the object's identities: its packed
// designation (00001, D4340, K04PB2C), its number (1), its name or
// provisional designation (Ceres, 2017 CX33), and its readable designation,
// number and name together ((1) Ceres, 1 Ceres), which is also its section
// key (1ceres). Normalising folds ASCII case and the Latin letters with
// diacritics of UTF-8 (Šteins, Lutèce) to their base letters and drops
// everything but letters and digits, so that "2004PC112", "(1)Ceres" and
// "1 ceres" all find their object; a decomposed accent (NFD) drops as a
// composed one does.
//
// A spelling of several designations ("1566 Icarus (1949 MA)", "1915
// 1953 EA", "C/2020 K8 (Catalina- ATLAS)") is read by read_spelling: a
// leading number selects by the line's number alone, and its other parts
// are kept as checks, which find the lines they would name so that a
// spelling naming two objects can be told; otherwise the whole spelling,
// and the part before a closing parenthesis, select.

#ifndef ORBITPICK_SELECTION_EXACT_MATCH_H_
#define ORBITPICK_SELECTION_EXACT_MATCH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

/// The longest normalised identity that is looked up; longer text cannot be
/// an identity of a catalogue line and is cut there.
constexpr std::size_t kMaxIdentityBytes = 64;

/// Appends the normalised form of "text" to "out": ASCII letters in lower
/// case, digits, the base letters of Latin letters with diacritics (U+00C0
/// to U+017F; æ, œ, ß, þ and ĳ as two letters); combining diacritical marks
/// (U+0300 to U+036F) and all else are dropped, except the bytes of other
/// non-ASCII characters, which are kept as they are so that they never
/// match plain ASCII text.
void normalize_name(std::string_view text, std::string* out);

/// The listed names, normalised, ready to be looked up.
struct ExactIndex {
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t key = 0;  // into "keys"; meaningful when "used"
    bool used = false;
  };
  // A listed name under one key: it selects the lines the key finds, or
  // (a check) only notes them.
  struct Entry {
    std::uint32_t name = 0;  // target-list index
    bool check = false;
  };
  std::size_t name_count = 0;               // the names indexed
  std::vector<std::string> keys;            // distinct normalised keys
  std::vector<std::uint32_t> first;         // per key: into "names_of"
  std::vector<Entry> names_of;              // by key
  // One bit per number that decides a spelling, below 2^24; numbers above
  // are looked up whenever "large_numbers".
  std::vector<std::uint64_t> number_bits;
  bool large_numbers = false;
  std::vector<Slot> slots;                  // a power of two in size
  // One bit for each pair of first two bytes of a key (the second 0 for a
  // one-byte key): most identities of most lines are turned away by it
  // after two bytes.
  std::vector<std::uint64_t> leading_pairs;
  // The same pairs as they stand in a line, one bit per two raw bytes: set
  // for a pair of ASCII letters or digits whose folded pair is in
  // leading_pairs, and for every pair with another byte (told later).
  std::vector<std::uint64_t> raw_pairs;
  // One bit per hash of the first eight bytes of each key (the whole of a
  // shorter one): a line's identity whose first bytes are ASCII is
  // normalised and looked up whole only when they may begin a key.
  std::vector<std::uint64_t> leading_words;
  unsigned word_shift = 64;  // of the hash, down to a bit of leading_words
  // One bit per hash (word_shift) of the first four bytes of each key that
  // opens with four digits, as a provisional designation opens with its
  // year: a line whose name opens with another year is turned away there.
  std::vector<std::uint64_t> leading_years;
  // One bit per hash (word_shift) of each number as a catalogue line writes
  // it in columns 166-173, right-aligned after its "(" ("    (433"): each
  // deciding number, and each whose digits begin a key, alone or before the
  // line's name (2, 20, 201 and 2015 for "2015 VM9"). Tells most numbered
  // lines apart with no digit read.
  std::vector<std::uint64_t> number_fields;
};

/// Builds the index of "names" (the target list), each under the keys its
/// spelling gives. A name that normalises to nothing (only punctuation)
/// selects nothing.
ExactIndex build_exact_index(const std::vector<std::string>& names);

/// Adds to "hits" the target-list index of every name that "identity"
/// (already normalised) selects, and to "checks", when not null, every name
/// that has it as a check.
void find_identity(const ExactIndex& index, std::string_view identity,
                   std::vector<std::uint32_t>* hits,
                   std::vector<std::uint32_t>* checks = nullptr);

/// Adds to "hits" every listed name that one of the identities of the
/// catalogue line "line" selects, and to "checks", when not null, every
/// name that has one of them as a check; an index may be added more than
/// once. Columns missing from a short line count as blank.
void exact_names_in_line(const ExactIndex& index, std::string_view line,
                         std::vector<std::uint32_t>* hits,
                         std::vector<std::uint32_t>* checks = nullptr);

/// What exact_names_in_line asks first: false only when no identity of
/// "line" can be a key of "index", told from a few bits when the line is
/// laid out as the MPC writes it (always true when it is not).
bool line_may_hold_key(const ExactIndex& index, std::string_view line);

/// The lines of "text" in turn, the last one with or without its line
/// feed: each one that line_may_hold_key lets through is handed to "at"
/// with its number (the first line is 1). Returns the number of lines. The
/// line feeds are found and each line asked about in one pass, while its
/// bytes are still in the nearest cache.
std::int64_t for_each_line_that_may_hold_key(
    const ExactIndex& index, std::string_view text,
    const std::function<void(std::string_view line, std::int64_t number)>&
        at);

/// exact_names_in_line without that first question: every identity looked
/// up.
void look_up_line_identities(const ExactIndex& index, std::string_view line,
                             std::vector<std::uint32_t>* hits,
                             std::vector<std::uint32_t>* checks = nullptr);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_EXACT_MATCH_H_
