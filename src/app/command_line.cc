// The command line: options, the three paths, help and usage texts.

#include "app/command_line.h"

#include <cstddef>

namespace orbitpick {
namespace {

bool starts_with(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// What the user meant as an option, even where it would be ignored: "-h",
// or any "--word".
bool looks_like_option(const std::string& arg) {
  return arg == "-h" || (arg.size() > 2 && starts_with(arg, "--"));
}

// "--name VALUE" or "--name=VALUE": sets *value and advances *i past it.
// False when "arg" is not this option; fails when the value is missing or
// was given before (the one to be used would be a guess).
bool take_value(const std::vector<std::string>& args, std::size_t* i,
                const char* name, std::string* value, bool* matched,
                Error* err, const char* needs = "a file") {
  const std::string& arg = args[*i];
  const std::string with_equals = std::string(name) + "=";
  *matched = false;
  if (!(starts_with(arg, with_equals.c_str()) || arg == name)) return true;
  if (!value->empty()) {
    return fail(err, "option " + std::string(name) + " given twice");
  }
  if (starts_with(arg, with_equals.c_str())) {
    *matched = true;
    *value = arg.substr(with_equals.size());
  } else if (arg == name) {
    *matched = true;
    if (*i + 1 >= args.size()) {
      return fail(err, "option " + arg + " needs " + needs);
    }
    *value = args[++*i];
  } else {
    return true;
  }
  if (value->empty()) {
    return fail(err, "option " + std::string(name) + " needs " + needs);
  }
  return true;
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& args,
                        CommandLine* line, Error* err) {
  *line = CommandLine();
  RunOptions& o = line->options;
  std::vector<std::string> paths;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (paths.size() == 3) {
      // An option there would be dropped, and with it what it protects
      // (--merge keeping the planetarium's own bodies).
      if (looks_like_option(arg)) {
        return fail(err, "option " + arg +
                             " after the three paths; options go before "
                             "them");
      }
      line->ignored.push_back(arg);
      continue;
    }
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      line->command = Command::kHelp;
      return true;
    } else if (arg == "--version") {
      line->command = Command::kVersion;
      return true;
    } else if (arg == "--exact") {
      o.exact = true;
    } else if (arg == "--extended") {
      o.extended = true;
    } else if (arg == "--merge") {
      o.merge = true;
    } else if (arg == "--refresh") {
      o.refresh = true;
    } else {
      bool matched = false;
      if (!take_value(args, &i, "--base", &o.base_path, &matched, err)) {
        return false;
      }
      if (matched) {
        o.merge = true;
        continue;
      }
      if (!take_value(args, &i, "--comets", &o.comets_path, &matched, err)) {
        return false;
      }
      if (matched) continue;
      std::string format;
      if (!take_value(args, &i, "--list-format", &format, &matched, err,
                      "a format")) {
        return false;
      }
      if (matched) {
        if (!parse_list_format(format, &o.list.format)) {
          return fail(err, "unknown list format " + format +
                               " (quoted, csv, text, json, edb or auto)");
        }
        continue;
      }
      if (!take_value(args, &i, "--column", &o.list.column, &matched, err,
                      "a column")) {
        return false;
      }
      if (matched) continue;
      return fail(err, "unknown option " + arg);
    }
  }
  const ListFormat format = o.list.format;
  if (!o.list.column.empty() && format != ListFormat::kCsv &&
      format != ListFormat::kAuto) {
    return fail(err, "option --column needs --list-format csv or auto");
  }
  // Lists from other programs spell designations whole; a substring of
  // "1566 Icarus (1949 MA)" is in no catalogue line.
  if (format != ListFormat::kQuoted) o.exact = true;
  if (o.refresh && !o.merge) {
    return fail(err, "option --refresh needs --merge or --base");
  }
  // With --refresh the list may be left out: CATALOGUE OUTPUT.ini.
  const bool without_list = o.refresh && paths.size() == 2;
  if (paths.size() < 3 && !without_list) {
    line->command = Command::kUsage;
    return true;
  }
  if (!without_list) o.list_path = paths[0];
  o.catalogue_path = paths[paths.size() - 2];
  o.output_path = paths[paths.size() - 1];
  if (o.catalogue_path == "-" && o.comets_path == "-") {
    return fail(err, "- (standard input) given as both the catalogue and "
                     "the --comets file");
  }
  line->command = Command::kRun;
  return true;
}

const char* help_text() {
  return
      "Usage: orbitpick [OPTIONS] LIST.csv CATALOGUE OUTPUT.ini\n"
      "\n"
      "Writes the orbits of the objects named in an observing list, taken from\n"
      "the Minor Planet Center's MPCORB.DAT, as sections of a planetarium's\n"
      "minor-body INI file (Stellarium's ssystem_minor.ini).\n"
      "\n"
      "  LIST.csv     a header line, then one object per line whose first field\n"
      "               is its name in double quotes\n"
      "  CATALOGUE    MPCORB.DAT, plain or gzip-compressed (also NEA.txt and the\n"
      "               other MPC extracts without a header); - reads standard input\n"
      "  OUTPUT.ini   the INI file to write; replaced whole, or not at all\n"
      "\n"
      "Options:\n"
      "  --exact        match whole designations, not substrings: \"Pan\" selects\n"
      "                 (4450) Pan only; \"1\", \"(1)\", \"Ceres\", \"1 Ceres\", \"00001\"\n"
      "                 and \"1ceres\" all select (1) Ceres\n"
      "  --extended     write the keys newer planetaria read: slope_parameter,\n"
      "                 iau_designation, dwarf planet and TNO types; no empty keys\n"
      "  --merge        update OUTPUT.ini instead of replacing it: sections of\n"
      "                 other bodies and keys orbitpick does not write are kept\n"
      "  --base FILE    like --merge, but start from FILE (only read)\n"
      "  --refresh      with --merge or --base: also update every body of the\n"
      "                 file that the catalogues hold (by number or designation),\n"
      "                 unless the file's orbit is newer; LIST.csv may then be\n"
      "                 left out\n"
      "  --comets FILE  also look the names up in the comet catalogue FILE\n"
      "                 (CometEls.txt, plain or gzip; - for standard input)\n"
      "  --list-format FORMAT\n"
      "                 how LIST is laid out; any but quoted implies --exact:\n"
      "                   quoted  a header, then each name first on its line in\n"
      "                           double quotes (the default)\n"
      "                   csv     CSV with a header (JPL Small-Body Database,\n"
      "                           spreadsheets): , ; or tab, quotes optional\n"
      "                   text    one object a line, the designation it starts\n"
      "                           with; blank lines and # comments skipped\n"
      "                   json    Stellarium's observing list (.sol): its minor\n"
      "                           planets and comets\n"
      "                   edb     XEphem: the first field of each line\n"
      "                   auto    told from the content, and named on stderr\n"
      "  --column NAME|N  the CSV column of the designations, by header (case\n"
      "                 ignored) or number from 1; default: full_name,\n"
      "                 designation, pdes, ..., name, else the first column\n"
      "  -h, --help     print this help and exit\n"
      "  --version      print the version and exit\n"
      "  --             end of options\n"
      "\n"
      "After the run, every listed name that is in no catalogue line, or in more\n"
      "than one, is named on standard error with its line in the list.\n"
      "\n"
      "Exit status:\n"
      "  0  the INI file was written (also when lines were skipped with a warning)\n"
      "  1  an input could not be read or held nothing to convert, or the output\n"
      "     could not be written; the output file is left as it was\n"
      "  2  wrong command line: fewer than three paths, an unknown option, an\n"
      "     option after the three paths, or an option with a file given twice\n";
}

}  // namespace orbitpick
