// The target list from the CSV export.

#include "input/target_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace orbitpick {
namespace {

using Names = std::vector<std::string>;

struct ListRead {
  Names names;
  std::vector<std::int64_t> first_lines;
  std::vector<std::string> warnings;
};

ListRead read_list(const std::string& csv, std::size_t buffer_bytes = 1 << 16) {
  test::ScriptedReader reader(csv, 7);
  LineBuffer lines;
  init_line_buffer(&lines, &reader, buffer_bytes);
  ListRead result;
  Error err;
  EXPECT_TRUE(read_target_list(
      &lines, "list.csv",
      [&](const std::string& w) { result.warnings.push_back(w); },
      &result.names, &result.first_lines, &err));
  return result;
}

TEST(Trim, RemovesOnlyBlanksAtBothEnds) {
  EXPECT_EQ("Ceres", trim(" \t\r\nCeres\n\r\t "));
  EXPECT_EQ("van Gogh", trim("  van Gogh "));
  EXPECT_EQ("", trim(" \t\r\n"));
  EXPECT_EQ("", trim(""));
  EXPECT_EQ("\vCeres\f", trim("\vCeres\f"));
}

TEST(Remove, KeepsFirstOfEachValueInOrder) {
  Names list = {"b", "a", "b", "c", "a", "", "", "b"};
  remove(list);
  EXPECT_EQ((Names{"b", "a", "c", ""}), list);
  Names empty;
  remove(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(Remove, SortedListKeepsEachValueOnce) {
  Names list = {"", "A", "A", "B", "a", "a", "a", "b"};
  remove(list);
  EXPECT_EQ((Names{"", "A", "B", "a", "b"}), list);
}

TEST(Remove, ManyDuplicates) {
  Names list;
  for (int i = 0; i < 200000; ++i) list.push_back(std::to_string(i % 1000));
  remove(list);
  ASSERT_EQ(1000u, list.size());
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(std::to_string(i), list[i]);
}

TEST(ParseListLine, FirstFieldShapes) {
  const struct {
    const char* line;
    bool ok;
    const char* name;
    bool warns;
  } cases[] = {
      {"\"Ceres\",\"Asteroid\",7.1", true, "Ceres", false},
      {"\" \tCeres \t\",1", true, "Ceres", false},
      {"\"2004 PC112\"", true, "2004 PC112", false},
      {"\"Ceres", true, "Ceres", false},        // no closing quote
      {"\"Ceres\r", true, "Ceres", false},      // nor before the CR
      {"  \t\"Ceres\"", true, "Ceres", false},  // blanks before the quote
      {"\"van \"Gogh\"", true, "van", false},   // up to the next quote
      {"no quote at all", false, "", false},
      {"", false, "", false},
      {"\"\",1", false, "", true},  // empty name
      {"\"  \"", false, "", true},
      {" \"", false, "", true},
      {"ab\"Ceres\"", false, "", true},  // quote not first
      {"Ceres,\"Asteroid\"", false, "", true},
      {"\r\"Ceres\"", false, "", true},  // CR is not a blank here
  };
  for (const auto& c : cases) {
    std::string name = "unchanged";
    Error reason;
    const bool parsed = parse_list_line(c.line, &name, &reason);
    EXPECT_EQ(c.ok, parsed && !name.empty()) << c.line;
    if (c.ok) {
      EXPECT_EQ(c.name, name) << c.line;
    }
    EXPECT_EQ(c.warns, !parsed) << c.line;
    EXPECT_EQ(c.warns, !reason.what.empty()) << c.line;
  }
}

TEST(ReadTargetList, HeaderIsSkippedEvenWithAName) {
  EXPECT_EQ(Names{}, read_list("\"Ceres\"\n").names);
  EXPECT_EQ(Names{}, read_list("").names);
  EXPECT_EQ(Names{"Vesta"}, read_list("\"Ceres\"\n\"Vesta\"").names);
}

TEST(ReadTargetList, SortedByteWiseWithoutDuplicates) {
  const ListRead r = read_list(
      "Name\r\n\"eros\"\r\n\"Vesta\"\r\n\"Eros\"\r\n\"Vesta\"\r\n"
      "\"\xC3\x89ros\"\r\n\"Ceres\"\r\n\"Ceres \"\r\n");
  EXPECT_EQ((Names{"Ceres", "Eros", "Vesta", "eros", "\xC3\x89ros"}), r.names);
  // Where each name first stands, for the account of the names.
  EXPECT_EQ((std::vector<std::int64_t>{7, 4, 3, 2, 6}), r.first_lines);
  EXPECT_TRUE(r.warnings.empty());
}

TEST(ReadTargetList, WarningsNameFileAndLine) {
  const ListRead r =
      read_list("header\n\"\"\nplain line\n x\"Ceres\"\n\"Vesta\"\n");
  EXPECT_EQ(Names{"Vesta"}, r.names);
  EXPECT_EQ((std::vector<std::string>{
                "orbitpick: list.csv:2: no object name in first field; "
                "line skipped",
                "orbitpick: list.csv:4: first field does not start with a "
                "double quote; line skipped"}),
            r.warnings);
}

TEST(ReadTargetList, LinesLongerThanTheBuffer) {
  const std::string long_name(5000, 'x');
  const ListRead r =
      read_list("h\n\"" + long_name + "\"\n\"Ceres\"\n", /*buffer_bytes=*/16);
  EXPECT_EQ((Names{"Ceres", long_name}), r.names);
}

TEST(ReadTargetList, ReadErrorIsReported) {
  struct FailingReader : Reader {
    bool read(char*, std::size_t, std::size_t*, Error* err) override {
      return fail(err, "Input/output error");
    }
  } reader;
  LineBuffer lines;
  init_line_buffer(&lines, &reader);
  Names names;
  Error err;
  EXPECT_FALSE(read_target_list(&lines, "x", nullptr, &names, nullptr, &err));
  EXPECT_EQ("Input/output error", err.what);
  EXPECT_EQ("x", err.path);
}

}  // namespace
}  // namespace orbitpick
