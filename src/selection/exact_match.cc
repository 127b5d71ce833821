// Matching listed names against whole designations (--exact).

#include "selection/exact_match.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "input/catalogue_columns.h"
#include "input/line_reader.h"
#include "selection/spelling.h"

// The line gate is asked about every catalogue line: it is part of the
// walk over them, not a call.
#if defined(__GNUC__) || defined(__clang__)
#define ORBITPICK_ALWAYS_INLINE __attribute__((always_inline))
#else
#define ORBITPICK_ALWAYS_INLINE
#endif

namespace orbitpick {
namespace {

// Base letters of U+00C0 to U+00FF; "" for the two signs among them.
constexpr const char* kLatin1[64] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i",
    "i", "i", "i", "d", "n", "o", "o", "o", "o", "o", "",   "o", "u",
    "u", "u", "u", "y", "th", "ss", "a", "a", "a", "a", "a", "a", "ae",
    "c", "e", "e", "e", "e", "i", "i", "i", "i", "d", "n", "o", "o",
    "o", "o", "o", "",  "o", "u", "u", "u", "u", "y", "th", "y"};

// Base letters of U+0100 to U+017F, one each; '*' marks the ligatures
// U+0132/3 (ij) and U+0152/3 (oe).
constexpr char kLatinExtendedA[] =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkkkllllllllll"
    "nnnnnnnnnoooooo**rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(sizeof kLatinExtendedA - 1 == 128, "one letter per code point");

// What an ASCII byte becomes: itself in lower case, or 0 when dropped.
struct AsciiTable {
  char to[128] = {};
  constexpr AsciiTable() {
    for (int c = '0'; c <= '9'; ++c) to[c] = static_cast<char>(c);
    for (int c = 'a'; c <= 'z'; ++c) to[c] = static_cast<char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) to[c] = static_cast<char>(c - 'A' + 'a');
  }
};
constexpr AsciiTable kAscii;

// Appends the normalised form of "text" through "put", which takes a byte.
template <typename Put>
void normalize(std::string_view text, Put put) {
  const auto* u = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = u[i];
    if (c < 0x80) {
      if (kAscii.to[c] != 0) put(kAscii.to[c]);
      continue;
    }
    // Combining diacritical marks (U+0300 to U+036F): a decomposed "é" is
    // "e" and its accent, which drops as the composed one's does.
    if (i + 1 < n && (u[i + 1] & 0xC0) == 0x80 &&
        (c == 0xCC || (c == 0xCD && u[i + 1] < 0xB0))) {
      ++i;
      continue;
    }
    // A two-byte UTF-8 sequence in the Latin ranges folds to its letter.
    if (c >= 0xC3 && c <= 0xC5 && i + 1 < n && (u[i + 1] & 0xC0) == 0x80) {
      const unsigned cp = ((c & 0x1Fu) << 6) | (u[i + 1] & 0x3Fu);
      ++i;
      if (cp >= 0x100) {
        const char base = kLatinExtendedA[cp - 0x100];
        if (base != '*') {
          put(base);
        } else {
          const char* pair = (cp & ~1u) == 0x132 ? "ij" : "oe";
          put(pair[0]);
          put(pair[1]);
        }
      } else if (cp >= 0xC0) {
        for (const char* p = kLatin1[cp - 0xC0]; *p != '\0'; ++p) put(*p);
      } else {
        put(static_cast<char>(c));
        put(static_cast<char>(u[i]));
      }
      continue;
    }
    put(static_cast<char>(c));
  }
}

std::uint64_t hash_of(std::string_view key) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : key) {
    h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  }
  return h ^ (h >> 31);
}

// Slot holding "key", or the empty one where it belongs.
std::size_t slot_of(const ExactIndex& index, std::string_view key,
                    std::uint64_t hash) {
  const std::size_t mask = index.slots.size() - 1;
  std::size_t i = static_cast<std::size_t>(hash) & mask;
  while (index.slots[i].used && (index.slots[i].hash != hash ||
                                 index.keys[index.slots[i].key] != key)) {
    i = (i + 1) & mask;
  }
  return i;
}

// A normalised identity built in place, cut at kMaxIdentityBytes.
struct Identity {
  char bytes[kMaxIdentityBytes];
  std::size_t size = 0;
  void add(std::string_view text) {
    normalize(text, [this](char c) {
      if (size < kMaxIdentityBytes) bytes[size++] = c;
    });
  }
  std::string_view view() const { return std::string_view(bytes, size); }
};

// The first eight bytes of a normalised key, or the whole of a shorter
// one, as a word (first byte lowest, zeros after a short key's end): no
// normalised text holds a zero byte, so a short key's word is no longer
// key's. A line's identity is looked up whole only when its word is in the
// index's bit set, which turns away nearly every identity of nearly every
// line after a few bytes' work.
std::uint64_t word_of(std::string_view key) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < key.size() && i < 8; ++i) {
    word |= std::uint64_t{static_cast<unsigned char>(key[i])} << (8 * i);
  }
  return word;
}

inline std::size_t word_bit(const ExactIndex& index, std::uint64_t word) {
  return static_cast<std::size_t>((word * 0x9E3779B97F4A7C15ull) >>
                                  index.word_shift);
}

inline bool has_bit(const std::vector<std::uint64_t>& bits, std::size_t bit) {
  return (bits[bit / 64] >> (bit % 64)) & 1;
}

inline std::size_t pair_index(std::uint64_t word) {
  return static_cast<std::size_t>(word & 0xFFFF);
}

// False when no key can be the normalised form of "a" followed by "b",
// told from their first ASCII bytes: the first two normalised bytes begin
// no key (most identities of most lines end there), or the first eight
// (the whole, when shorter) are no key's word. A byte that is not ASCII
// before then takes the whole normaliser to tell: true.
inline bool may_be_key(const ExactIndex& index, std::string_view a,
                       std::string_view b) {
  std::uint64_t w = 0;
  unsigned have = 0;
  const std::string_view parts[2] = {a, b};
  for (const std::string_view part : parts) {
    const auto* u = reinterpret_cast<const unsigned char*>(part.data());
    for (std::size_t i = 0; i < part.size(); ++i) {
      if (u[i] >= 0x80) return true;
      const char c = kAscii.to[u[i]];
      if (c == 0) continue;
      w |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * have);
      ++have;
      if (have == 2 && !has_bit(index.leading_pairs, pair_index(w))) {
        return false;
      }
      if (have == 8) return has_bit(index.leading_words, word_bit(index, w));
    }
  }
  if (have == 0) return false;  // normalises to nothing: no key
  return has_bit(index.leading_pairs, pair_index(w)) &&
         has_bit(index.leading_words, word_bit(index, w));
}

// False when "text" begins with two ASCII letters or digits that begin no
// key, nor any key with "text" before something else: one bit of the raw
// pairs, which turns away most identities of most lines before any loop.
// The bit of the two bytes at "p".
inline bool raw_pair_bit(const ExactIndex& index, const char* p) {
  return has_bit(index.raw_pairs,
                 static_cast<unsigned char>(p[0]) |
                     (std::size_t{static_cast<unsigned char>(p[1])} << 8));
}

inline bool pair_may_begin_key(const ExactIndex& index, std::string_view text) {
  return text.size() < 2 || raw_pair_bit(index, text.data());
}

// Adds the names whose key is the normalised form of "a" followed by "b".
void look_up_whole(const ExactIndex& index, std::string_view a,
                   std::string_view b, std::vector<std::uint32_t>* hits,
                   std::vector<std::uint32_t>* checks) {
  Identity identity;
  identity.add(a);
  identity.add(b);
  find_identity(index, identity.view(), hits, checks);
}

inline void look_up(const ExactIndex& index, std::string_view a,
                    std::string_view b, std::vector<std::uint32_t>* hits,
                    std::vector<std::uint32_t>* checks) {
  if (pair_may_begin_key(index, a) && may_be_key(index, a, b)) {
    look_up_whole(index, a, b, hits, checks);
  }
}

// The key of a number that decides a spelling alone: a byte that no
// normalised text holds, then the digits without leading zeros.
constexpr char kNumberMark = '#';

std::string_view without_leading_zeros(std::string_view digits) {
  while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
  return digits;
}

// Adds the names that the number "digits" (of a catalogue line) decides.
void look_up_number(const ExactIndex& index, std::string_view digits,
                    std::vector<std::uint32_t>* hits) {
  if (index.number_bits.empty() && !index.large_numbers) return;
  digits = without_leading_zeros(digits);
  if (digits.empty() || digits.size() >= kMaxIdentityBytes) return;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < index.number_bits.size() * 64
          ? !((index.number_bits[value / 64] >> (value % 64)) & 1)
          : !index.large_numbers) {
    return;
  }
  char key[kMaxIdentityBytes];
  key[0] = kNumberMark;
  digits.copy(key + 1, digits.size());
  find_identity(index, std::string_view(key, digits.size() + 1), hits,
                nullptr);
}

// The keys one listed spelling is looked up by; see spelling.h.
struct SpellingKey {
  std::string key;
  bool check;
};

void keys_of(std::string_view name, std::vector<SpellingKey>* keys) {
  keys->clear();
  const Spelling spelling = read_spelling(name);
  const auto add = [keys](std::string_view text, bool check) {
    SpellingKey k{std::string(), check};
    normalize_name(text, &k.key);
    keys->push_back(std::move(k));
  };
  if (!spelling.number.empty()) {
    keys->push_back({std::string(1, kNumberMark) +
                         std::string(spelling.number),
                     false});
    add(spelling.rest, true);
    add(spelling.parenthesis, true);
  } else {
    add(name, false);
    if (!spelling.head.empty()) add(spelling.head, false);
  }
}

// The columns of a catalogue line as the MPC writes them: the number, if
// any, right-aligned in 166-174 as "(433)", the name or the provisional
// designation from 176 on.
constexpr std::size_t kNumberStart = 165;
constexpr std::size_t kNumberField = 8;  // up to the ")", at kNumberClose
constexpr std::size_t kNumberClose = kNumberStart + kNumberField;
constexpr std::size_t kNameStart = kNumberClose + 2;

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The high bit of each byte of "word" that is not zero.
std::uint64_t nonzero_bytes(std::uint64_t word) {
  const std::uint64_t low = (word & ~kHighBits) + ~kHighBits;
  return (low | word) & kHighBits;
}

// The high bit of each byte of "word" that is not an ASCII digit.
std::uint64_t nondigit_bytes(std::uint64_t word) {
  const std::uint64_t d = word ^ (kOnes * '0');
  return (((d & ~kHighBits) + kOnes * 0x76) | d) & kHighBits;
}

// The high bit of each byte of "word" (of ASCII bytes) in [lo, hi).
std::uint64_t bytes_in(std::uint64_t word, unsigned lo, unsigned hi) {
  const std::uint64_t at_least_lo = word + kOnes * (0x80 - lo);
  const std::uint64_t at_least_hi = word + kOnes * (0x80 - hi);
  return at_least_lo & ~at_least_hi & kHighBits;
}

constexpr std::size_t kNameEnd = 193;  // of the name's columns

// The first eight bytes of the normalised name or provisional designation
// of "line" (what word_of gives for its key), when its columns are plain
// enough to tell them without the normaliser: letters and digits, after
// four digits and a blank for a provisional designation, then only blanks
// to the columns' end. False when they are not.
ORBITPICK_ALWAYS_INLINE inline bool plain_name_word(std::string_view line,
                                                    std::uint64_t* word) {
  if (line.size() < kNameEnd) return false;
  const char* n = line.data() + kNameStart;
  std::uint64_t w = load_word(n);
  const char* tail = n + 8;
  if ((nondigit_bytes(w) & 0x80808080u) == 0 && n[4] == ' ') {
    // "2018 JC34": the blank is dropped.
    w = (w & 0xFFFFFFFFu) | (load_word(n + 5) << 32);
    tail = n + 9;
  }
  const std::uint64_t blanks = ~nonzero_bytes(w ^ (kOnes * ' ')) & kHighBits;
  const std::uint64_t letters =
      bytes_in(w | (kOnes * 0x20), 'a', 'z' + 1);
  const std::uint64_t digits = bytes_in(w, '0', '9' + 1);
  if ((w & kHighBits) != 0 || (blanks | letters | digits) != kHighBits) {
    return false;  // a byte the normaliser drops or folds
  }
  if (blanks != 0) {
    // A short one: nothing but blanks after it, to the columns' end (two
    // words that overlap cover the nine or ten bytes left).
    const int first = __builtin_ctzll(blanks);
    if (blanks != (kHighBits << (first - 7)) ||
        load_word(tail) != kOnes * ' ' ||
        load_word(line.data() + kNameEnd - 8) != kOnes * ' ') {
      return false;
    }
  }
  *word = (w | (letters >> 2)) & ~((blanks >> 7) * 0xFF);
  return true;
}

// False when the name or provisional designation of "line" can be no key:
// its first two bytes turn most lines away; of those they let through, its
// first four when they are a year's digits, and then its first eight, most
// of the rest.
ORBITPICK_ALWAYS_INLINE inline bool name_may_be_key(const ExactIndex& index,
                                                    std::string_view line) {
  const char* n = line.data() + kNameStart;
  if (line.size() < kNameEnd) return raw_pair_bit(index, n);
  // The pair and the year asked together, with no branch: names and
  // provisional designations come mixed among the numbered lines, and a
  // guess at which one comes next is often wrong.
  const std::uint64_t year = load_word(n) & 0xFFFFFFFFu;
  const bool may = has_bit(index.raw_pairs, pair_index(year)) &
                   (((nondigit_bytes(year) & 0x80808080u) != 0) |
                    has_bit(index.leading_years, word_bit(index, year)));
  if (!may) return false;
  std::uint64_t name;
  return !plain_name_word(line, &name) ||
         has_bit(index.leading_words, word_bit(index, name));
}

// With no loop: the first two bytes of the packed designation, the first
// two, four and eight of the name or provisional designation, and the
// number's columns whole, each one bit of the index; each look-up of
// look_up_line_identities needs one of them set. Inlined into the walk over
// a piece's lines, which then calls nothing for most of them.
ORBITPICK_ALWAYS_INLINE inline bool may_hold_key(const ExactIndex& index,
                                                 std::string_view line) {
  if (index.keys.empty()) return false;
  if (line.size() < kNameStart + 2) return true;
  const char* p = line.data();
  // A packed number from 620,000 on opens with a "~", which normalising
  // drops: the two bytes after it.
  const bool may = raw_pair_bit(index, p + (p[0] == '~' ? 1 : 0)) ||
                   name_may_be_key(index, line);
  const std::uint64_t field = load_word(p + kNumberStart);
  const std::uint64_t shown = nonzero_bytes(field ^ (kOnes * ' '));
  if (p[kNumberClose] != ')') {
    // No number: blanks up to the name.
    return may || shown != 0 || p[kNumberClose] != ' ' ||
           p[kNumberClose + 1] != ' ' || p[kNameStart] == ' ' ||
           p[kNameStart] == '(';
  }
  // Blanks, "(", digits: the "(" is the first byte shown.
  if (shown == 0 || p[kNameStart - 1] != ' ') return true;
  const int open = __builtin_ctzll(shown) / 8;
  if (open >= static_cast<int>(kNumberField) - 1 ||
      p[kNumberStart + open] != '(' || p[kNumberStart + open + 1] == '0') {
    return true;  // no digit, or leading zeros
  }
  const std::uint64_t after_open = ~std::uint64_t{0} << (8 * (open + 1));
  if ((nondigit_bytes(field) & after_open) != 0) return true;
  // The number alone, and with the name, begin with its digits: its field
  // is in the index when it decides or when they begin a key.
  return may || has_bit(index.number_fields, word_bit(index, field));
}

}  // namespace

bool line_may_hold_key(const ExactIndex& index, std::string_view line) {
  return may_hold_key(index, line);
}

std::int64_t for_each_line_that_may_hold_key(
    const ExactIndex& index, std::string_view text,
    const std::function<void(std::string_view line, std::int64_t number)>&
        at) {
  std::int64_t lines = 0;
  std::size_t begin = 0;
  const auto look_at = [&](std::size_t end) ORBITPICK_ALWAYS_INLINE {
    const std::string_view line(text.data() + begin, end - begin);
    begin = end + 1;
    ++lines;
    if (may_hold_key(index, line)) at(line, lines);
  };
  for_each_newline(text, look_at);
  if (!text.empty() && text.back() != '\n') look_at(text.size());
  return lines;
}

void normalize_name(std::string_view text, std::string* out) {
  normalize(text, [out](char c) { out->push_back(c); });
}

ExactIndex build_exact_index(const std::vector<std::string>& names) {
  ExactIndex index;
  index.name_count = names.size();
  std::size_t size = 16;
  while (size < names.size() * 2) size *= 2;
  index.slots.assign(size, ExactIndex::Slot());
  // Keys in order of first appearance, then the names of each key grouped.
  struct Use {
    std::uint32_t key;
    ExactIndex::Entry entry;
  };
  std::vector<Use> uses;
  uses.reserve(names.size());
  // That decide, below kMaxNumberBit, or begin a key.
  std::vector<std::uint64_t> numbers;
  std::vector<std::uint32_t> count;
  std::vector<SpellingKey> keys;
  constexpr std::uint64_t kMaxNumberBit = std::uint64_t{1} << 24;
  for (std::size_t i = 0; i < names.size(); ++i) {
    keys_of(names[i], &keys);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      const std::string& key = keys[k].key;
      // A key that normalises to nothing (only punctuation) selects
      // nothing; one too long can equal no identity.
      if (key.empty() || key.size() > kMaxIdentityBytes) continue;
      bool again = false;
      for (std::size_t j = 0; j < k; ++j) again |= keys[j].key == key;
      if (again) continue;
      const std::uint64_t hash = hash_of(key);
      const std::size_t s = slot_of(index, key, hash);
      if (!index.slots[s].used) {
        index.slots[s] = {hash, static_cast<std::uint32_t>(index.keys.size()),
                          true};
        index.keys.push_back(key);
        count.push_back(0);
        // Grown as keys come, so that a list of many spellings each with
        // several keys keeps the table at most half full.
        if (index.keys.size() * 2 > index.slots.size()) {
          std::vector<ExactIndex::Slot> old(index.slots.size() * 2);
          old.swap(index.slots);
          for (const ExactIndex::Slot& slot : old) {
            if (!slot.used) continue;
            index.slots[slot_of(index, index.keys[slot.key], slot.hash)] =
                slot;
          }
        }
      }
      const std::uint32_t key_index =
          index.slots[slot_of(index, key, hash)].key;
      ++count[key_index];
      uses.push_back({key_index, {static_cast<std::uint32_t>(i),
                                  keys[k].check}});
      if (key[0] == kNumberMark) {
        std::uint64_t value = 0;
        for (std::size_t d = 1; d < key.size() && value < kMaxNumberBit; ++d) {
          value = value * 10 + static_cast<unsigned>(key[d] - '0');
        }
        if (value >= kMaxNumberBit) {
          index.large_numbers = true;
        } else {
          if (value / 64 >= index.number_bits.size()) {
            index.number_bits.resize(value / 64 + 1, 0);
          }
          index.number_bits[value / 64] |= std::uint64_t{1} << (value % 64);
          numbers.push_back(value);
        }
      }
    }
  }
  // About 32 bits a key: one identity in 32 that begins no key gets past.
  std::size_t bits = 4096;
  index.word_shift = 64 - 12;
  while (bits < index.keys.size() * 32 && bits < (std::size_t{1} << 24)) {
    bits *= 2;
    --index.word_shift;
  }
  index.leading_words.assign(bits / 64, 0);
  index.leading_pairs.assign(65536 / 64, 0);
  for (const std::string& k : index.keys) {
    const std::size_t pair = pair_index(word_of(k));
    index.leading_pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
    const std::size_t bit = word_bit(index, word_of(k));
    index.leading_words[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  index.leading_years.assign(bits / 64, 0);
  for (const std::string& k : index.keys) {
    std::size_t run = 0;  // digits the key opens with
    while (run < k.size() && k[run] >= '0' && k[run] <= '9') ++run;
    if (run >= 4) {
      const std::size_t bit =
          word_bit(index, word_of(std::string_view(k).substr(0, 4)));
      index.leading_years[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    // A number in the columns has no leading zero, and at most seven
    // digits.
    if (run == 0 || k[0] == '0') continue;
    std::uint64_t value = 0;
    for (std::size_t d = 0; d < run && d < kNumberField - 1; ++d) {
      value = value * 10 + static_cast<unsigned>(k[d] - '0');
      numbers.push_back(value);
    }
  }
  index.number_fields.assign(bits / 64, 0);
  for (const std::uint64_t value : numbers) {
    // Below 2^24: at most eight digits, and only seven fit the columns.
    const std::string digits = std::to_string(value);
    if (digits.size() > kNumberField - 1) continue;
    std::string field(kNumberField, ' ');
    field[kNumberField - 1 - digits.size()] = '(';
    digits.copy(&field[kNumberField - digits.size()], digits.size());
    const std::size_t bit = word_bit(index, load_word(field.data()));
    index.number_fields[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  index.raw_pairs.assign(65536 / 64, 0);
  for (unsigned b0 = 0; b0 < 256; ++b0) {
    for (unsigned b1 = 0; b1 < 256; ++b1) {
      const bool plain = b0 < 0x80 && b1 < 0x80 && kAscii.to[b0] != 0 &&
                         kAscii.to[b1] != 0;
      const bool may =
          !plain ||
          has_bit(index.leading_pairs,
                  static_cast<unsigned char>(kAscii.to[b0]) |
                      (std::size_t{static_cast<unsigned char>(kAscii.to[b1])}
                       << 8));
      if (may) {
        index.raw_pairs[(b0 | b1 << 8) / 64] |= std::uint64_t{1}
                                               << ((b0 | b1 << 8) % 64);
      }
    }
  }
  index.first.assign(index.keys.size() + 1, 0);
  for (std::size_t k = 0; k < index.keys.size(); ++k) {
    index.first[k + 1] = index.first[k] + count[k];
  }
  index.names_of.resize(index.first.back());
  std::vector<std::uint32_t> next(index.first.begin(), index.first.end() - 1);
  for (const Use& use : uses) index.names_of[next[use.key]++] = use.entry;
  return index;
}

void find_identity(const ExactIndex& index, std::string_view identity,
                   std::vector<std::uint32_t>* hits,
                   std::vector<std::uint32_t>* checks) {
  if (identity.empty() || index.keys.empty()) return;
  const ExactIndex::Slot& slot =
      index.slots[slot_of(index, identity, hash_of(identity))];
  if (!slot.used) return;
  for (std::uint32_t i = index.first[slot.key]; i < index.first[slot.key + 1];
       ++i) {
    const ExactIndex::Entry& e = index.names_of[i];
    if (!e.check) {
      hits->push_back(e.name);
    } else if (checks != nullptr) {
      checks->push_back(e.name);
    }
  }
}

void exact_names_in_line(const ExactIndex& index, std::string_view line,
                         std::vector<std::uint32_t>* hits,
                         std::vector<std::uint32_t>* checks) {
  if (may_hold_key(index, line)) {
    look_up_line_identities(index, line, hits, checks);
  }
}

void look_up_line_identities(const ExactIndex& index, std::string_view line,
                             std::vector<std::uint32_t>* hits,
                             std::vector<std::uint32_t>* checks) {
  if (index.keys.empty()) return;
  look_up(index, field(line, mpcorb::kPacked), {}, hits, checks);

  // "(433) Eros" is a number and a name; "2004 PC112" a name alone. The
  // blanks around them need no trimming: normalising drops them.
  std::string_view designation = field(line, mpcorb::kDesignation);
  const std::size_t start = designation.find_first_not_of(' ');
  if (start == std::string_view::npos) return;
  designation.remove_prefix(start);
  std::string_view number;
  if (designation.front() == '(') {
    // A short loop: the number is a few digits, a call to find costs more.
    std::size_t close = 1;
    while (close < designation.size() && designation[close] != ')') ++close;
    if (close < designation.size()) {
      number = designation.substr(1, close - 1);
      designation.remove_prefix(close + 1);
      if (!designation.empty() && designation.front() == ' ') {
        designation.remove_prefix(1);
      }
    }
  }
  look_up(index, designation, {}, hits, checks);
  if (number.empty()) return;
  look_up_number(index, number, hits);
  // The number alone and with the name begin with the same two bytes.
  if (!pair_may_begin_key(index, number)) return;
  look_up(index, number, {}, hits, checks);
  look_up(index, number, designation, hits, checks);
}

}  // namespace orbitpick
