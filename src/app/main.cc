// orbitpick: writes the orbits of the objects on an observing list, taken
// from the Minor Planet Center's MPCORB.DAT, as sections of a planetarium's
// minor-body INI file.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "conversion/catalogue.h"
#include "conversion/comet.h"
#include "app/command_line.h"
#include "base/diagnostics.h"
#include "output/ini_merge.h"
#include "input/input_file.h"
#include "selection/name_matcher.h"
#include "output/output_file.h"
#include "base/process.h"
#include "base/text.h"
#include "input/target_list.h"

#ifndef ORBITPICK_VERSION
#define ORBITPICK_VERSION "0"
#endif

namespace orbitpick {
namespace {

enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

// Console lines are flushed one by one so that the report keeps pace with
// the run, whatever stdout is connected to.
void say(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void print_closing_lines() {
  say("");
  say(" orbitpick " ORBITPICK_VERSION
      " - observing list + MPCORB.DAT -> minor-body INI");
}

void print_usage() {
  say("");
  say(" missing parameters or missing all parameters");
  say(" <file In (*.csv)> <file In (*.dat)> <file Out (*.ini)>");
  say(" example: orbitpick ZorloExport.csv MPCORB.DAT ssystem_minor.ini");
  print_closing_lines();
}

// Escaped again (which changes nothing in a message already made by
// format_error), for the lines put together here from the paths.
void print_warning(const std::string& message) {
  std::fprintf(stderr, "%s\n", escape_controls(message).c_str());
  std::fflush(stderr);
}

// "orbitpick: out.ini: merged: 2 sections updated, 3 added, 106 kept".
std::string merge_report(const std::string& output, const std::string& base,
                         const MergeCounts& counts) {
  std::string line = "orbitpick: " + output + ": merged";
  if (!base.empty()) line += " with " + base;
  line += ": " + std::to_string(counts.updated) +
          (counts.updated == 1 ? " section" : " sections") + " updated, " +
          std::to_string(counts.added) + " added, " +
          std::to_string(counts.kept) + " kept";
  return line;
}

int fail_run(const Error& err) {
  print_warning(format_error(err));
  return kExitFailure;
}

// The run, writing through *output; *reading names the input being read,
// for an error that no function returns (running out of memory).
int run_with(const RunOptions& run_options, OutputFile* output,
             const std::string** reading) {
  const std::string& csv_path = run_options.list_path;
  const std::string& catalogue_path = run_options.catalogue_path;
  const std::string& ini_path = run_options.output_path;
  OutputFile& ini = *output;
  Error err;
  std::unique_ptr<Reader> csv;
  if (!open_input_file(csv_path, &csv, &err)) return fail_run(err);
  std::unique_ptr<Reader> catalogue;
  *reading = &catalogue_path;
  if (!open_catalogue(catalogue_path, &catalogue, &err)) return fail_run(err);
  const std::string& comets_path = run_options.comets_path;
  std::unique_ptr<Reader> comets;
  *reading = &comets_path;
  if (!comets_path.empty() && !open_catalogue(comets_path, &comets, &err)) {
    return fail_run(err);
  }
  for (const std::string* input : {&csv_path, &catalogue_path, &comets_path}) {
    if (input->empty()) continue;
    // Compared with what was opened: a list named "-" is the file of that
    // name, and only the catalogues read standard input for it.
    const bool standard_input = *input == "-" && input != &csv_path;
    const bool apart = standard_input
                           ? check_output_is_not_standard_input(ini_path, &err)
                           : check_output_is_not_input(ini_path, *input, &err);
    if (!apart) return fail_run(err);
  }
  // The base is read whole before anything is written, so that a bad one
  // stops the run before it starts, and so that it may be OUTPUT itself.
  std::string base;
  const bool merge_into_output = run_options.base_path.empty();
  const std::string& base_path =
      merge_into_output ? ini_path : run_options.base_path;
  *reading = &base_path;
  if (run_options.merge &&
      !read_ini_base(base_path, merge_into_output, &base, &err)) {
    return fail_run(err);
  }
  if (!open_output(ini_path, &ini, &err)) return fail_run(err);

  say("");
  say(" begin");
  say("");

  *reading = &csv_path;
  LineBuffer csv_lines;
  init_line_buffer(&csv_lines, csv.get());
  std::vector<std::string> targets;
  std::vector<std::int64_t> first_lines;
  if (!read_target_list(&csv_lines, csv_path, print_warning, &targets,
                        &first_lines, &err)) {
    discard_output(&ini);
    return fail_run(err);
  }
  if (targets.empty()) {
    // An export without quotes, an empty file or swapped arguments: an
    // empty INI over the old one would look like success.
    discard_output(&ini);
    return fail_run({csv_path,
                     "no object names: expected a header line, then one "
                     "object per line whose first field is its name in "
                     "double quotes (\"Ceres\",...)"});
  }
  NameAccount account;
  init_account(&account, targets.size());
  ExactIndex exact;
  if (run_options.exact) exact = build_exact_index(targets);
  // The exact path looks names up by designation and needs no matcher.
  NameMatcher matcher =
      build_name_matcher(run_options.exact ? std::vector<std::string>()
                                           : std::move(targets));
  // The names stay in the matcher; the account reads them there.
  const std::vector<std::string>& names =
      run_options.exact ? targets : matcher.names;

  ScanOptions options;
  options.path = catalogue_path;
  options.progress = [](std::int64_t count) {
    std::printf(" Processing line: %lld\n", static_cast<long long>(count));
    std::fflush(stdout);
  };
  options.warn = print_warning;
  if (run_options.extended) options.format = SectionFormat::kExtended;
  std::string sections;  // when merging: the new sections, all of them
  options.write = [&](std::string_view block, Error* why) {
    if (!run_options.merge) return write_output(&ini, block, why);
    sections.append(block);
    return true;
  };
  options.exact = run_options.exact ? &exact : nullptr;
  options.account = &account;
  std::int64_t lines = 0;
  *reading = &catalogue_path;
  if (!scan_catalogue(catalogue.get(), matcher, options, &lines, &err)) {
    discard_output(&ini);
    return fail_run(err);
  }
  options.path = comets_path;
  *reading = &comets_path;
  CometScan comet_scan;
  if (comets &&
      !scan_comets(comets.get(), matcher, options, &comet_scan, &err)) {
    discard_output(&ini);
    return fail_run(err);
  }
  MergeCounts counts;
  if (run_options.merge) {
    *reading = &base_path;
    const bool merged = merge_ini(
        base, sections,
        [&](std::string_view block, Error* why) {
          return write_output(&ini, block, why);
        },
        &counts, &err);
    if (!merged) {
      discard_output(&ini);
      name_path(&err, run_options.base_path);
      return fail_run(err);
    }
  }
  if (!commit_output(&ini, &err)) return fail_run(err);
  AccountReport report;
  report.list_path = csv_path;
  report.names = &names;
  report.first_lines = &first_lines;
  report.exact = run_options.exact;
  if (comets) {
    report.catalogue_path = catalogue_path;
    report.comets_path = comets_path;
    report.comet_lines = &comet_scan.matched_lines;
  }
  // Written in blocks: a list of 200,000 names not in the catalogue must
  // cost neither 200,000 system calls nor a buffer of all their lines.
  constexpr std::size_t kAccountBlock = 64 * 1024;
  std::string account_lines;
  account_lines.reserve(kAccountBlock + 4096);
  const auto write_account = [&] {
    std::fwrite(account_lines.data(), 1, account_lines.size(), stderr);
    std::fflush(stderr);
    account_lines.clear();
  };
  report_account(account, report, [&](const std::string& message) {
    account_lines += message;
    account_lines += '\n';
    if (account_lines.size() >= kAccountBlock) write_account();
  });
  write_account();
  if (run_options.merge) {
    print_warning(merge_report(ini_path, run_options.base_path, counts));
  }

  say("");
  std::printf(" End of processing: %lld asteroids.\n",
              static_cast<long long>(lines));
  say("");
  say(" Finished!");
  print_closing_lines();
  return kExitSuccess;
}

int run(const RunOptions& run_options) {
  OutputFile ini;
  const std::string* reading = &run_options.list_path;
  try {
    return run_with(run_options, &ini, &reading);
  } catch (const std::bad_alloc&) {
    // A line that does not fit in memory (a catalogue without line feeds,
    // /dev/zero): the buffer is freed by now, so the message can be made.
    discard_output(&ini);
    return fail_run(Error{*reading, std::strerror(ENOMEM)});
  }
}

}  // namespace
}  // namespace orbitpick

int main(int argc, char** argv) {
  using namespace orbitpick;
  prepare_process();
  CommandLine line;
  Error err;
  if (!parse_command_line(std::vector<std::string>(argv + 1, argv + argc),
                          &line, &err)) {
    print_warning(format_error(err) + "; see orbitpick --help");
    return kExitUsage;
  }
  switch (line.command) {
    case Command::kHelp:
      std::fputs(help_text(), stdout);
      std::fflush(stdout);
      return kExitSuccess;
    case Command::kVersion:
      say("orbitpick " ORBITPICK_VERSION);
      return kExitSuccess;
    case Command::kUsage:
      print_usage();
      return kExitUsage;
    case Command::kRun:
      break;
  }
  if (!line.ignored.empty()) {
    std::string ignored;
    for (const std::string& arg : line.ignored) ignored += " " + arg;
    print_warning("orbitpick: ignoring the arguments after " +
                  line.options.output_path + ":" + ignored);
  }
  return run(line.options);
}
