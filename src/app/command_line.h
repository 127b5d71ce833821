// The command line: options, the three paths, help and usage texts.
//
//   orbitpick [OPTIONS] LIST.csv CATALOGUE OUTPUT.ini
//   orbitpick --refresh --merge [OPTIONS] CATALOGUE OUTPUT.ini
//
// Options may stand anywhere before the third path; "--" ends them, so a
// path may start with "-". A lone "-" is a path (standard input as the
// catalogue). Arguments after the third path are ignored, with a warning,
// unless they look like options ("-h", "--word"): those are an error.

#ifndef ORBITPICK_APP_COMMAND_LINE_H_
#define ORBITPICK_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "input/list_format.h"

namespace orbitpick {

/// What one run is asked to do.
struct RunOptions {
  std::string list_path;     // empty: no list (--refresh with two paths)
  std::string catalogue_path;
  std::string output_path;
  bool exact = false;        // --exact: whole designations, not substrings
  bool extended = false;     // --extended: the keys newer planetaria read
  bool merge = false;        // --merge or --base: update, do not replace
  std::string base_path;     // --base FILE: merge into FILE's content
  std::string comets_path;   // --comets FILE: the comet catalogue too
  bool refresh = false;      // --refresh: also update the base's own bodies
  // --list-format and --column: how the list is read. Any layout but the
  // default one implies --exact.
  ListOptions list;
};

enum class Command {
  kRun,      // options holds the run
  kHelp,     // -h, --help
  kVersion,  // --version
  kUsage,    // too few paths: the missing-parameters text
};

struct CommandLine {
  Command command = Command::kUsage;
  RunOptions options;
  std::vector<std::string> ignored;  // arguments after the third path
};

/// Reads the arguments (without the program name). Fails on an unknown
/// option, an option without its value, an option with a file given twice
/// and an option after the three paths; the reason names the option.
bool parse_command_line(const std::vector<std::string>& args,
                        CommandLine* line, Error* err);

/// The text of --help, each line ended by a line feed.
const char* help_text();

}  // namespace orbitpick

#endif  // ORBITPICK_APP_COMMAND_LINE_H_
