// Which body a section is: the spellings of the planetarium's stock file.

#include "output/base_bodies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orbitpick {
namespace {

using Strings = std::vector<std::string>;

TEST(BaseBodies, DesignationInName) {
  const struct {
    const char* text;
    const char* designation;
  } cases[] = {
      {"2P/Encke", "2P"},
      {"6P/d'Arrest", "6P"},
      {"73P-B/Schwassmann-Wachmann", "73P-B"},
      {"1I/2017 U1 (`Oumuamua)", "1I"},
      {"2I/Borisov [C/2019 Q4 (Borisov)]", "2I"},
      {"C/1995 O1 (Hale-Bopp)", "C/1995 O1"},
      {"P/2013 CU129 (PANSTARRS)", "P/2013 CU129"},
      {"C/2025 K1-C", "C/2025 K1-C"},
      {"  2002 AA29 ", "2002 AA29"},
      {"2040 P-L", "2040 P-L"},
      // Names, not designations.
      {"Ceres", ""},
      {"P/Halley (1982i=1986III)", ""},
      {"Tesla Roadster (Starman)", ""},
      {"2P", "2P"},
      {"12PX/Foo", ""},
      {"2002 AA29 b", ""},
      {"C/199 O1", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.designation, designation_in_name(c.text)) << c.text;
  }
}

TEST(BaseBodies, SectionNamesArePercentDecoded) {
  EXPECT_EQ("c2013us10(catalina)", decode_section_name("c2013us10%28catalina%29"));
  EXPECT_EQ("6pd'arrest", decode_section_name("6pd%27arrest"));
  EXPECT_EQ("C_1995O1(Hale-Bopp)", decode_section_name("C_1995O1%28Hale-Bopp%29"));
  // A '%' without two hex digits stays.
  EXPECT_EQ("a%2", decode_section_name("a%2"));
  EXPECT_EQ("100%zz", decode_section_name("100%zz"));
}

// Section heads and keys of Stellarium 0.22's data/ssystem_minor.ini, as
// shipped (Debian package stellarium-data 0.22.2), with what each is
// looked up by in the catalogues.
TEST(BaseBodies, StockSpellings) {
  const struct {
    const char* ini;
    Strings lookups;
  } cases[] = {
      {"[c2013us10%28catalina%29]\nname=C/2013 US10 (Catalina)\n",
       {"c2013us10(catalina)", "C/2013 US10"}},
      {"[6pd%27arrest]\nname=6P/d'Arrest\ncoord_func=comet_orbit\n",
       {"6pd'arrest", "6P"}},
      {"[C_1995O1%28Hale-Bopp%29]\nname=C/1995 O1 (Hale-Bopp)\n",
       {"C_1995O1(Hale-Bopp)", "C/1995 O1"}},
      {"[4692192016hq3]\nminor_planet_number=469219\nname=2016 HO3\n",
       {"4692192016hq3", "469219", "2016 HO3"}},
      {"[101955bennu]\ntype = asteroid\nminor_planet_number = 101955\n"
       "name = Bennu\n",
       {"101955bennu", "101955"}},
      {"[TeslaRoadster]\ntype                        = artificial\n"
       "name                        = Tesla Roadster (Starman)\n",
       {"TeslaRoadster"}},
      // orbitpick's own sections, and an iau_designation.
      {"[1ceres]\nminor_planet_number            = 00001\nname = Ceres\n",
       {"1ceres", "00001"}},
      {"[x]\niau_designation = (433) Eros\n",
       {"x", "433"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    const std::vector<BaseBody> bodies = read_base_bodies(c.ini);
    ASSERT_EQ(1u, bodies.size());
    EXPECT_EQ(c.lookups, bodies[0].lookups);
  }
  // The identities the merge compares, from the same keys.
  EXPECT_EQ((Strings{"s:c2013us10catalina", "d:c2013us10"}),
            section_identities({"c2013us10%28catalina%29", "", "",
                                "C/2013 US10 (Catalina)"}));
  EXPECT_EQ((Strings{"s:4692192016hq3", "n:469219", "d:2016ho3"}),
            section_identities({"4692192016hq3", "469219", "", "2016 HO3"}));
  EXPECT_EQ((Strings{"s:x", "n:433"}),
            section_identities({"x", "", "(433) Eros", ""}));
}

TEST(BaseBodies, EverySectionInOrderTwiceWhenNamedTwice) {
  const std::string ini =
      "\xEF\xBB\xBF; comment\n[67pchuryumovgerasimenko]\r\n"
      "name=67P/Churyumov-Gerasimenko\r\n[2pencke]\rname=\r"
      "name=2P/Encke\r[67pchuryumovgerasimenko]\n";
  const std::vector<BaseBody> bodies = read_base_bodies(ini);
  ASSERT_EQ(3u, bodies.size());
  EXPECT_EQ((Strings{"67pchuryumovgerasimenko", "67P"}), bodies[0].lookups);
  // An empty value is no value: the next one names the body.
  EXPECT_EQ((Strings{"2pencke", "2P"}), bodies[1].lookups);
  EXPECT_EQ((Strings{"67pchuryumovgerasimenko"}), bodies[2].lookups);
}

}  // namespace
}  // namespace orbitpick
