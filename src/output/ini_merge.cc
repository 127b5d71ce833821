// The merge of orbitpick's sections into an existing INI file: the new
// sections taken as they come, then one pass over the base that writes it
// out with each section's edits.

#include "output/ini_merge.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/text.h"
#include "conversion/section_keys.h"
#include "input/whole_file.h"
#include "output/base_bodies.h"
#include "output/ini_text.h"

namespace orbitpick {
namespace {


// One key of a new section: its value (the last non-empty one given) and
// its whole line as orbitpick wrote it, for adding it to a base section.
struct NewKey {
  std::string key;
  std::string value;
  std::string line;
};

// A new section that may be the body of a base section, all its
// occurrences taken together.
struct NewSection {
  std::string name;
  std::vector<NewKey> keys;
  std::string last;        // its last occurrence, whole
  std::size_t source = 0;  // 0: the listed sections; i: refresh text i - 1
  std::uint64_t place = 0;  // among the listed sections, by first occurrence
  bool in_base = false;
};

// The value of "key" among "keys" (any case), or empty.
std::string_view new_value(const NewSection& n, std::string_view key) {
  for (const NewKey& k : n.keys) {
    if (equal_ignoring_case(k.key, key)) return k.value;
  }
  return {};
}

// Adds the key lines of one occurrence, "text", to "section".
void fold_keys(std::string_view text, NewSection* section) {
  LineSplitter lines(text, 0);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = text.substr(begin, end - begin);
    KeyLine k;
    if (!key_line(line, &k)) continue;
    const std::string_view value =
        line.substr(k.value_begin, k.value_end - k.value_begin);
    auto same = std::find_if(section->keys.begin(), section->keys.end(),
                             [&](const NewKey& n) { return n.key == k.key; });
    if (same == section->keys.end()) {
      section->keys.push_back(
          {std::string(k.key), std::string(value), std::string(line)});
    } else if (!value.empty()) {
      same->value.assign(value);
      same->line.assign(line);
    }
  }
  section->last.assign(text);
}

// Calls "take" with the text and name of each section of "sections" (from
// its "[name]" line to the next one); stops when "take" fails.
template <typename Take>
bool each_section(std::string_view sections, const Take& take) {
  LineSplitter lines(sections, 0);
  std::size_t begin, end, next;
  std::size_t from = 0;
  std::string_view current;
  bool in_section = false;
  while (lines.next(&begin, &end, &next)) {
    std::string_view name;
    if (!section_name(sections.substr(begin, end - begin), &name)) continue;
    if (in_section && !take(sections.substr(from, begin - from), current)) {
      return false;
    }
    in_section = true;
    from = begin;
    current = name;
  }
  return !in_section || take(sections.substr(from), current);
}

std::string lowered(std::string_view name) {
  std::string low(name);
  for (char& c : low) c = ascii_lower(c);
  return low;
}

// The identities (base_bodies.h) of one occurrence of a new section.
std::vector<std::string> occurrence_identities(std::string_view text,
                                               std::string_view name) {
  NewSection probe;
  fold_keys(text, &probe);
  std::string_view number, designation, value_name;
  for (const NewKey& k : probe.keys) {
    if (equal_ignoring_case(k.key, "minor_planet_number")) number = k.value;
    if (equal_ignoring_case(k.key, "iau_designation")) designation = k.value;
    if (equal_ignoring_case(k.key, "name")) value_name = k.value;
  }
  return section_identities({name, number, designation, value_name});
}

// A change to the base: "erase" bytes at "at" replaced by "text".
struct Edit {
  std::size_t at;
  std::size_t erase;
  std::string text;
};

// A key line of a base section being updated, with offsets into the base.
struct BaseKey {
  std::string_view key;
  std::size_t value_begin;
  std::size_t value_end;
};

// The edits that bring one base section up to date with "update".
void update_section(std::string_view base, const NewSection& update,
                    const std::vector<BaseKey>& keys, std::size_t anchor,
                    std::string_view anchor_end, std::string_view line_end,
                    std::vector<Edit>* edits) {
  const std::size_t first = edits->size();
  std::string added;
  for (const NewKey& n : update.keys) {
    if (n.value.empty()) continue;
    if (merge_only_fills(n.key) &&
        std::any_of(keys.begin(), keys.end(), [&](const BaseKey& b) {
          return b.value_end > b.value_begin &&
                 equal_ignoring_case(b.key, n.key);
        })) {
      continue;
    }
    bool found = false;
    for (const BaseKey& b : keys) {
      if (b.key != n.key) continue;
      found = true;
      const std::string_view old =
          base.substr(b.value_begin, b.value_end - b.value_begin);
      if (old == n.value) continue;
      std::string text(n.value);
      // "key =" with nothing after it: keep the blank of "key = value".
      if (old.empty() && base[b.value_begin - 1] == '=' && b.value_begin >= 2 &&
          is_ini_blank(base[b.value_begin - 2])) {
        text.insert(0, " ");
      }
      // "key = # comment": the comment needs its blank to stay one.
      if (old.empty() && b.value_begin < base.size() &&
          base[b.value_begin] == '#') {
        text.append(" ");
      }
      edits->push_back({b.value_begin, old.size(), std::move(text)});
    }
    if (found) continue;
    // Ending the added lines like the line before them keeps a lone CR
    // from running into a following LF as one CR LF.
    if (!anchor_end.empty()) {
      added.append(n.line);
      added.append(anchor_end);
    } else {
      added.append(line_end);
      added.append(n.line);
    }
  }
  std::sort(edits->begin() + first, edits->end(),
            [](const Edit& a, const Edit& b) { return a.at < b.at; });
  // Every key line lies before the anchor, so the additions come last.
  if (!added.empty()) edits->push_back({anchor, 0, std::move(added)});
}

// The line ending of the first line, or kLineEnd when there is none.
std::string_view first_line_end(std::string_view text) {
  const std::size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return kLineEnd;
  if (text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

}  // namespace

bool check_ini_text(std::string_view text, Error* err) {
  return check_no_nul(text, 0, err);
}

namespace {

// The key lines and identities of a base section, read before it is
// updated: which new section is its body is known only at its end.
struct BaseSection {
  std::string_view name;
  std::vector<BaseKey> keys;
  std::size_t anchor = 0;       // where its missing keys go
  std::string_view anchor_end;  // the ending of the line before it
};

std::string_view base_value(std::string_view base, const BaseSection& section,
                            std::string_view key) {
  for (const BaseKey& b : section.keys) {
    if (b.value_end > b.value_begin && equal_ignoring_case(b.key, key)) {
      return base.substr(b.value_begin, b.value_end - b.value_begin);
    }
  }
  return {};
}

// The new sections by their section names (case ignored) and by each of
// their identities, in the order read: the listed ones before the
// refreshed ones.
struct NewSectionIndex {
  std::unordered_map<std::string, std::size_t> by_name;
  std::unordered_map<std::string, std::vector<std::size_t>> by_identity;
};

NewSectionIndex index_new_sections(const std::vector<NewSection>& news) {
  NewSectionIndex index;
  for (std::size_t i = 0; i < news.size(); ++i) {
    const NewSection& n = news[i];
    index.by_name.emplace(lowered(n.name), i);
    for (std::string& id : section_identities(
             {n.name, new_value(n, "minor_planet_number"),
              new_value(n, "iau_designation"), new_value(n, "name")})) {
      std::vector<std::size_t>& at = index.by_identity[std::move(id)];
      if (at.empty() || at.back() != i) at.push_back(i);
    }
  }
  return index;
}

// The new section that is the body of "section", or null: the one of its
// own name, else the first of its identities. A new section of the same
// name always lands on its base section, so that merging the same sections
// again never appends them a second time.
NewSection* same_body(std::string_view base, const BaseSection& section,
                      const NewSectionIndex& index,
                      std::vector<NewSection>* news) {
  const auto named = index.by_name.find(lowered(section.name));
  if (named != index.by_name.end()) return &(*news)[named->second];
  std::size_t best = news->size();
  for (const std::string& id : section_identities(
           {section.name, base_value(base, section, "minor_planet_number"),
            base_value(base, section, "iau_designation"),
            base_value(base, section, "name")})) {
    const auto it = index.by_identity.find(id);
    if (it != index.by_identity.end()) best = std::min(best, it->second.front());
  }
  return best == news->size() ? nullptr : &(*news)[best];
}

bool parse_epoch(std::string_view text, double* jd) {
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, *jd);
  return ec == std::errc() && at == end;
}

// True when the base's orbit has a later epoch than the new one's.
bool base_is_newer(std::string_view base, const BaseSection& section,
                   const NewSection& update) {
  double old_epoch = 0;
  double new_epoch = 0;
  return parse_epoch(base_value(base, section, "orbit_Epoch"), &old_epoch) &&
         parse_epoch(new_value(update, "orbit_Epoch"), &new_epoch) &&
         new_epoch < old_epoch;
}

constexpr std::size_t kWriteBlock = 64 * 1024;

// The listed sections whose body is in no base section, kept out of
// memory: in a temporary file, or in memory where none can be made.
class SectionSpill {
 public:
  SectionSpill() = default;
  SectionSpill(const SectionSpill&) = delete;
  SectionSpill& operator=(const SectionSpill&) = delete;
  ~SectionSpill() {
    if (file_ != nullptr) std::fclose(file_);
  }

  // Appends "text" and sets *offset to where it starts.
  bool append(std::string_view text, std::uint64_t* offset, Error* err) {
    if (!tried_) {
      tried_ = true;
      file_ = std::tmpfile();
    }
    *offset = size_;
    size_ += text.size();
    if (file_ == nullptr) {
      memory_.append(text);
      return true;
    }
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
      return fail(err, std::string("temporary file: ") + std::strerror(errno));
    }
    return true;
  }

  // Sets *text to the "size" bytes at "offset", once appending is over.
  bool read(std::uint64_t offset, std::size_t size, std::string* text,
            Error* err) {
    if (file_ == nullptr) {
      text->assign(memory_, static_cast<std::size_t>(offset), size);
      return true;
    }
    text->resize(size);
    if (std::fflush(file_) != 0 || !seek(offset) ||
        std::fread(&(*text)[0], 1, size, file_) != size) {
      return fail(err, std::string("temporary file: ") +
                           std::strerror(errno != 0 ? errno : EIO));
    }
    return true;
  }

 private:
  bool seek(std::uint64_t offset) {
#if defined(_WIN32)
    return _fseeki64(file_, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
  }

  std::FILE* file_ = nullptr;
  bool tried_ = false;
  std::string memory_;
  std::uint64_t size_ = 0;
};

}  // namespace

struct IniMerge::State {
  std::string_view base;
  std::size_t start = 0;  // after a byte order mark
  // Every identity of every base section: a new section that has none of
  // them is the body of no base section.
  std::unordered_set<std::string> base_identities;
  // And every base section's name in lower case: a new section of one of
  // these names updates that section, whatever its identities.
  std::unordered_set<std::string> base_names;
  // The new sections that may be the body of a base section, by name in
  // lower case: memory that follows the base.
  std::vector<NewSection> news;
  std::unordered_map<std::string, std::size_t> by_name;
  // The other listed sections, each name once: its place among the listed
  // sections, and its last occurrence in the spill.
  struct Appended {
    std::uint64_t place = 0;
    std::uint64_t last = 0;
    std::size_t size = 0;
  };
  std::unordered_map<std::string, Appended> appended;
  SectionSpill spill;
  std::uint64_t places = 0;  // listed names seen
};

IniMerge::IniMerge() : state_(std::make_unique<State>()) {}
IniMerge::~IniMerge() = default;

bool IniMerge::start(std::string_view base, Error* err) {
  State& m = *state_;
  if (!check_ini_text(base, err)) return false;
  m.base = base;
  m.start = byte_order_mark_size(base);
  BaseSection section;
  bool in_section = false;
  const auto note = [&] {
    if (!in_section) return;
    m.base_names.insert(lowered(section.name));
    for (std::string& id : section_identities(
             {section.name, base_value(base, section, "minor_planet_number"),
              base_value(base, section, "iau_designation"),
              base_value(base, section, "name")})) {
      m.base_identities.insert(std::move(id));
    }
  };
  LineSplitter lines(base, m.start);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = base.substr(begin, end - begin);
    std::string_view name;
    if (section_name(line, &name)) {
      note();
      in_section = true;
      section.name = name;
      section.keys.clear();
      continue;
    }
    KeyLine k;
    if (!in_section || !key_line(line, &k)) continue;
    section.keys.push_back({k.key, begin + k.value_begin, begin + k.value_end});
  }
  note();
  return true;
}

// One occurrence of a new section, from "source" (0: the listed ones).
// Sections are one when their names are, ignoring ASCII case.
bool take_occurrence(IniMerge::State* m, std::string_view text,
                            std::string_view name, std::size_t source,
                            Error* err) {
  std::string key = lowered(name);
  const auto known = m->by_name.find(key);
  if (known != m->by_name.end()) {
    fold_keys(text, &m->news[known->second]);
    return true;
  }
  const auto spilled = m->appended.find(key);
  if (spilled != m->appended.end()) {
    if (source != 0) return true;
    if (!m->spill.append(text, &spilled->second.last, err)) return false;
    spilled->second.size = text.size();
    return true;
  }
  const std::uint64_t place = source == 0 ? m->places++ : 0;
  bool maybe_in_base = m->base_names.count(key) > 0;
  for (const std::string& id : occurrence_identities(text, name)) {
    maybe_in_base = maybe_in_base || m->base_identities.count(id) > 0;
  }
  if (maybe_in_base) {
    m->by_name.emplace(std::move(key), m->news.size());
    m->news.emplace_back();
    NewSection& n = m->news.back();
    n.name.assign(name);
    n.source = source;
    n.place = place;
    fold_keys(text, &n);
    return true;
  }
  // A refreshed body is only ever updated, and this one is no base body.
  if (source != 0) return true;
  IniMerge::State::Appended& a = m->appended[std::move(key)];
  a.place = place;
  a.size = text.size();
  return m->spill.append(text, &a.last, err);
}

bool IniMerge::add(std::string_view sections, Error* err) {
  return each_section(sections, [&](std::string_view text,
                                    std::string_view name) {
    return take_occurrence(state_.get(), text, name, 0, err);
  });
}

bool IniMerge::finish(const MergeOptions& options, const MergeSink& write,
                      MergeCounts* counts, RefreshCounts* refresh,
                      Error* err) {
  State& m = *state_;
  *counts = MergeCounts();
  *refresh = RefreshCounts();
  for (std::size_t i = 0; i < options.refresh.size(); ++i) {
    const bool taken = each_section(
        options.refresh[i], [&](std::string_view text, std::string_view name) {
          return take_occurrence(&m, text, name, i + 1, err);
        });
    if (!taken) return false;
  }
  // "news" holds the listed sections in the order they first came, then
  // the refreshed ones: the first that is a base section's body updates it.
  refresh->refreshed.assign(options.refresh.size(), 0);
  const NewSectionIndex index = index_new_sections(m.news);
  const bool refreshing = !options.refresh.empty();

  const std::string_view base = m.base;
  const std::string_view line_end = first_line_end(base);
  std::vector<Edit> edits;
  BaseSection section;
  bool in_section = false;
  bool last_blank = true;     // the base's last line is blank
  std::string_view last_end;  // ... and its line ending
  std::size_t pos = 0;        // the base is written up to here

  // Each base section's edits are written as soon as it ends: memory for
  // one section's edits at a time, whatever the base holds.
  const auto finish_section = [&] {
    if (!in_section) return true;
    NewSection* update = same_body(base, section, index, &m.news);
    if (update == nullptr) {
      ++counts->kept;
      if (refreshing) refresh->unmatched.emplace_back(section.name);
      return true;
    }
    update->in_base = true;
    if (options.never_older && base_is_newer(base, section, *update)) {
      refresh->newer.emplace_back(section.name);
      return true;
    }
    if (update->source == 0) {
      ++counts->updated;
    } else {
      ++refresh->refreshed[update->source - 1];
    }
    edits.clear();
    update_section(base, *update, section.keys, section.anchor,
                   section.anchor_end, line_end, &edits);
    for (const Edit& e : edits) {
      if (!write(base.substr(pos, e.at - pos), err) || !write(e.text, err)) {
        return false;
      }
      pos = e.at + e.erase;
    }
    return true;
  };

  LineSplitter lines(base, m.start);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = base.substr(begin, end - begin);
    last_blank = line.find_first_not_of(" \t") == std::string_view::npos;
    last_end = base.substr(end, next - end);
    std::string_view name;
    if (section_name(line, &name)) {
      if (!finish_section()) return false;
      in_section = true;
      section.name = name;
      section.keys.clear();
      section.anchor = next;
      section.anchor_end = last_end;
      continue;
    }
    KeyLine k;
    if (!in_section || !key_line(line, &k)) continue;
    section.keys.push_back({k.key, begin + k.value_begin, begin + k.value_end});
    section.anchor = next;
    section.anchor_end = last_end;
  }
  if (!finish_section() || !write(base.substr(pos), err)) return false;

  // Appended: the listed sections whose body is not in the base, each once,
  // in the order they first came, with their last occurrence.
  struct Tail {
    std::uint64_t place;
    const NewSection* kept;           // or, when null, in the spill:
    const State::Appended* spilled;
  };
  std::vector<Tail> order;
  for (const NewSection& n : m.news) {
    if (!n.in_base && n.source == 0) order.push_back({n.place, &n, nullptr});
  }
  for (const auto& entry : m.appended) {
    order.push_back({entry.second.place, nullptr, &entry.second});
  }
  counts->added = static_cast<std::int64_t>(order.size());
  if (order.empty()) return true;
  std::sort(order.begin(), order.end(), [](const Tail& a, const Tail& b) {
    return a.place < b.place;
  });
  std::string tail;
  if (!base.empty() && last_end.empty()) tail.append(line_end);
  if (!base.empty() && !last_blank) {
    tail.append(last_end.empty() ? line_end : last_end);
  }
  std::string text;
  for (const Tail& t : order) {
    if (t.kept != nullptr) {
      text = t.kept->last;
    } else if (!m.spill.read(t.spilled->last, t.spilled->size, &text, err)) {
      return false;
    }
    LineSplitter section_lines(text, 0);
    while (section_lines.next(&begin, &end, &next)) {
      tail.append(text, begin, end - begin);
      tail.append(line_end);
    }
    if (tail.size() >= kWriteBlock) {
      if (!write(tail, err)) return false;
      tail.clear();
    }
  }
  return write(tail, err);
}

bool merge_ini(std::string_view base, std::string_view sections,
               const MergeOptions& options, const MergeSink& write,
               MergeCounts* counts, RefreshCounts* refresh, Error* err) {
  *counts = MergeCounts();
  *refresh = RefreshCounts();
  try {
    IniMerge merge;
    return merge.start(base, err) && merge.add(sections, err) &&
           merge.finish(options, write, counts, refresh, err);
  } catch (const std::bad_alloc&) {
    return fail(err, std::strerror(ENOMEM));
  }
}

bool merge_ini(std::string_view base, std::string_view sections,
               const MergeSink& write, MergeCounts* counts, Error* err) {
  RefreshCounts refresh;
  return merge_ini(base, sections, MergeOptions(), write, counts, &refresh,
                   err);
}

bool merge_ini(std::string_view base, std::string_view sections,
               std::string* merged, MergeCounts* counts, Error* err) {
  merged->clear();
  return merge_ini(
      base, sections,
      [merged](std::string_view block, Error*) {
        merged->append(block);
        return true;
      },
      counts, err);
}

}  // namespace orbitpick
