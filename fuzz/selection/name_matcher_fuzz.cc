// Fuzzes the name matcher against a plain search: any set of names, any
// text cut into pieces at line feeds, with the vector filters and the plain
// one, each with the exact check, the automaton, or the automaton taking
// over part way.
//
// Input: byte 0 chooses the filter, the check and how the text is cut
// (whole, or after every first to fourth line feed), byte 1 the number of
// names (0-40); that
// many line-feed-ended pieces follow as the names (empty ones dropped), and
// the rest, line feeds included, is the text. Each piece of text is copied
// to a buffer of its exact size, so a load past its end is caught by the
// address sanitizer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_reader.h"
#include "selection/name_matcher.h"

namespace {

constexpr std::size_t kMaxNames = 40;

bool before(const orbitpick::NameMatch& a, const orbitpick::NameMatch& b) {
  return a.offset != b.offset ? a.offset < b.offset : a.name < b.name;
}

// Every line's first occurrence of every name in it, by offset in "text".
std::vector<orbitpick::NameMatch> reference_matches(
    const std::vector<std::string>& names, std::string_view text) {
  std::vector<orbitpick::NameMatch> expected;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(begin, end - begin);
    for (std::uint32_t i = 0; i < names.size(); ++i) {
      const std::size_t at = line.find(names[i]);
      if (at != std::string_view::npos) {
        expected.push_back({static_cast<std::uint32_t>(begin + at), i});
      }
    }
    begin = end + 1;
  }
  std::sort(expected.begin(), expected.end(), before);
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size < 2) return 0;
  const bool want_simd = (data[0] & 1) != 0;
  const int lines_per_piece = (data[0] >> 1) % 5;  // 0: the whole text
  const int check = (data[0] >> 1) / 5 % 3;        // exact, automaton, switch
  const bool want_vbmi = (data[0] >> 1) / 15 % 2 == 0;
  const std::size_t want_names = data[1] % (kMaxNames + 1);
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);

  std::vector<std::string> names;
  for (std::size_t i = 0; i < want_names; ++i) {
    const std::size_t nl = rest.find('\n');
    if (nl == std::string_view::npos) break;
    if (nl > 0) names.emplace_back(rest.substr(0, nl));
    rest.remove_prefix(nl + 1);
  }
  const std::string_view text = rest;

  // Pieces end just after a line feed (but the last): a line is never
  // split between two calls.
  std::vector<std::size_t> cuts = {0};
  if (lines_per_piece > 0) {
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && ++seen % lines_per_piece == 0) {
        cuts.push_back(i + 1);
      }
    }
  }
  if (cuts.back() != text.size()) cuts.push_back(text.size());

  MatcherOptions options;
  options.allow_avx2 = want_simd;
  options.allow_vbmi = want_simd && want_vbmi;
  options.always_automaton = check == 1;
  // A budget this small runs out after a few positions, often mid-line.
  if (check == 2) options.work_slack = 8;
  const NameMatcher m = build_name_matcher(names, options);
  const std::vector<NameMatch> expected = reference_matches(names, text);

  // Twice through with one state, as if the same bytes came again: the
  // second pass must find everything anew.
  MatchState state;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<NameMatch> all;
    std::int64_t lines = 0;
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
      const std::size_t n = cuts[c + 1] - cuts[c];
      std::unique_ptr<char[]> copy(new char[n]);
      text.copy(copy.get(), n, cuts[c]);
      // Appended to, never cleared: the entry already there stays first.
      std::vector<NameMatch> matches = {{7, 7}};
      lines += find_names(m, std::string_view(copy.get(), n), &state, &matches);
      fuzz::check(matches[0].offset == 7 && matches[0].name == 7);
      for (std::size_t i = 1; i < matches.size(); ++i) {
        fuzz::check(i == 1 || matches[i - 1].offset <= matches[i].offset);
        // line_start is where the match's line begins.
        const std::string_view piece(copy.get(), n);
        const std::size_t start = matches[i].line_start;
        fuzz::check(start <= matches[i].offset &&
                    (start == 0 || piece[start - 1] == '\n') &&
                    piece.substr(start, matches[i].offset - start).find('\n') ==
                        std::string_view::npos);
        all.push_back({static_cast<std::uint32_t>(cuts[c] + matches[i].offset),
                       matches[i].name});
      }
    }
    fuzz::check(lines == std::count(text.begin(), text.end(), '\n'));
    std::sort(all.begin(), all.end(), before);
    fuzz::check(all.size() == expected.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
      fuzz::check(all[i].offset == expected[i].offset &&
                  all[i].name == expected[i].name);
    }
  }

  return 0;
}
