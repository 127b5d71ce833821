// Finding every name of the target list in the catalogue, in one pass: the
// tables, the exact check and the choice of filter.

#include "selection/name_matcher.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "input/line_reader.h"
#include "selection/aho_corasick.h"
#include "selection/matcher_tables.h"
#include "selection/name_filter_x86.h"

namespace orbitpick {
namespace {

constexpr int kBuckets = 8;
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

// Slot of (key, key_len), whose mix() is "h", in the exact check's table:
// the one holding it, or the empty one where it belongs.
std::size_t slot_index(const MatcherTables& m, std::uint64_t key,
                       std::uint32_t key_len, std::uint64_t h) {
  const std::size_t mask = m.slots.size() - 1;
  std::size_t i = static_cast<std::size_t>(h ^ (h >> 29)) & mask;
  while (m.slots[i].count != 0 &&
         (m.slots[i].key != key || m.slots[i].key_len != key_len)) {
    i = (i + 1) & mask;
  }
  return i;
}

// The line of text[at], as a number unique in the scan. REQUIRES: "at" is
// in the line of the latest match or after it.
inline std::uint64_t line_of(Found* f, std::size_t at) {
  if (at > f->scanned) {
    const char* text = f->text.data();
    const char* newline = last_newline(text + f->scanned, text + at);
    if (newline != nullptr) {
      f->line_start = static_cast<std::size_t>(newline - text) + 1;
    }
    f->scanned = at;
  }
  return f->state->base + f->line_start + 1;
}

// Records "name" at text[at] unless it was already found in this line: a
// line needs each name once, and a long line full of one short name must
// not fill memory with its repeats.
inline void add_match(Found* f, std::size_t at, std::uint32_t name) {
  const std::uint64_t line = line_of(f, at);
  if (f->state->last_line[name] == line) return;
  f->state->last_line[name] = line;
  f->matches->push_back({static_cast<std::uint32_t>(at), name,
                         static_cast<std::uint32_t>(f->line_start)});
}

// Runs the automaton from text[at] (see run_automaton) and records what it
// finds.
std::size_t automaton_from(const MatcherTables& m, Found* f, std::size_t at) {
  return run_automaton(
      &f->state->automaton, f->text, at,
      [f](std::size_t q) { return line_of(f, q); },
      [&m, f](std::size_t end, std::uint32_t name) {
        add_match(f, end - m.names[name].size(), name);
        f->unordered = true;
      });
}

bool over_budget(const MatcherTables& m, const Found* f, std::size_t at) {
  return f->state->work > m.work_slack + kWorkPerByte * (f->state->base + at);
}

void start_automaton(const MatcherTables& m, MatchProgress* state) {
  if (state->use_automaton) return;
  build_automaton(m.names, &state->automaton);
  state->use_automaton = true;
}

// The plain filter over the whole text.
template <int N>
std::int64_t find_names_plain_all(const MatcherTables& m, Found* f) {
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
MatcherTables::Pair rare_pair(const std::string& name) {
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
  MatcherTables::Pair pair;
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
void fill_buckets(MatcherTables* m) {
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
// that a position whose first bytes are no key rarely finds its bits set.
void fill_tables(MatcherTables* m) {
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
  int log2_bits = 15;
  while (log2_bits < 24 && (std::size_t{1} << log2_bits) < keys * 64) {
    ++log2_bits;
  }
  m->sieve_shift = 64 - (log2_bits - 6);
  m->sieve.assign((std::size_t{1} << log2_bits) / 64, 0);
  std::size_t size = 16;
  while (size < keys * 2) size *= 2;
  m->slots.assign(size, MatcherTables::Slot());
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
    m->sieve[sieve_word(*m, h)] |= sieve_bits(*m, h);
  }
  std::uint32_t next = 0;
  for (MatcherTables::Slot& slot : m->slots) {
    slot.first = next;
    next += slot.count;
  }
  // "first" runs along each group as it is filled, then is set back.
  m->grouped.resize(next);
  for (std::uint32_t i = 0; i < m->names.size(); ++i) {
    const std::string& name = m->names[i];
    if (!name.empty()) {
      m->grouped[m->slots[slot_of[i]].first++] = {
          name.data(), static_cast<std::uint32_t>(name.size()), i};
    }
  }
  for (MatcherTables::Slot& slot : m->slots) slot.first -= slot.count;
  for (std::uint32_t len = 1; len <= kMaxKeyBytes; ++len) {
    if (lengths[len]) m->key_lengths.push_back(len);
  }
}

// Which filter a matcher runs: the widest the options allow and the
// processor has. The pair filter is the AVX2 one's choice for few names.
MatcherFilter choose_filter(const MatcherTables& m,
                            const MatcherOptions& options) {
  if (options.allow_avx2 && !m.pairs.empty() &&
      x86_filter_runs_here(MatcherFilter::kAvx2Pairs)) {
    return MatcherFilter::kAvx2Pairs;
  }
  if (options.allow_vbmi && x86_filter_runs_here(MatcherFilter::kVbmiBytes)) {
    return MatcherFilter::kVbmiBytes;
  }
  if (options.allow_avx2 && x86_filter_runs_here(MatcherFilter::kAvx2Nibbles)) {
    return MatcherFilter::kAvx2Nibbles;
  }
  return MatcherFilter::kPlain;
}

}  // namespace

// Every name that starts at text[at], a position the sieve lets through:
// the exact check, or the automaton once the exact check has cost too much.
void check_position(const MatcherTables& m, Found* f, std::size_t at) {
  if (at < f->resume) return;
  MatchProgress* state = f->state;
  if (state->use_automaton) {
    f->resume = automaton_from(m, f, at);
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
    const MatcherTables::Slot& slot = m.slots[slot_index(m, key, key_len, h)];
    for (std::uint32_t g = slot.first; g < slot.first + slot.count; ++g) {
      const MatcherTables::Member& name = m.grouped[g];
      if (name.size > avail) continue;
      state->work += kCompareWork + (name.size - key_len) / 16;
      if (over_budget(m, f, at)) {
        // Names already found here are not recorded twice.
        start_automaton(m, state);
        f->resume = automaton_from(m, f, at);
        return;
      }
      if (std::memcmp(p + key_len, name.data + key_len,
                      name.size - key_len) == 0) {
        add_match(f, at, name.name);
      }
    }
  }
  if (over_budget(m, f, at)) start_automaton(m, state);
}

void check_batch(const MatcherTables& m, Found* f, std::uint32_t* batch,
                 std::size_t held) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < held; ++i) {
    const std::uint32_t at = batch[i];
    batch[kept] = at;
    kept += in_sieve_any(m, f->text.data() + at, f->text.size() - at);
  }
  for (std::size_t i = 0; i < kept; ++i) check_position(m, f, batch[i]);
}

const char* filter_name(MatcherFilter filter) {
  switch (filter) {
    case MatcherFilter::kPlain:
      return "plain";
    case MatcherFilter::kAvx2Nibbles:
      return "avx2-nibbles";
    case MatcherFilter::kAvx2Pairs:
      return "avx2-pairs";
    case MatcherFilter::kVbmiBytes:
      return "vbmi-bytes";
  }
  return "?";
}

bool filter_runs_here(MatcherFilter filter) {
  return filter == MatcherFilter::kPlain || x86_filter_runs_here(filter);
}

MatchState::MatchState() : progress_(new MatchProgress) {}
MatchState::~MatchState() = default;
MatchState::MatchState(MatchState&&) noexcept = default;
MatchState& MatchState::operator=(MatchState&&) noexcept = default;

bool MatchState::automaton_took_over() const {
  return progress_->use_automaton;
}

std::uint64_t MatchState::check_work() const { return progress_->work; }

NameMatcher::NameMatcher(std::unique_ptr<MatcherTables> tables)
    : tables_(std::move(tables)) {}
NameMatcher::NameMatcher() : tables_(std::make_unique<MatcherTables>()) {}
NameMatcher::~NameMatcher() = default;
NameMatcher::NameMatcher(NameMatcher&&) noexcept = default;
NameMatcher& NameMatcher::operator=(NameMatcher&&) noexcept = default;

const std::vector<std::string>& NameMatcher::names() const {
  return tables_->names;
}

MatcherFilter NameMatcher::filter() const { return tables_->filter; }

NameMatcher build_name_matcher(std::vector<std::string> names,
                               const MatcherOptions& options) {
  auto tables = std::make_unique<MatcherTables>();
  MatcherTables& m = *tables;
  m.names = std::move(names);
  std::size_t longest = 1;
  for (const std::string& name : m.names) {
    longest = std::max(longest, name.size());
  }
  m.fingerprint = static_cast<int>(
      std::min<std::size_t>(longest, MatcherTables::kMaxFingerprint));
  fill_buckets(&m);
  for (int i = 0; i < m.fingerprint; ++i) {
    for (int c = 0; c < 256; ++c)
      m.folded_buckets[i][c & 0x7f] |= m.byte_buckets[i][c];
  }
  fill_tables(&m);
  if (m.names.size() <= MatcherTables::kMaxPairs) {
    for (const std::string& name : m.names) {
      if (name.empty()) continue;
      m.pairs.push_back(rare_pair(name));
      m.pair_reach = std::max<std::size_t>(
          {m.pair_reach, m.pairs.back().offset[0], m.pairs.back().offset[1]});
    }
  }
  m.filter = choose_filter(m, options);
  m.work_slack = options.work_slack;
  m.always_automaton = options.always_automaton;
  return NameMatcher(std::move(tables));
}

std::int64_t find_names(const NameMatcher& matcher, std::string_view text,
                        MatchState* match_state,
                        std::vector<NameMatch>* matches) {
  const MatcherTables& m = *matcher.tables_;
  MatchProgress* state = match_state->progress_.get();
  std::int64_t lines = 0;
  if (m.grouped.empty()) {
    lines = count_newlines(text.data(), text.data() + text.size());
  } else {
    if (state->last_line.size() != m.names.size()) {
      state->last_line.assign(m.names.size(), 0);
    }
    using Finder = std::int64_t (*)(const MatcherTables&, Found*);
    static constexpr Finder kPlain[MatcherTables::kMaxFingerprint] = {
        find_names_plain_all<1>, find_names_plain_all<2>,
        find_names_plain_all<3>, find_names_plain_all<4>,
        find_names_plain_all<5>, find_names_plain_all<6>};
    if (m.always_automaton) start_automaton(m, state);
    const std::size_t first = matches->size();
    Found f{text, state, matches};
    lines = m.filter == MatcherFilter::kPlain ? kPlain[m.fingerprint - 1](m, &f)
                                              : run_x86_filter(m, &f);
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
