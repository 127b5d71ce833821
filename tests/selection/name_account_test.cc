// The account of the listed names: the lines it tells, and in what words.

#include "selection/name_account.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orbitpick {
namespace {

struct Counted {
  std::uint32_t name;
  Source source;
  const char* designation;
};

std::vector<std::string> report(const TargetList& targets,
                                 const std::vector<Counted>& counted,
                                 const std::vector<Counted>& conflicts,
                                 bool exact, const std::string& comets = "") {
  NameAccount account;
  init_account(&account, targets.names.size());
  for (const Counted& c : counted) {
    count_line(&account, c.source, c.name, c.designation);
  }
  for (const Counted& c : conflicts) {
    note_conflict(&account, c.name, c.designation);
  }
  AccountReport r;
  r.list_path = "list.csv";
  r.targets = &targets;
  r.exact = exact;
  r.catalogue_path = "MPCORB.DAT";
  r.comets_path = comets;
  std::vector<std::string> lines;
  report_account(account, r, [&](const std::string& m) { lines.push_back(m); });
  return lines;
}

constexpr Source kCat = Source::kCatalogue;
constexpr Source kCom = Source::kComets;

TEST(ReportAccount, TellsEveryNameNotFoundOnceInListOrder) {
  // Names sorted as the reader leaves them; their lines say the list order.
  const TargetList targets = {
      {"  1566 Icarus (1949 MA)", "1 Eros", "C/2020 K8 (Catalina- ATLAS)",
       "Ceres", "Pan", "Zwicky"},
      {7, 3, 6, 2, 4, 5}};
  const std::vector<Counted> counted = {
      {4, kCat, "(4450) Pan"},  {4, kCat, "(15788) 1993 SB"},
      {4, kCom, "C/2099 Z9 (Pan)"}, {4, kCat, "(1) Pan-a"},
      {1, kCat, "(1) Ceres"},   {3, kCat, "(1) Ceres"}};
  const std::vector<Counted> conflicts = {{1, kCat, "(433) Eros"},
                                          {1, kCat, "(433) Eros again"}};
  struct Case {
    bool exact;
    std::string comets;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {false,
       "",
       {"orbitpick: list.csv:3: \"1 Eros\" names two objects: (1) Ceres by "
        "its number, (433) Eros by the rest; took the number",
        "orbitpick: list.csv:4: \"Pan\" is in 4 catalogue lines ((4450) Pan, "
        "(15788) 1993 SB, C/2099 Z9 (Pan), ...); --exact matches whole "
        "designations",
        "orbitpick: list.csv:5: \"Zwicky\" is in no catalogue line",
        "orbitpick: list.csv:6: \"C/2020 K8 (Catalina- ATLAS)\" is in no "
        "catalogue line",
        "orbitpick: list.csv:7: \"  1566 Icarus (1949 MA)\" is in no "
        "catalogue line"}},
      // Whole designations: how a spelling was read, and the counts.
      {true,
       "CometEls.txt",
       {"orbitpick: list.csv:3: \"1 Eros\" names two objects: (1) Ceres by "
        "its number, (433) Eros by the rest; took the number",
        "orbitpick: list.csv:4: \"Pan\" is in 4 catalogue lines, 3 in "
        "MPCORB.DAT and 1 in CometEls.txt ((4450) Pan, (15788) 1993 SB, "
        "C/2099 Z9 (Pan), ...)",
        "orbitpick: list.csv:5: \"Zwicky\" is in no line of MPCORB.DAT or "
        "CometEls.txt",
        "orbitpick: list.csv:6: \"C/2020 K8 (Catalina- ATLAS)\" is in no line "
        "of MPCORB.DAT or CometEls.txt, nor is \"C/2020 K8\"",
        "orbitpick: list.csv:7: \"  1566 Icarus (1949 MA)\" is in no line of "
        "MPCORB.DAT or CometEls.txt (read as number 1566 or as Icarus or as "
        "1949 MA)",
        "orbitpick: list.csv: 6 objects: 3 found, 3 in no line of MPCORB.DAT "
        "or CometEls.txt"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lines, report(targets, counted, conflicts, c.exact, c.comets));
  }
}

// Lines of several names counted in turn: each name quotes its own first
// designations in the order found, the first and the last name too.
TEST(ReportAccount, ExamplesStayWithTheirNameInTheOrderFound) {
  const TargetList targets = {{"A", "B", "C"}, {2, 3, 4}};
  const std::vector<Counted> counted = {
      {1, kCat, "b1"}, {0, kCat, "a1"}, {1, kCat, "b2"}, {2, kCat, "c1"},
      {0, kCat, "a2"}, {1, kCat, "b3"}, {0, kCat, "a3"}, {2, kCat, "c2"},
      {1, kCat, "b4"}};
  const std::vector<Counted> conflicts = {{2, kCat, "x"}};
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: list.csv:2: \"A\" is in 3 catalogue lines (a1, "
                "a2, a3)",
                "orbitpick: list.csv:3: \"B\" is in 4 catalogue lines (b1, "
                "b2, b3, ...)",
                "orbitpick: list.csv:4: \"C\" names two objects: c1 by its "
                "number, x by the rest; took the number",
                "orbitpick: list.csv:4: \"C\" is in 2 catalogue lines (c1, "
                "c2)",
                "orbitpick: list.csv: 3 objects: 3 found, 0 in no catalogue "
                "line"}),
            report(targets, counted, conflicts, true));
}

TEST(ReportAccount, CountsAreGroupedInThousands) {
  TargetList targets;
  for (int i = 0; i < 1473; ++i) {
    targets.names.push_back("T" + std::to_string(i));
    targets.first_lines.push_back(i + 2);
  }
  std::vector<Counted> counted;
  for (std::uint32_t i = 0; i < 1397; ++i) counted.push_back({i, kCat, ""});
  const std::vector<std::string> lines = report(targets, counted, {}, true);
  ASSERT_EQ(77u, lines.size());
  EXPECT_EQ("orbitpick: list.csv:1399: \"T1397\" is in no catalogue line",
            lines.front());
  EXPECT_EQ("orbitpick: list.csv: 1,473 objects: 1,397 found, 76 in no "
            "catalogue line",
            lines.back());
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: list.csv: 1 object: 1 found, 0 in no catalogue "
                "line"}),
            report({{"Ceres"}, {2}}, {{0, kCat, "(1) Ceres"}}, {}, true));
}

}  // namespace
}  // namespace orbitpick
