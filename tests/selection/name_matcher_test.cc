// The one-pass name matcher against the plain search it replaces: a
// substring find of every name in every line.

#include "selection/name_matcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "conversion/catalogue.h"
#include "test_util.h"

namespace orbitpick {
namespace {

// The instruction sets a test can ask the matcher to filter with, each with
// the three exact checks: the bit table and slots, the automaton from the
// start, or the automaton taking over after a few positions. A processor
// without one skips its tests, with the reason, rather than quietly
// testing the plain filter again.
enum class Isa { kVbmi, kAvx2, kPlain };
enum class Check { kExact, kAutomaton, kSwitch };
constexpr Check kChecks[] = {Check::kExact, Check::kAutomaton, Check::kSwitch};

const char* isa_name(Isa isa) {
  switch (isa) {
    case Isa::kVbmi:
      return "vbmi";
    case Isa::kAvx2:
      return "avx2";
    case Isa::kPlain:
      break;
  }
  return "plain";
}

// For test names and failure messages.
void PrintTo(Isa isa, std::ostream* os) { *os << isa_name(isa); }

MatcherOptions options_for(Isa isa, Check check) {
  MatcherOptions options;
  options.allow_vbmi = isa == Isa::kVbmi;
  options.allow_avx2 = isa == Isa::kAvx2;
  options.always_automaton = check == Check::kAutomaton;
  if (check == Check::kSwitch) options.work_slack = 0;
  return options;
}

// The filters each instruction set runs: AVX2 has one for few names.
bool runs_isa(MatcherFilter filter, Isa isa) {
  switch (isa) {
    case Isa::kVbmi:
      return filter == MatcherFilter::kVbmiBytes;
    case Isa::kAvx2:
      return filter == MatcherFilter::kAvx2Nibbles ||
             filter == MatcherFilter::kAvx2Pairs;
    case Isa::kPlain:
      break;
  }
  return filter == MatcherFilter::kPlain;
}

class NameMatcherFilters : public ::testing::TestWithParam<Isa> {
 protected:
  void SetUp() override {
    const MatcherFilter needs =
        GetParam() == Isa::kVbmi   ? MatcherFilter::kVbmiBytes
        : GetParam() == Isa::kAvx2 ? MatcherFilter::kAvx2Nibbles
                                   : MatcherFilter::kPlain;
    if (!filter_runs_here(needs)) {
      GTEST_SKIP() << "the " << filter_name(needs)
                   << " filter does not run here: "
                   << (needs == MatcherFilter::kVbmiBytes
                           ? "no AVX-512 BW and VBMI"
                           : "no AVX2")
                   << " on this processor, or not an x86 build";
    }
  }

  // The matcher for "names" with this test's filter and "check"; fails the
  // test if another filter would run.
  NameMatcher build(const std::vector<std::string>& names, Check check) {
    NameMatcher m = build_name_matcher(names, options_for(GetParam(), check));
    EXPECT_TRUE(runs_isa(m.filter(), GetParam())) << filter_name(m.filter());
    RecordProperty("filter", filter_name(m.filter()));
    return m;
  }
};

INSTANTIATE_TEST_SUITE_P(Isas, NameMatcherFilters,
                         ::testing::Values(Isa::kVbmi, Isa::kAvx2, Isa::kPlain),
                         [](const ::testing::TestParamInfo<Isa>& info) {
                           return std::string(isa_name(info.param));
                         });

std::vector<std::uint32_t> naive_hits(const std::vector<std::string>& names,
                                      std::string_view line) {
  std::vector<std::uint32_t> hits;
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    if (line.find(names[i]) != std::string_view::npos) hits.push_back(i);
  }
  return hits;
}

std::vector<std::uint32_t> fast_hits(const NameMatcher& m,
                                     std::string_view line) {
  // Each name once, in list order, however often "line" holds it.
  std::vector<NameMatch> matches;
  MatchState state;
  find_names(m, line, &state, &matches);
  std::vector<std::uint32_t> hits;
  for (const NameMatch& match : matches) hits.push_back(match.name);
  std::sort(hits.begin(), hits.end());
  hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
  return hits;
}

// The whole catalogue through the plain search: every line after the header,
// every name in list order.
std::string naive_scan(const std::string& catalogue,
                       const std::vector<std::string>& names) {
  std::string out;
  std::size_t pos = 0;
  for (int line_no = 1; pos < catalogue.size(); ++line_no) {
    std::size_t end = catalogue.find('\n', pos);
    if (end == std::string::npos) end = catalogue.size();
    const std::string_view line(catalogue.data() + pos, end - pos);
    pos = end + 1;
    if (line_no <= kHeaderLines) continue;
    Error skip;
    for (const std::string& name : names) {
      if (line.find(name) != std::string_view::npos &&
          check_section_line(line, &skip)) {
        write_section(line, &out);
      }
    }
  }
  return out;
}

// With "threads" > 0, the catalogue lies in memory and is searched on that
// many threads in pieces of about "step" bytes; else it is read in blocks
// of "buffer_bytes", "step" bytes at a time.
std::string fast_scan(const std::string& catalogue, const NameMatcher& m,
                      std::size_t buffer_bytes, std::size_t step,
                      int threads = 0) {
  test::ScriptedReader stream(catalogue, step);
  test::InMemoryReader in_memory(catalogue);
  Reader& reader = threads > 0 ? static_cast<Reader&>(in_memory) : stream;
  std::string out;
  ScanOptions options;
  options.threads = threads;
  options.piece_bytes = step;
  options.buffer_bytes = buffer_bytes;
  options.flush_bytes = 1000;
  options.warn = [](const std::string&) {};
  options.write = [&](std::string_view block, Error*) {
    out.append(block);
    return true;
  };
  std::int64_t lines = 0;
  Error err;
  // A catalogue without an orbit line fails the scan, and gives no section
  // either way.
  scan_catalogue(&reader, m, options, &lines, &err);
  return out;
}

TEST_P(NameMatcherFilters, FindsOverlappingAndNestedNames) {
  const std::vector<std::string> names = {
      "Apollo", "Apollonia", "llo", "o", "onia", "2004 PC1", "2004 PC112"};
  for (const Check check : kChecks) {
    const NameMatcher m = build(names, check);
    EXPECT_EQ((std::vector<std::uint32_t>{0, 1, 2, 3, 4}),
              fast_hits(m, "   (358) Apollonia"));
    EXPECT_EQ((std::vector<std::uint32_t>{5, 6}), fast_hits(m, "2004 PC112"));
    EXPECT_EQ((std::vector<std::uint32_t>{5}), fast_hits(m, "x2004 PC11"));
    EXPECT_EQ(std::vector<std::uint32_t>{}, fast_hits(m, "2004 PC"));
  }
}

TEST_P(NameMatcherFilters, NamesAtTheEdgesOfTheText) {
  const std::vector<std::string> names = {"ab", "b", "xyz"};
  for (const Check check : kChecks) {
    const NameMatcher m = build(names, check);
    for (std::size_t pad = 0; pad < 70; ++pad) {
      const std::string tail = std::string(pad, '.') + "xyz";
      EXPECT_EQ(std::vector<std::uint32_t>{2}, fast_hits(m, tail)) << pad;
      const std::string head = "ab" + std::string(pad, '.');
      EXPECT_EQ((std::vector<std::uint32_t>{0, 1}), fast_hits(m, head)) << pad;
      // Positions to check up to the end: the vector sieve takes them eight
      // at a time, and those that would read past the end one at a time.
      const std::string run = std::string(pad, 'b') + "xyz";
      const std::vector<std::uint32_t> found =
          pad == 0 ? std::vector<std::uint32_t>{2}
                   : std::vector<std::uint32_t>{1, 2};
      EXPECT_EQ(found, fast_hits(m, run)) << pad;
    }
  }
}

TEST(NameMatcher, NoNamesMatchNothing) {
  const NameMatcher m = build_name_matcher({});
  EXPECT_TRUE(fast_hits(m, "Ceres").empty());
  const NameMatcher none;
  EXPECT_TRUE(none.names().empty());
  EXPECT_TRUE(fast_hits(none, "Ceres").empty());
}

// Random lines over a small alphabet, so that names overlap, contain each
// other and repeat, against random name lists: every line, every name.
TEST_P(NameMatcherFilters, AgreesWithSubstringSearchOnRandomLines) {
  std::mt19937 rng(20261207);
  const std::string alphabet = "aAb 0129.\r\t\"(-";
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> names(1 + rng() % 40);
    for (std::string& name : names) {
      name.resize(1 + rng() % (round % 3 == 0 ? 3 : 12));
      for (char& c : name) c = alphabet[rng() % alphabet.size()];
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const Check check : kChecks) {
      const NameMatcher m = build(names, check);
      for (int i = 0; i < 30; ++i) {
        std::string line(rng() % 250, ' ');
        for (char& c : line) c = alphabet[rng() % alphabet.size()];
        ASSERT_EQ(naive_hits(names, line), fast_hits(m, line))
            << "round " << round << " check " << static_cast<int>(check)
            << " line [" << line << "]";
      }
    }
  }
}

TEST_P(NameMatcherFilters, WholeScanAgreesWithPlainSearchOnRandomCatalogues) {
  std::mt19937 rng(7);
  const char* const pool[] = {
      "Ceres", "Ceresia", "eres", "Vesta", "Eros", "2004 PC112", "2004 PC1",
      "1",     "0.0",     "K25",  "e",     "(4)",  "12",         "Vesta Ceres"};
  for (int round = 0; round < 1000; ++round) {
    std::string catalogue = test::catalogue_header();
    const int lines = static_cast<int>(rng() % 60);
    for (int i = 0; i < lines; ++i) {
      switch (rng() % 6) {
        case 0:
          catalogue += std::string(rng() % 600, "Ce res\r"[rng() % 7]);
          break;
        case 1:
          catalogue += test::catalogue_line(rng() % 20, pool[rng() % 14]);
          catalogue.resize(catalogue.size() - rng() % 60);
          break;
        default:
          catalogue += test::catalogue_line(rng() % 200000, pool[rng() % 14],
                                            rng() % 9 ? "K2555" : "X2555");
      }
      if (i + 1 < lines || rng() % 2) catalogue += "\n";
    }
    std::vector<std::string> names;
    // Up to four names take the two-byte filter, more the six-byte one.
    for (int i = 0, n = 1 + rng() % 12; i < n; ++i) {
      names.push_back(pool[rng() % 14]);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const std::string expected = naive_scan(catalogue, names);
    for (const Check check : kChecks) {
      const NameMatcher m = build(names, check);
      const std::size_t buffer = 1 + rng() % 700;
      const std::size_t step = 1 + rng() % 1000;
      ASSERT_EQ(expected, fast_scan(catalogue, m, buffer, step))
          << "round " << round << " check " << static_cast<int>(check)
          << " buffer " << buffer;
      // The same in pieces, several threads searching at once.
      const int threads = 1 + static_cast<int>(rng() % 4);
      ASSERT_EQ(expected, fast_scan(catalogue, m, buffer, step, threads))
          << "round " << round << " check " << static_cast<int>(check)
          << " threads " << threads << " pieces of " << step;
    }
  }
}

// Lists that defeat the filter, each in one long text of many lines: the
// automaton takes over (at its first position here, since the budget is
// small) and finds what the plain search finds, once per line, in order.
TEST(NameMatcher, AutomatonTakesOverFromListsThatDefeatTheFilter) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    std::string line;
  };
  std::vector<std::string> shared_prefix;
  for (int i = 0; i < 300; ++i) {
    shared_prefix.push_back("MPCLINUX   0000 " + std::to_string(1000 + i));
  }
  shared_prefix.push_back("MPCLINUX   0000 1");
  std::vector<std::string> chain;  // "a", "aa", ..., and a near miss
  for (int i = 1; i <= 40; ++i) chain.push_back(std::string(i, 'a'));
  chain.push_back(std::string(60, 'a') + "b");
  const Case cases[] = {
      {"shared prefix", shared_prefix,
       "x MPCLINUX   0000 1042 MPCLINUX   0000 1299 MPCLINUX   0000 12"},
      {"near miss",
       {std::string(500, 'a') + "b", "ab"},
       std::string(3000, 'a') + "b" + std::string(700, 'a')},
      {"chain", chain, std::string(2000, 'a') + "b"},
      {"nested",
       {"Apollo", "Apollonia", "pollo", "o", "lonia"},
       "(358) Apollonia Apollo"},
  };
  for (const Case& c : cases) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += c.line + (i % 2 ? "\n" : " z\n");
    std::vector<NameMatch> expected;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find('\n', start);
      const std::string_view line(text.data() + start, end - start);
      for (std::uint32_t i = 0; i < c.names.size(); ++i) {
        const std::size_t at = line.find(c.names[i]);
        if (at == std::string_view::npos) continue;
        expected.push_back({static_cast<std::uint32_t>(start + at), i,
                            static_cast<std::uint32_t>(start)});
      }
      start = end + 1;
    }
    auto by_offset = [](const NameMatch& a, const NameMatch& b) {
      return a.offset != b.offset ? a.offset < b.offset : a.name < b.name;
    };
    std::stable_sort(expected.begin(), expected.end(), by_offset);
    MatcherOptions options;
    options.work_slack = 0;
    const NameMatcher m = build_name_matcher(c.names, options);
    MatchState state;
    std::vector<NameMatch> matches;
    EXPECT_EQ(20, find_names(m, text, &state, &matches)) << c.what;
    EXPECT_TRUE(state.automaton_took_over()) << c.what;
    // Names at one offset may come in any order.
    for (std::size_t i = 1; i < matches.size(); ++i) {
      EXPECT_LE(matches[i - 1].offset, matches[i].offset) << c.what;
    }
    std::stable_sort(matches.begin(), matches.end(), by_offset);
    ASSERT_EQ(expected.size(), matches.size()) << c.what;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      EXPECT_EQ(expected[i].offset, matches[i].offset) << c.what << " " << i;
      EXPECT_EQ(expected[i].name, matches[i].name) << c.what << " " << i;
      EXPECT_EQ(expected[i].line_start, matches[i].line_start) << c.what;
    }
  }
}

// The budget is far above what a list the filter works for costs: 10,000
// names against 5,000 catalogue lines that hold a quarter of them.
TEST(NameMatcher, OrdinaryListsKeepTheExactCheck) {
  std::mt19937 rng(14);
  std::vector<std::string> names;
  std::string text;
  for (int i = 0; i < 10000; ++i) {
    std::string name(1, static_cast<char>('A' + rng() % 26));
    for (int k = 0, n = 4 + rng() % 10; k < n; ++k) {
      name += static_cast<char>('a' + rng() % 26);
    }
    names.push_back(name);
    if (i % 2 == 0) text += test::catalogue_line(i + 1, name) + "\n";
  }
  const NameMatcher m = build_name_matcher(names);
  MatchState state;
  std::vector<NameMatch> matches;
  find_names(m, text, &state, &matches);
  EXPECT_LE(5000u, matches.size());
  EXPECT_FALSE(state.automaton_took_over());
  EXPECT_GT(text.size() / 4, state.check_work());
}

// Which filter runs, by the options and the list: the defaults give the
// widest this processor has, and AVX2 compares two rare bytes of each name
// for four names or fewer. Prints (and records) what runs here, since the
// tests of the others are skipped.
TEST(NameMatcher, RunsTheWidestFilterTheOptionsAllow) {
  std::string here;
  std::string not_here;
  for (const MatcherFilter filter :
       {MatcherFilter::kPlain, MatcherFilter::kAvx2Nibbles,
        MatcherFilter::kAvx2Pairs, MatcherFilter::kVbmiBytes}) {
    std::string& list = filter_runs_here(filter) ? here : not_here;
    list += (list.empty() ? "" : " ") + std::string(filter_name(filter));
  }
  std::cout << "[ filters  ] run here: " << here
            << "; not here: " << (not_here.empty() ? "none" : not_here)
            << std::endl;
  RecordProperty("filters_run_here", here);
  RecordProperty("filters_not_run_here", not_here);

  const bool vbmi = filter_runs_here(MatcherFilter::kVbmiBytes);
  const bool avx2 = filter_runs_here(MatcherFilter::kAvx2Nibbles);
  const MatcherFilter plain = MatcherFilter::kPlain;
  const MatcherFilter nibbles = avx2 ? MatcherFilter::kAvx2Nibbles : plain;
  const MatcherFilter pairs = avx2 ? MatcherFilter::kAvx2Pairs : plain;
  const MatcherFilter bytes = vbmi ? MatcherFilter::kVbmiBytes : plain;
  const std::vector<std::string> few = {"Ceres", "Vesta", "2004 PC112"};
  std::vector<std::string> many = few;
  for (int i = 0; i < 10; ++i) many.push_back("(" + std::to_string(i) + ")");
  const struct {
    bool allow_vbmi, allow_avx2;
    const std::vector<std::string>& names;
    MatcherFilter want;
  } cases[] = {
      {true, true, many, vbmi ? bytes : nibbles},
      {true, true, few, pairs},
      {false, true, many, nibbles},
      {false, true, few, pairs},
      {true, false, few, bytes},
      {false, false, many, plain},
  };
  for (const auto& c : cases) {
    MatcherOptions options;
    options.allow_vbmi = c.allow_vbmi;
    options.allow_avx2 = c.allow_avx2;
    EXPECT_EQ(
        filter_name(c.want),
        std::string(filter_name(build_name_matcher(c.names, options).filter())))
        << c.allow_vbmi << c.allow_avx2 << " " << c.names.size() << " names";
  }
}

}  // namespace
}  // namespace orbitpick
