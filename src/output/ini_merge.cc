// The merge of orbitpick's sections into an existing INI file: one pass over
// the base that notes the edits, then the base written out around them.

#include "output/ini_merge.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "conversion/section_keys.h"
#include "output/base_bodies.h"
#include "output/ini_text.h"

namespace orbitpick {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// One key of a new section: its value (the last non-empty one given) and
// its whole line as orbitpick wrote it, for adding it to a base section.
struct NewKey {
  std::string_view key;
  std::string_view value;
  std::string_view line;
};

// A new section, all its occurrences in "sections" taken together.
struct NewSection {
  std::string_view name;
  std::vector<NewKey> keys;
  std::vector<std::string_view> last_lines;  // its last occurrence, whole
  std::size_t source = 0;  // 0: the listed sections; i: refresh text i - 1
  bool in_base = false;
};

// The value of "key" among "keys" (any case), or empty.
std::string_view new_value(const NewSection& n, std::string_view key) {
  for (const NewKey& k : n.keys) {
    if (equal_ignoring_case(k.key, key)) return k.value;
  }
  return {};
}

void read_new_sections(std::string_view sections, std::size_t source,
                       std::vector<NewSection>* news,
                       std::unordered_map<std::string, std::size_t>* index) {
  LineSplitter lines(sections, 0);
  std::size_t begin, end, next;
  NewSection* current = nullptr;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = sections.substr(begin, end - begin);
    std::string_view name;
    if (section_name(line, &name)) {
      std::string lowered(name);
      for (char& c : lowered) c = ascii_lower(c);
      const auto [it, is_new] = index->emplace(lowered, news->size());
      if (is_new) {
        news->emplace_back();
        news->back().name = name;
        news->back().source = source;
      }
      current = &(*news)[it->second];
      current->last_lines.clear();
      current->last_lines.push_back(line);
      continue;
    }
    if (current == nullptr) continue;
    current->last_lines.push_back(line);
    KeyLine k;
    if (!key_line(line, &k)) continue;
    const std::string_view value =
        line.substr(k.value_begin, k.value_end - k.value_begin);
    auto same = std::find_if(current->keys.begin(), current->keys.end(),
                             [&](const NewKey& n) { return n.key == k.key; });
    if (same == current->keys.end()) {
      current->keys.push_back({k.key, value, line});
    } else if (!value.empty()) {
      same->value = value;
      same->line = line;
    }
  }
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
  if (text.empty()) return true;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul == nullptr) return true;
  const std::size_t at = static_cast<const char*>(nul) - text.data();
  return fail(err, "holds a NUL byte at offset " + std::to_string(at) +
                       ": not a text file");
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

// The new sections by each of their identities, in the order read: the
// listed ones before the refreshed ones.
using IdentityIndex = std::unordered_map<std::string, std::vector<std::size_t>>;

IdentityIndex index_identities(const std::vector<NewSection>& news) {
  IdentityIndex index;
  for (std::size_t i = 0; i < news.size(); ++i) {
    const NewSection& n = news[i];
    for (std::string& id : section_identities(
             {n.name, new_value(n, "minor_planet_number"),
              new_value(n, "iau_designation"), new_value(n, "name")})) {
      std::vector<std::size_t>& at = index[std::move(id)];
      if (at.empty() || at.back() != i) at.push_back(i);
    }
  }
  return index;
}

// The first new section that is the body of "section", or null.
NewSection* same_body(std::string_view base, const BaseSection& section,
                      const IdentityIndex& index,
                      std::vector<NewSection>* news) {
  std::size_t best = news->size();
  for (const std::string& id : section_identities(
           {section.name, base_value(base, section, "minor_planet_number"),
            base_value(base, section, "iau_designation"),
            base_value(base, section, "name")})) {
    const auto it = index.find(id);
    if (it != index.end()) best = std::min(best, it->second.front());
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

bool merge_text(std::string_view base, std::string_view sections,
                const MergeOptions& options, const MergeSink& write,
                MergeCounts* counts, RefreshCounts* refresh, Error* err) {
  if (!check_ini_text(base, err)) return false;
  std::vector<NewSection> news;
  std::unordered_map<std::string, std::size_t> by_name;
  read_new_sections(sections, 0, &news, &by_name);
  for (std::size_t i = 0; i < options.refresh.size(); ++i) {
    read_new_sections(options.refresh[i], i + 1, &news, &by_name);
  }
  refresh->refreshed.assign(options.refresh.size(), 0);
  const IdentityIndex index = index_identities(news);
  const bool refreshing = !options.refresh.empty();

  const std::size_t start =
      base.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
  const std::string_view line_end = first_line_end(base);
  std::vector<Edit> edits;
  BaseSection section;
  bool in_section = false;
  bool last_blank = true;     // the base's last line is blank
  std::string_view last_end;  // ... and its line ending

  const auto finish_section = [&] {
    if (!in_section) return;
    NewSection* update = same_body(base, section, index, &news);
    if (update == nullptr) {
      ++counts->kept;
      if (refreshing) refresh->unmatched.emplace_back(section.name);
      return;
    }
    update->in_base = true;
    if (options.never_older && base_is_newer(base, section, *update)) {
      refresh->newer.emplace_back(section.name);
      return;
    }
    if (update->source == 0) {
      ++counts->updated;
    } else {
      ++refresh->refreshed[update->source - 1];
    }
    update_section(base, *update, section.keys, section.anchor,
                   section.anchor_end, line_end, &edits);
  };

  LineSplitter lines(base, start);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = base.substr(begin, end - begin);
    last_blank = line.find_first_not_of(" \t") == std::string_view::npos;
    last_end = base.substr(end, next - end);
    std::string_view name;
    if (section_name(line, &name)) {
      finish_section();
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
  finish_section();

  std::size_t pos = 0;
  for (const Edit& e : edits) {
    if (!write(base.substr(pos, e.at - pos), err) || !write(e.text, err)) {
      return false;
    }
    pos = e.at + e.erase;
  }
  if (!write(base.substr(pos), err)) return false;

  std::string tail;
  if (!base.empty() && last_end.empty()) tail.append(line_end);
  if (!base.empty() && !last_blank) {
    tail.append(last_end.empty() ? line_end : last_end);
  }
  // A refreshed body is only ever updated: the base is what it refreshes.
  for (const NewSection& n : news) {
    if (n.in_base || n.source != 0) continue;
    ++counts->added;
    for (std::string_view line : n.last_lines) {
      tail.append(line);
      tail.append(line_end);
    }
  }
  if (counts->added == 0) return true;
  return write(tail, err);
}

}  // namespace

bool merge_ini(std::string_view base, std::string_view sections,
               const MergeOptions& options, const MergeSink& write,
               MergeCounts* counts, RefreshCounts* refresh, Error* err) {
  *counts = MergeCounts();
  *refresh = RefreshCounts();
  // The edits and the appended sections grow with the sections given.
  try {
    return merge_text(base, sections, options, write, counts, refresh, err);
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
