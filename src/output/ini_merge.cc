// The merge of orbitpick's sections into an existing INI file: one pass over
// the base that notes the edits, then the base written out around them.

#include "output/ini_merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "conversion/section_keys.h"
#include "input/whole_file.h"

namespace orbitpick {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Splits text into lines ending at LF, CR LF or a lone CR. The next line
// feed and carriage return are remembered, so that each byte is searched
// once even in a file whose lines all end in a lone CR.
class LineSplitter {
 public:
  LineSplitter(std::string_view text, std::size_t start)
      : text_(text), pos_(start), lf_(find('\n')), cr_(find('\r')) {}

  // Sets the line's content [*begin, *content_end) and its end after the
  // line ending, *next; false at the end of the text.
  bool next(std::size_t* begin, std::size_t* content_end, std::size_t* next) {
    if (pos_ >= text_.size()) return false;
    if (lf_ != npos_ && lf_ < pos_) lf_ = find('\n');
    if (cr_ != npos_ && cr_ < pos_) cr_ = find('\r');
    *begin = pos_;
    if (cr_ < lf_) {
      *content_end = cr_;
      *next = cr_ + 1 == lf_ ? lf_ + 1 : cr_ + 1;
    } else if (lf_ != npos_) {
      *content_end = lf_;
      *next = lf_ + 1;
    } else {
      *content_end = text_.size();
      *next = text_.size();
    }
    pos_ = *next;
    return true;
  }

 private:
  static constexpr std::size_t npos_ = std::string_view::npos;

  std::size_t find(char c) const {
    if (pos_ >= text_.size()) return npos_;
    const void* at = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
    return at == nullptr ? npos_ : static_cast<const char*>(at) - text_.data();
  }

  std::string_view text_;
  std::size_t pos_;
  std::size_t lf_;  // searched again once behind pos_
  std::size_t cr_;
};

// The section name of a line starting with '[' after blanks, or false.
bool section_name(std::string_view line, std::string_view* name) {
  const std::size_t open = line.find_first_not_of(" \t");
  if (open == std::string_view::npos || line[open] != '[') return false;
  std::string_view rest = line.substr(open + 1);
  const std::size_t close = rest.find(']');
  if (close != std::string_view::npos) rest = rest.substr(0, close);
  *name = trim_blanks(rest);
  return true;
}

// A "key = value" line: the key, and the value's offsets in the line, which
// stop before a comment (';', or '#' after a blank) and its blanks.
struct KeyLine {
  std::string_view key;
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
};

bool key_line(std::string_view line, KeyLine* out) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  if (line[start] == ';' || line[start] == '#' || line[start] == '[') {
    return false;
  }
  const std::size_t equals = line.find('=', start);
  if (equals == std::string_view::npos) return false;
  out->key = trim_blanks(line.substr(start, equals - start));
  std::size_t begin = equals + 1;
  while (begin < line.size() && is_blank(line[begin])) ++begin;
  std::size_t end = begin;
  while (end < line.size() && line[end] != ';' &&
         !(line[end] == '#' && is_blank(line[end - 1]))) {
    ++end;
  }
  while (end > begin && is_blank(line[end - 1])) --end;
  out->value_begin = begin;
  out->value_end = end;
  return true;
}

// One key of a new section: its value (the last non-empty one given) and
// its whole line as orbitpick wrote it, for adding it to a base section.
struct NewKey {
  std::string key;
  std::string value;
  std::string line;
};

// The new sections named like one base section, all their occurrences
// taken together.
struct NewSection {
  std::vector<NewKey> keys;
  bool given = false;  // a new section has this name
};

// Adds the key lines of one new section to "update".
void fold_keys(std::string_view section, NewSection* update) {
  LineSplitter lines(section, 0);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = section.substr(begin, end - begin);
    KeyLine k;
    if (!key_line(line, &k)) continue;
    const std::string_view value =
        line.substr(k.value_begin, k.value_end - k.value_begin);
    auto same = std::find_if(update->keys.begin(), update->keys.end(),
                             [&](const NewKey& n) { return n.key == k.key; });
    if (same == update->keys.end()) {
      update->keys.push_back(
          {std::string(k.key), std::string(value), std::string(line)});
    } else if (!value.empty()) {
      same->value.assign(value);
      same->line.assign(line);
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
          is_blank(base[b.value_begin - 2])) {
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

constexpr std::size_t kWriteBlock = 64 * 1024;

std::string lowered(std::string_view name) {
  std::string low(name);
  for (char& c : low) c = lower(c);
  return low;
}

}  // namespace

// The new sections that no base section is named like, kept out of memory:
// in a temporary file, or in memory where none can be made.
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

  // Sets *text to the "size" bytes at "offset". Only once appending is over.
  bool read(std::uint64_t offset, std::size_t size, std::string* text,
            Error* err) {
    if (file_ == nullptr) {
      text->assign(memory_, static_cast<std::size_t>(offset), size);
      return true;
    }
    text->resize(size);
    if (std::fflush(file_) != 0 ||
        !seek(offset) ||
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

struct IniMerge::State {
  std::string_view base;
  std::size_t start = 0;  // after a byte order mark
  // Each base section's name, lower-cased, and what the new sections of
  // that name bring: memory that follows the base.
  std::unordered_map<std::string, std::size_t> base_names;
  std::vector<NewSection> updates;
  // The other new sections, each name once: its first occurrence (its
  // place among them) and its last (its text) in the spill.
  struct Appended {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::size_t size = 0;
  };
  std::unordered_map<std::string, Appended> appended;
  SectionSpill spill;
};

IniMerge::IniMerge() : state_(std::make_unique<State>()) {}
IniMerge::~IniMerge() = default;

bool IniMerge::start(std::string_view base, Error* err) {
  State& m = *state_;
  if (!check_ini_text(base, err)) return false;
  m.base = base;
  m.start =
      base.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
  LineSplitter lines(base, m.start);
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    std::string_view name;
    if (!section_name(base.substr(begin, end - begin), &name)) continue;
    if (m.base_names.emplace(lowered(name), m.updates.size()).second) {
      m.updates.emplace_back();
    }
  }
  return true;
}

bool IniMerge::add(std::string_view sections, Error* err) {
  State& m = *state_;
  // Each section runs from its "[name]" line to the next one.
  const auto take = [&](std::size_t from, std::size_t to,
                        std::string_view name) {
    const std::string_view text = sections.substr(from, to - from);
    std::string key = lowered(name);
    const auto in_base = m.base_names.find(key);
    if (in_base != m.base_names.end()) {
      NewSection& update = m.updates[in_base->second];
      update.given = true;
      fold_keys(text, &update);
      return true;
    }
    std::uint64_t at = 0;
    if (!m.spill.append(text, &at, err)) return false;
    const auto [it, is_new] = m.appended.try_emplace(std::move(key));
    if (is_new) it->second.first = at;
    it->second.last = at;
    it->second.size = text.size();
    return true;
  };
  LineSplitter lines(sections, 0);
  std::size_t begin, end, next;
  std::size_t from = 0;
  std::string_view current;
  bool in_section = false;
  while (lines.next(&begin, &end, &next)) {
    std::string_view name;
    if (!section_name(sections.substr(begin, end - begin), &name)) continue;
    if (in_section && !take(from, begin, current)) return false;
    in_section = true;
    from = begin;
    current = name;
  }
  return !in_section || take(from, sections.size(), current);
}

bool IniMerge::finish(const MergeSink& write, MergeCounts* counts,
                      Error* err) {
  State& m = *state_;
  *counts = MergeCounts();
  const std::string_view base = m.base;
  const std::string_view line_end = first_line_end(base);
  std::vector<Edit> edits;
  std::vector<BaseKey> keys;
  NewSection* current = nullptr;  // the base section being updated
  std::size_t anchor = 0;         // where its missing keys go
  std::string_view anchor_end;    // the ending of the line before it
  bool last_blank = true;         // the base's last line is blank
  std::string_view last_end;      // ... and its line ending
  std::size_t pos = 0;            // the base is written up to here
  std::string name_lowered;

  // The edits of one base section, written as soon as it ends: memory
  // for one section's edits at a time, whatever the base holds.
  const auto write_update = [&] {
    edits.clear();
    update_section(base, *current, keys, anchor, anchor_end, line_end,
                   &edits);
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
      if (current != nullptr && !write_update()) return false;
      name_lowered = lowered(name);
      NewSection& named = m.updates[m.base_names.at(name_lowered)];
      current = named.given ? &named : nullptr;
      if (current == nullptr) {
        ++counts->kept;
        continue;
      }
      ++counts->updated;
      keys.clear();
      anchor = next;
      anchor_end = last_end;
      continue;
    }
    KeyLine k;
    if (current == nullptr || !key_line(line, &k)) continue;
    keys.push_back({k.key, begin + k.value_begin, begin + k.value_end});
    anchor = next;
    anchor_end = last_end;
  }
  if (current != nullptr && !write_update()) return false;
  if (!write(base.substr(pos), err)) return false;

  counts->added = static_cast<std::int64_t>(m.appended.size());
  if (counts->added == 0) return true;
  std::string tail;
  if (!base.empty() && last_end.empty()) tail.append(line_end);
  if (!base.empty() && !last_blank) {
    tail.append(last_end.empty() ? line_end : last_end);
  }
  // Each name once, where it first came, with the text it last had; every
  // line ended like the base's first.
  std::vector<const State::Appended*> order;
  order.reserve(m.appended.size());
  for (const auto& entry : m.appended) order.push_back(&entry.second);
  std::sort(order.begin(), order.end(),
            [](const State::Appended* a, const State::Appended* b) {
              return a->first < b->first;
            });
  std::string text;
  for (const State::Appended* a : order) {
    if (!m.spill.read(a->last, a->size, &text, err)) return false;
    LineSplitter section(text, 0);
    while (section.next(&begin, &end, &next)) {
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
               const MergeSink& write, MergeCounts* counts, Error* err) {
  *counts = MergeCounts();
  try {
    IniMerge merge;
    return merge.start(base, err) && merge.add(sections, err) &&
           merge.finish(write, counts, err);
  } catch (const std::bad_alloc&) {
    return fail(err, std::strerror(ENOMEM));
  }
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
