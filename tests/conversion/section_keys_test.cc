// The key table: every key a writer writes is in it, with the role that
// decides what a merge does with it.

#include "conversion/section_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "conversion/catalogue_section.h"
#include "conversion/comet.h"
#include "test_util.h"

namespace orbitpick {
namespace {

// Halley's line of CometEls.txt, as in comet_test.cc.
const char kHalley[] =
    "0001P         2061 08 10.6690  0.571790  0.967982  112.3617   59.4631  "
    "162.1654  20260213   5.5  3.2  1P/Halley                                "
    "                MPEC 2025-W75";

TEST(SectionKeys, EveryWrittenKeyIsInTheTable) {
  std::string sections;
  for (SectionFormat format :
       {SectionFormat::kDefault, SectionFormat::kExtended}) {
    write_section(test::catalogue_line(0, "2004 PC112"), &sections, format);
    write_section(test::catalogue_line(1, "Ceres"), &sections, format);
    write_comet_section(kHalley, &sections, format);
  }
  std::set<std::string_view> seen;  // and no row is left unused
  std::size_t at = 0;
  while ((at = sections.find(" = ", at)) != std::string::npos) {
    const std::size_t begin = sections.rfind('\n', at) + 1;
    const std::string line = sections.substr(begin, at + 3 - begin);
    const SectionKey* key = find_section_key(line.substr(0, line.find(' ')));
    ASSERT_NE(nullptr, key) << line;
    EXPECT_EQ(key->line_head, line);
    at += 3;
    seen.insert(key->name());
  }
  EXPECT_EQ(static_cast<std::size_t>(Key::kType) + 1, seen.size());
}

TEST(SectionKeys, MergeFillsInWhatABodyIsAndReplacesItsOrbit) {
  const struct {
    const char* name;
    bool only_filled;
  } cases[] = {
      {"name", true},
      {"type", true},
      {"coord_func", true},
      {"minor_planet_number", true},
      {"iau_designation", true},
      {"orbit_Epoch", false},
      {"absolute_magnitude", false},
      {"slope_parameter", false},
      {"orbit_epoch", false},  // keys match byte for byte
      {"tex_map", false},      // not ours: the merge's rule for any key
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.only_filled, merge_only_fills(c.name)) << c.name;
  }
}

}  // namespace
}  // namespace orbitpick
