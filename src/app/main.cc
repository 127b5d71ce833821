// orbitpick: writes the orbits of the objects on an observing list, taken
// from the Minor Planet Center's MPCORB.DAT, as sections of a planetarium's
// minor-body INI file.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/refresh.h"
#include "base/diagnostics.h"
#include "base/process.h"
#include "base/file_path.h"
#include "base/text.h"
#include "base/threads.h"
#include "conversion/catalogue.h"
#include "conversion/comet.h"
#include "input/input_file.h"
#include "input/line_reader.h"
#include "input/list_format.h"
#include "input/targets.h"
#include "input/whole_file.h"
#include "output/ini_merge.h"
#include "output/output_file.h"
#include "selection/exact_match.h"
#include "selection/name_account.h"
#include "selection/name_matcher.h"

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

// ---- The phases of a run, in order. ----------------------------------------

// The inputs, all opened before anything is written.
struct Inputs {
  std::unique_ptr<Reader> list;
  std::unique_ptr<Reader> catalogue;
  std::unique_ptr<Reader> comets;  // null without --comets
};

// Opens the list, the catalogue and the comet file, and makes sure that
// none of them is the output.
bool open_inputs(const RunOptions& o, Inputs* in, Error* err) {
  if ((!o.list_path.empty() &&
       !open_input_file(o.list_path, &in->list, err)) ||
      !open_catalogue(o.catalogue_path, &in->catalogue, err)) {
    return false;
  }
  if (!o.comets_path.empty() &&
      !open_catalogue(o.comets_path, &in->comets, err)) {
    return false;
  }
  for (const std::string* input :
       {&o.list_path, &o.catalogue_path, &o.comets_path}) {
    if (input->empty()) continue;
    // Compared with what was opened: a list named "-" is the file of that
    // name, and only the catalogues read standard input for it.
    const bool standard_input = *input == "-" && input != &o.list_path;
    const bool apart =
        standard_input ? check_output_is_not_standard_input(o.output_path, err)
                       : check_output_is_not_input(o.output_path, *input, err);
    if (!apart) return false;
  }
  return true;
}

// The INI file a merge starts from: --base FILE, or the output itself.
struct Base {
  std::string path;  // the file read, named in errors
  std::string text;
};

// Reads the base whole before anything is written, so that a bad one stops
// the run before it starts, and so that it may be the output itself. An
// output not there yet is an empty base; one that is not a regular file (a
// device, a FIFO) has nothing to merge into.
bool read_base(const RunOptions& o, Base* base, Error* err) {
  namespace fs = std::filesystem;
  const bool into_output = o.base_path.empty();
  base->path = into_output ? o.output_path : o.base_path;
  base->text.clear();
  if (into_output) {
    std::error_code ec;
    const fs::file_status status = fs::status(file_path(base->path), ec);
    if (status.type() == fs::file_type::not_found) return true;
    if (fs::is_directory(status)) {
      return fail(err, base->path, std::strerror(EISDIR));
    }
    if (ec) return fail(err, base->path, ec.message());
    if (!fs::is_regular_file(status)) {
      return fail(err, base->path,
                  "not a regular file, so there is nothing to merge into; "
                  "use --base FILE");
    }
  }
  // Checked while it is read: /dev/zero or an endless FIFO as the base
  // fails at once rather than when the memory runs out.
  constexpr TextLimits kBaseLimits = {std::size_t{1} << 30, "any INI file"};
  return read_text_file(base->path, kBaseLimits, &base->text, err);
}

// The observing list, in the layout asked for: its names, sorted and
// distinct, and the line where each first stands. A list that names
// nothing is an error: an empty INI over the old one would look like
// success.
bool read_targets(const RunOptions& o, Reader* list, TargetList* targets,
                  Error* err) {
  if (list == nullptr) return true;  // --refresh without a list
  LineBuffer lines;
  init_line_buffer(&lines, list);
  ListRead read;
  if (!read_list(&lines, o.list_path, o.list, print_warning, &read, err)) {
    return false;
  }
  *targets = std::move(static_cast<TargetList&>(read));
  return true;
}

// How the scans find the listed names, and the account of what they found.
// Whole designations are looked up in an index of the spellings, substrings
// found by the matcher: only the one in use is built.
struct Selection {
  NameAccount account;
  ExactIndex exact;
  NameMatcher matcher;
};

void select_targets(const RunOptions& o, const TargetList& targets,
                    Selection* sel) {
  init_account(&sel->account, targets.names.size());
  if (o.exact) {
    sel->exact = build_exact_index(targets.names);
  } else {
    sel->matcher = build_name_matcher(targets.names);
  }
}

// Where the scans hand their sections: straight into the output, or, with
// --merge, to the merge, which keeps of them only what the base needs.
using SectionSink = std::function<bool(std::string_view block, Error* err)>;

SectionSink write_into(OutputFile* ini) {
  return [ini](std::string_view block, Error* err) {
    return write_output(ini, block, err);
  };
}

SectionSink merge_into(IniMerge* merge, const std::string& output) {
  return [merge, &output](std::string_view block, Error* err) {
    bool added = false;
    try {
      added = merge->add(block, err);
    } catch (const std::bad_alloc&) {
      fail(err, std::strerror(ENOMEM));
    }
    if (!added) name_path(err, output);
    return added;
  };
}

// The refreshed bodies' sections, gathered whole: they are sections of the
// base's own bodies, as many as it has.
SectionSink gather_into(std::string* sections, const std::string& output) {
  return [sections, &output](std::string_view block, Error* err) {
    try {
      sections->append(block);
    } catch (const std::bad_alloc&) {
      return fail(err, output, std::strerror(ENOMEM));
    }
    return true;
  };
}

// What the scan of the file at "path" is given; the same for both files
// but for the path.
ScanOptions scan_options(const RunOptions& o, const std::string& path,
                         Selection* sel, SectionNames* sections,
                         const SectionSink& write) {
  ScanOptions options;
  options.path = path;
  options.progress = [](std::int64_t count) {
    std::printf(" Processing line: %lld\n", static_cast<long long>(count));
    std::fflush(stdout);
  };
  options.warn = print_warning;
  if (o.extended) options.format = SectionFormat::kExtended;
  options.write = write;
  options.account = &sel->account;
  options.sections = sections;
  return options;
}

// What the scans found.
struct Scans {
  std::int64_t catalogue_lines = 0;
  CometScan comets;
  // Minor planets and comets go into one file: one set of section names.
  SectionNames sections;
};

// With --refresh, the sections of the base's bodies found in the file of
// "options" go to "sections".
ScanOptions with_refresh(ScanOptions options, Refresh* refresh,
                         std::string* sections, const std::string& output) {
  if (refresh != nullptr) {
    options.refresh = &refresh->index;
    options.refresh_write = gather_into(sections, output);
  }
  return options;
}

// The catalogue, then the comet file: the sections in that order.
bool scan_inputs(const RunOptions& o, const Inputs& in, Selection* sel,
                 const SectionSink& write, Refresh* refresh, Scans* scans,
                 Error* err) {
  const ScanOptions catalogue = with_refresh(
      scan_options(o, o.catalogue_path, sel, &scans->sections, write), refresh,
      refresh ? &refresh->from_catalogue : nullptr, o.output_path);
  const bool scanned =
      o.exact ? scan_catalogue(in.catalogue.get(), sel->exact, catalogue,
                               &scans->catalogue_lines, err)
              : scan_catalogue(in.catalogue.get(), sel->matcher, catalogue,
                               &scans->catalogue_lines, err);
  if (!scanned || !in.comets) return scanned;
  const ScanOptions comets = with_refresh(
      scan_options(o, o.comets_path, sel, &scans->sections, write), refresh,
      refresh ? &refresh->from_comets : nullptr, o.output_path);
  return o.exact ? scan_comets(in.comets.get(), sel->exact, comets,
                               &scans->comets, err)
                 : scan_comets(in.comets.get(), sel->matcher, comets,
                               &scans->comets, err);
}

// The base with the new sections merged in, written to the output; with
// --refresh, its bodies' sections too, never an orbit older than its own.
bool write_merged(const Base& base, IniMerge* merge, const Refresh* refresh,
                  OutputFile* ini, MergeCounts* counts,
                  RefreshCounts* refreshed, Error* err) {
  MergeOptions options;
  if (refresh != nullptr) {
    options.refresh = {refresh->from_catalogue, refresh->from_comets};
    options.never_older = true;
  }
  bool merged = false;
  try {
    merged = merge->finish(options, write_into(ini), counts, refreshed, err);
  } catch (const std::bad_alloc&) {
    fail(err, std::strerror(ENOMEM));
  }
  if (!merged) name_path(err, base.path);
  return merged;
}

// The account of the names on stderr. Written in blocks: a list of 200,000
// names not in the catalogue must cost neither 200,000 system calls nor a
// buffer of all their lines.
void print_account(const RunOptions& o, const TargetList& targets,
                   const Selection& sel) {
  AccountReport report;
  report.list_path = o.list_path;
  report.targets = &targets;
  report.exact = o.exact;
  report.catalogue_path = o.catalogue_path;
  report.comets_path = o.comets_path;
  constexpr std::size_t kAccountBlock = 64 * 1024;
  std::string account_lines;
  account_lines.reserve(kAccountBlock + 4096);
  const auto write_account = [&] {
    std::fwrite(account_lines.data(), 1, account_lines.size(), stderr);
    std::fflush(stderr);
    account_lines.clear();
  };
  report_account(sel.account, report, [&](const std::string& message) {
    account_lines += message;
    account_lines += '\n';
    if (account_lines.size() >= kAccountBlock) write_account();
  });
  write_account();
}

void print_begin() {
  say("");
  say(" begin");
  say("");
}

void print_end(std::int64_t catalogue_lines) {
  say("");
  std::printf(" End of processing: %lld asteroids.\n",
              static_cast<long long>(catalogue_lines));
  say("");
  say(" Finished!");
  print_closing_lines();
}

// ---- The run. --------------------------------------------------------------

int run(const RunOptions& o) {
  Error err;
  // Left behind when the run fails, which then ends at once (see main): a
  // thread reading standard input ahead may wait in a read for as long as
  // its writer pleases, and destroying the inputs would wait with it.
  Inputs& in = *new Inputs;
  if (!open_inputs(o, &in, &err)) return fail_run(err);
  // A merge locks its output from the reading of the base to the rename,
  // and renames only over the file it read.
  OutputLock lock;
  if (o.merge && !lock_output(o.output_path, &lock, &err)) {
    return fail_run(err);
  }
  Base base;
  if (o.merge && !read_base(o, &base, &err)) return fail_run(err);
  IniMerge merge;
  if (o.merge && !merge.start(base.text, &err)) {
    name_path(&err, base.path);
    return fail_run(err);
  }
  std::unique_ptr<Refresh> refresh;  // with --refresh: the base's bodies
  if (o.refresh) {
    refresh = std::make_unique<Refresh>();
    prepare_refresh(base.text, refresh.get());
  }
  OutputFile ini;  // discarded on every return before it is committed
  if (!open_output(o.output_path, &ini, &err)) return fail_run(err);
  print_begin();

  TargetList targets;
  if (!read_targets(o, in.list.get(), &targets, &err)) return fail_run(err);
  Selection selection;
  select_targets(o, targets, &selection);

  const SectionSink sink =
      o.merge ? merge_into(&merge, o.output_path) : write_into(&ini);
  Scans scans;
  if (!scan_inputs(o, in, &selection, sink, refresh.get(), &scans, &err)) {
    return fail_run(err);
  }
  // Every input is read to its end, so no thread waits in a read, and
  // nothing later reads them: a thread lets them go (unmapping a 290 MB
  // catalogue takes milliseconds) while the output is committed.
  BackgroundWork release_inputs([&in] { delete &in; });
  MergeCounts counts;
  RefreshCounts refreshed;
  if (o.merge && !write_merged(base, &merge, refresh.get(), &ini, &counts,
                               &refreshed, &err)) {
    return fail_run(err);
  }
  if (!commit_output(&ini, &err, o.merge ? &lock : nullptr)) {
    return fail_run(err);
  }

  print_account(o, targets, selection);
  if (o.merge) print_warning(merge_report(o.output_path, o.base_path, counts));
  if (refresh) {
    refreshed.refreshed.resize(o.comets_path.empty() ? 1 : 2);
    for (const std::string& line :
         refresh_report(o.output_path, {o.catalogue_path, o.comets_path},
                        refreshed)) {
      print_warning(line);
    }
  }
  print_end(scans.catalogue_lines);
  return kExitSuccess;
}

// The run, with a last word should memory run out where no phase expects it
// (each phase that grows with its input turns that into its own error).
int run_guarded(const RunOptions& o) {
  try {
    return run(o);
  } catch (const std::bad_alloc&) {
    return fail_run(Error{"", std::strerror(ENOMEM)});
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
  const int status = run_guarded(line.options);
  if (status != kExitSuccess) {
    // A thread may still wait in a read of standard input that sends
    // nothing (the failed run left its inputs behind); the normal exit,
    // which closes the streams, could wait on it.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
  }
  return status;
}
