// Fuzzes the merge into an existing INI file. The input is a base and, after
// its first NUL byte, any bytes as new sections.
//
// Checks: with no sections the base comes back byte for byte; with any
// sections, every base line is still there, in order, with its own line
// ending, changed at most inside its value; and with sections in orbitpick's
// format named after the base's own sections, every one of those sections
// reads the new value afterwards, and merging the result again changes
// nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_reader.h"
#include "output/base_bodies.h"
#include "output/ini_merge.h"

namespace orbitpick {
namespace {

struct Line {
  std::string_view text;    // without its ending
  std::string_view ending;  // LF, CR LF, a lone CR, or empty at the end
};

// Lines as the planetarium reads them, split one byte at a time.
std::vector<Line> split_lines(std::string_view s) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\n' && s[i] != '\r') continue;
    const std::size_t len =
        s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
    lines.push_back({s.substr(begin, i - begin), s.substr(i, len)});
    i += len - 1;
    begin = i + 1;
  }
  if (begin < s.size()) lines.push_back({s.substr(begin), {}});
  return lines;
}

// A merged line may stand for a base line when both are equal, or when they
// differ only in one stretch after the base line's first '=' that holds no
// comment.
bool same_but_value(std::string_view base, std::string_view merged) {
  if (base == merged) return true;
  const std::size_t equals = base.find('=');
  if (equals == std::string_view::npos) return false;
  std::size_t prefix = 0;
  while (prefix < base.size() && prefix < merged.size() &&
         base[prefix] == merged[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < base.size() - prefix && suffix < merged.size() - prefix &&
         base[base.size() - 1 - suffix] == merged[merged.size() - 1 - suffix]) {
    ++suffix;
  }
  if (prefix <= equals) return false;
  const std::string_view changed =
      base.substr(prefix, base.size() - prefix - suffix);
  return changed.find(';') == std::string_view::npos;
}

void check_base_kept(std::string_view base, std::string_view merged) {
  const std::vector<Line> from = split_lines(base);
  const std::vector<Line> to = split_lines(merged);
  std::size_t j = 0;
  for (std::size_t i = 0; i < from.size(); ++i) {
    // The last base line may gain an ending when something is added after
    // it; every other ending stays as it was.
    const bool any_ending = i + 1 == from.size() && from[i].ending.empty();
    while (j < to.size() && !((any_ending || to[j].ending == from[i].ending) &&
                              same_but_value(from[i].text, to[j].text))) {
      ++j;
    }
    fuzz::check(j < to.size());
    ++j;
  }
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// "[name]" after blanks: the name up to the first ']', trimmed.
bool header(std::string_view line, std::string_view* name) {
  line = trim(line);
  if (line.empty() || line[0] != '[') return false;
  *name = trim(line.substr(1, line.find(']') - 1));
  return true;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The text after a leading UTF-8 byte order mark, which the planetarium
// skips.
std::string_view without_mark(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// The value the section's last "orbit_Epoch" line gives, for every section
// named "name" in any case; "missing" for one without such a line.
std::vector<std::string> epochs(std::string_view text, std::string_view name) {
  std::vector<std::string> found;
  bool in = false;
  for (const Line& line : split_lines(without_mark(text))) {
    std::string_view n;
    if (header(line.text, &n)) {
      in = lower(n) == lower(name);
      if (in) found.push_back("missing");
      continue;
    }
    const std::string_view t = trim(line.text);
    const std::size_t equals = t.find('=');
    if (!in || t.empty() || t[0] == ';' || t[0] == '#' ||
        equals == std::string_view::npos ||
        trim(t.substr(0, equals)) != "orbit_Epoch") {
      continue;
    }
    std::string_view value = t.substr(equals + 1);
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == ';' || (value[i] == '#' && i > 0 &&
                              (value[i - 1] == ' ' || value[i - 1] == '\t'))) {
        value = value.substr(0, i);
        break;
      }
    }
    found.back() = std::string(trim(value));
  }
  return found;
}

std::string merge(std::string_view base, std::string_view sections,
                  MergeCounts* counts) {
  std::string merged;
  Error err;
  fuzz::check(merge_ini(base, sections, &merged, counts, &err));
  return merged;
}

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view base = input.substr(0, nul);
  const std::string_view sections = nul == std::string_view::npos
                                        ? std::string_view()
                                        : input.substr(nul + 1);

  MergeCounts counts;
  fuzz::check(merge(base, "", &counts) == base);
  fuzz::check(counts.updated == 0 && counts.added == 0);

  check_base_kept(base, merge(base, sections, &counts));

  // New sections for the base's first few names and one more, named so that
  // it is the body of no base section ([zz_new] is the body of [zznew]).
  std::vector<std::string> names;
  std::vector<std::string> base_ids;
  for (const Line& line : split_lines(without_mark(base))) {
    std::string_view name;
    if (!header(line.text, &name)) continue;
    if (names.size() < 3) names.emplace_back(name);
    for (std::string& id : section_identities({name, {}, {}, {}})) {
      base_ids.push_back(std::move(id));
    }
  }
  std::string extra = "zz_new";
  const auto taken = [&] {
    for (const std::string& id : section_identities({extra, {}, {}, {}})) {
      if (std::find(base_ids.begin(), base_ids.end(), id) != base_ids.end()) {
        return true;
      }
    }
    return false;
  };
  while (taken()) extra += 'x';
  names.push_back(extra);
  std::string ours;
  for (const std::string& name : names) {
    ours += "[" + name + "]\n";
    ours += "absolute_magnitude             = \n";
    ours += "name                           = Body\n";
    ours += "orbit_Epoch                    = 2460800.5\n\n";
  }
  const std::string merged = merge(base, ours, &counts);
  check_base_kept(base, merged);
  for (const std::string& name : names) {
    for (const std::string& epoch : epochs(merged, name)) {
      fuzz::check(epoch == "2460800.5");
    }
    fuzz::check(!epochs(merged, name).empty());
  }
  MergeCounts again;
  fuzz::check(merge(merged, ours, &again) == merged);
  fuzz::check(again.added == 0);
  return 0;
}
