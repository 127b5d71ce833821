// Reading the command line: options, paths, "--" and what is ignored.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orbitpick {
namespace {

using Args = std::vector<std::string>;

TEST(ParseCommandLine, OptionsPathsAndTheirLimits) {
  struct Case {
    Args args;
    Command command;
    Args paths;  // list, catalogue, output when the command is kRun
    bool exact, merge;
    std::string base, comets;
    Args ignored;
  };
  const std::vector<Case> cases = {
      {{}, Command::kUsage, {}, false, false, "", "", {}},
      {{"a", "b"}, Command::kUsage, {}, false, false, "", "", {}},
      {{"--exact", "a", "b"}, Command::kUsage, {}, true, false, "", "", {}},
      {{"a", "b", "c"}, Command::kRun, {"a", "b", "c"}, false, false, "", "", {}},
      {{"--exact", "a", "-", "c"}, Command::kRun, {"a", "-", "c"}, true, false,
       "", "", {}},
      // Options may stand between the paths; what follows the third is
      // ignored (an option there is an error).
      {{"a", "--exact", "b", "c", "merge"}, Command::kRun, {"a", "b", "c"},
       true, false, "", "", {"merge"}},
      {{"--", "-a", "--exact", "c"}, Command::kRun, {"-a", "--exact", "c"},
       false, false, "", "", {}},
      {{"--base", "stock.ini", "a", "b", "c"}, Command::kRun, {"a", "b", "c"},
       false, true, "stock.ini", "", {}},
      {{"--comets=CometEls.txt", "--merge", "a", "b", "c", "d", "e"},
       Command::kRun, {"a", "b", "c"}, false, true, "", "CometEls.txt",
       {"d", "e"}},
      {{"--exact", "--help", "--bogus"}, Command::kHelp, {}, true, false, "",
       "", {}},
      {{"--version", "a", "b", "c"}, Command::kVersion, {}, false, false, "",
       "", {}},
      // The help of the old single-option form still counts first.
      {{"-h", "a", "b", "c"}, Command::kHelp, {}, false, false, "", "", {}},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    CommandLine line;
    Error err;
    ASSERT_TRUE(parse_command_line(c.args, &line, &err)) << err.what;
    EXPECT_EQ(c.command, line.command);
    if (c.command == Command::kRun) {
      EXPECT_EQ(c.paths, (Args{line.options.list_path,
                               line.options.catalogue_path,
                               line.options.output_path}));
    }
    EXPECT_EQ(c.exact, line.options.exact);
    EXPECT_EQ(c.merge, line.options.merge);
    EXPECT_EQ(c.base, line.options.base_path);
    EXPECT_EQ(c.comets, line.options.comets_path);
    EXPECT_EQ(c.ignored, line.ignored);
  }
}

TEST(ParseCommandLine, BadOptionsNameThemselves) {
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--exactly", "a", "b", "c"}, "unknown option --exactly"},
      {{"-x", "a", "b", "c"}, "unknown option -x"},
      {{"a", "b", "--base"}, "option --base needs a file"},
      {{"--comets=", "a", "b", "c"}, "option --comets needs a file"},
      {{"--list-format", "xls", "a", "b", "c"},
       "unknown list format xls (quoted, csv, text, json, edb or auto)"},
      {{"a", "b", "--list-format"}, "option --list-format needs a format"},
      {{"--column", "pdes", "--list-format", "text", "a", "b", "c"},
       "option --column needs --list-format csv or auto"},
      {{"--column", "pdes", "a", "b", "c"},
       "option --column needs --list-format csv or auto"},
  };
  for (const auto& [args, what] : cases) {
    CommandLine line;
    Error err;
    EXPECT_FALSE(parse_command_line(args, &line, &err)) << what;
    EXPECT_EQ(what, err.what);
  }
}

TEST(ParseCommandLine, EveryListLayoutButQuotedMatchesWholeDesignations) {
  const struct {
    Args options;
    ListFormat format;
    bool exact;
    const char* column;
  } cases[] = {
      {{}, ListFormat::kQuoted, false, ""},
      {{"--list-format=quoted"}, ListFormat::kQuoted, false, ""},
      {{"--list-format", "csv", "--column", "pdes"}, ListFormat::kCsv, true,
       "pdes"},
      {{"--list-format=text"}, ListFormat::kText, true, ""},
      {{"--list-format=json"}, ListFormat::kJson, true, ""},
      {{"--list-format=edb"}, ListFormat::kEdb, true, ""},
      {{"--column=3", "--list-format=auto"}, ListFormat::kAuto, true, "3"},
  };
  for (const auto& c : cases) {
    Args args = c.options;
    args.insert(args.end(), {"a", "b", "c"});
    CommandLine line;
    Error err;
    ASSERT_TRUE(parse_command_line(args, &line, &err)) << err.what;
    EXPECT_EQ(c.format, line.options.list.format);
    EXPECT_EQ(c.exact, line.options.exact);
    EXPECT_EQ(c.column, line.options.list.column);
  }
}

}  // namespace
}  // namespace orbitpick
