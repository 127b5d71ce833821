// Matching listed names against whole designations (--exact).

#include "selection/exact_match.h"

#include <algorithm>
#include <cstring>

#include "input/catalogue_columns.h"
#include "selection/spelling.h"

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

std::size_t pair_index(unsigned first, unsigned second) {
  return first | (second << 8);
}

// Bits of the table of keys' first four bytes, and the bit of four bytes.
constexpr std::size_t kQuadBits = std::size_t{1} << 18;
inline std::size_t quad_index(const char* four) {
  std::uint32_t v;
  std::memcpy(&v, four, 4);
  return static_cast<std::size_t>((v * 0x9E3779B1u) >> (32 - 18));
}

// False when no key can be the normalised form of "a" followed by "b":
// their first two bytes are no key's. Looks at only as many bytes as it
// takes, and lets through what it cannot tell cheaply (non-ASCII bytes).
inline bool may_be_key(const ExactIndex& index, std::string_view a,
                       std::string_view b) {
  unsigned bytes[2] = {0, 0};
  int have = 0;
  // Nearly always: two letters or digits at the start ("00433", "Eros").
  if (a.size() >= 2) {
    const auto c0 = static_cast<unsigned char>(a[0]);
    const auto c1 = static_cast<unsigned char>(a[1]);
    if (c0 < 0x80 && c1 < 0x80 && kAscii.to[c0] != 0 && kAscii.to[c1] != 0) {
      const std::size_t bit =
          pair_index(static_cast<unsigned char>(kAscii.to[c0]),
                     static_cast<unsigned char>(kAscii.to[c1]));
      return (index.leading_pairs[bit / 64] >> (bit % 64)) & 1;
    }
  }
  const std::string_view parts[2] = {a, b};
  for (int p = 0; p < 2 && have < 2; ++p) {
    const auto* u = reinterpret_cast<const unsigned char*>(parts[p].data());
    for (std::size_t i = 0; i < parts[p].size() && have < 2; ++i) {
      if (u[i] >= 0x80) return true;
      const char c = kAscii.to[u[i]];
      if (c != 0) bytes[have++] = static_cast<unsigned char>(c);
    }
  }
  if (have == 0) return false;
  const std::size_t bit = pair_index(bytes[0], bytes[1]);
  return (index.leading_pairs[bit / 64] >> (bit % 64)) & 1;
}

// Adds the names whose key is the normalised form of "a" followed by "b".
// The check of the first bytes is inlined: it turns away nearly every call.
void look_up_whole(const ExactIndex& index, std::string_view a,
                   std::string_view b, std::vector<std::uint32_t>* hits,
                   std::vector<std::uint32_t>* checks) {
  Identity identity;
  identity.add(a);
  identity.add(b);
  find_identity(index, identity.view(), hits, checks);
}

// False when "a" starts with four letters or digits that begin no key
// four bytes long or more: its normalised form starts with them, and is too
// long for a shorter key. Anything else may be a key.
inline bool may_begin_key(const ExactIndex& index, std::string_view a) {
  if (a.size() < 4) return true;
  char quad[4];
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(a[i]);
    if (c >= 0x80 || kAscii.to[c] == 0) return true;
    quad[i] = kAscii.to[c];
  }
  const std::size_t bit = quad_index(quad);
  return (index.leading_quads[bit / 64] >> (bit % 64)) & 1;
}

inline void look_up(const ExactIndex& index, std::string_view a,
                    std::string_view b, std::vector<std::uint32_t>* hits,
                    std::vector<std::uint32_t>* checks) {
  if (may_be_key(index, a, b) && may_begin_key(index, a)) {
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

}  // namespace

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
        }
      }
    }
  }
  index.leading_pairs.assign(65536 / 64, 0);
  for (const std::string& k : index.keys) {
    const std::size_t bit = pair_index(
        static_cast<unsigned char>(k[0]),
        k.size() > 1 ? static_cast<unsigned char>(k[1]) : 0u);
    index.leading_pairs[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  index.leading_quads.assign(kQuadBits / 64, 0);
  for (const std::string& k : index.keys) {
    if (k.size() < 4) continue;
    const std::size_t bit = quad_index(k.data());
    index.leading_quads[bit / 64] |= std::uint64_t{1} << (bit % 64);
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
    const std::size_t close = designation.find(')');
    if (close != std::string_view::npos) {
      number = designation.substr(1, close - 1);
      designation.remove_prefix(close + 1);
      if (!designation.empty() && designation.front() == ' ') {
        designation.remove_prefix(1);
      }
    }
  }
  look_up(index, designation, {}, hits, checks);
  if (number.empty()) return;
  look_up(index, number, {}, hits, checks);
  look_up(index, number, designation, hits, checks);
  look_up_number(index, number, hits);
}

}  // namespace orbitpick
