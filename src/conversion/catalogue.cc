// The scan of MPCORB.DAT: header, orbit lines, matches, progress.

#include "conversion/catalogue.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "input/line_reader.h"
#include "selection/exact_match.h"

namespace orbitpick {

namespace {

// A matched line: complete, and safe to copy into the INI file. The
// magnitudes and orbital elements are copied as they stand, the
// designation also makes the section's name.
bool check_matched_line(std::string_view line, Error* err) {
  using namespace mpcorb;
  static constexpr Column kCopied[] = {
      kMagnitude, kSlope,        kMeanAnomaly, kPericenter,   kNode,
      kInclination, kEccentricity, kMeanMotion, kSemiMajorAxis};
  return check_section_line(line, err) &&
         check_copied_columns(line, kCopied, std::size(kCopied), kDesignation,
                              err);
}

}  // namespace

const LineKind kMinorPlanetLines = {check_matched_line, write_section,
                                    readable_designation, Source::kCatalogue,
                                    describe_minor_planet};

namespace {

// True when some line of "body" is an orbit line. Stops at the first,
// which in a real catalogue is the first line looked at.
bool has_orbit_line(std::string_view body, Error* skip) {
  std::string_view line;
  while (take_line(&body, &line)) {
    if (check_section_line(line, skip)) return true;
  }
  return false;
}

// What the whole-designation scan keeps from line to line.
struct ExactScan {
  // The names that select a line, and those whose spelling's other parts
  // name it (checks).
  std::vector<std::uint32_t> hits;
  std::vector<std::uint32_t> checks;
  // Per listed name: some line was selected by it.
  std::vector<bool> decided;
  // Lines named by a spelling's other parts but not (yet) by its number:
  // (name, line number, the line). At the end, a name whose number is in
  // no line takes them ("543319 (2013 YE38)" in a catalogue older than the
  // number); for any other they are the second object it names.
  struct Pending {
    std::uint32_t name;
    std::int64_t number;
    std::string line;
  };
  std::vector<Pending> pending;
};

void sort_unique(std::vector<std::uint32_t>* v) {
  std::sort(v->begin(), v->end());
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

// Whole designations: a line selected by any listed name gives one section,
// however many names select it. Sets *lines to the lines of "body".
bool convert_exact(Conversion* c, const ExactIndex& index,
                   std::string_view body, std::int64_t lines_before,
                   std::int64_t* lines, ExactScan* scan, Error* err) {
  std::int64_t number = lines_before + c->header_lines;
  *lines = 0;
  std::string_view line;
  while (take_line(&body, &line)) {
    ++number;
    ++*lines;
    scan->hits.clear();
    scan->checks.clear();
    exact_names_in_line(index, line, &scan->hits, &scan->checks);
    if (scan->hits.empty() && scan->checks.empty()) continue;
    sort_unique(&scan->hits);
    for (const std::uint32_t name : scan->hits) scan->decided[name] = true;
    sort_unique(&scan->checks);
    for (const std::uint32_t name : scan->checks) {
      if (!std::binary_search(scan->hits.begin(), scan->hits.end(), name)) {
        scan->pending.push_back({name, number, std::string(line)});
      }
    }
    if (!convert_selected(c, line, number, scan->hits, err)) return false;
  }
  return true;
}

// The lines the pending checks name, once every line has been seen: a
// section for the names whose number selected nothing, a conflict noted
// for the others. Sections come after those of the scan, in line order.
bool settle_checks(Conversion* c, ExactScan* scan, Error* err) {
  std::stable_sort(scan->pending.begin(), scan->pending.end(),
                   [](const ExactScan::Pending& a, const ExactScan::Pending& b) {
                     return a.number < b.number;
                   });
  for (std::size_t i = 0; i < scan->pending.size();) {
    const ExactScan::Pending& first = scan->pending[i];
    scan->hits.clear();
    for (; i < scan->pending.size() &&
           scan->pending[i].number == first.number;
         ++i) {
      const std::uint32_t name = scan->pending[i].name;
      if (!scan->decided[name]) {
        scan->hits.push_back(name);
      } else if (c->options.account != nullptr) {
        note_conflict(c->options.account, name,
                      c->kind.designation(first.line));
      }
    }
    sort_unique(&scan->hits);
    if (!convert_selected(c, first.line, first.number, scan->hits, err)) {
      return false;
    }
  }
  return true;
}

// The scan of scan_catalogue, by substrings ("matcher") or by whole
// designations ("exact"): exactly one of the two is set.
bool scan_minor_planets(Reader* reader, const NameMatcher* matcher,
                        const ExactIndex* exact, const ScanOptions& options,
                        std::int64_t* lines, Error* err) {
  *err = Error();
  LineBuffer buffer;
  init_line_buffer(&buffer, reader, options.buffer_bytes);
  Conversion scan(options, kMinorPlanetLines);
  const ScanOptions refresh_options = refresh_scan_options(options);
  Conversion refresh(refresh_options, kMinorPlanetLines);
  bool seen_orbit_line = false;
  MatchState state;
  std::vector<NameMatch> matches;
  ExactScan found;
  if (exact != nullptr) found.decided.assign(exact->name_count, false);
  ExactScan refreshed;  // the same for the base's bodies (--refresh)
  if (options.refresh != nullptr) {
    refreshed.decided.assign(options.refresh->name_count, false);
  }

  int header_left = -1;    // not known before the first line is seen
  std::int64_t count = 0;  // catalogue lines before the current run
  std::string_view run;
  LinesRead got;
  while ((got = next_lines(&buffer, &run, err)) == LinesRead::kRun) {
    if (header_left < 0) {
      // MPCORB.DAT opens with a header; the MPC's extracts (NEA.txt,
      // Distant.txt) do not, and their first line is already an orbit.
      std::string_view first_run = run;
      std::string_view first;
      take_line(&first_run, &first);
      header_left = check_section_line(first, &scan.skip) ? 0 : kHeaderLines;
      scan.header_lines = header_left;
      refresh.header_lines = header_left;
    }
    std::string_view header_line;
    while (header_left > 0 && take_line(&run, &header_line)) --header_left;
    if (run.empty()) continue;

    // A name holds no line feed, so every match lies inside one line, and a
    // run always ends with a whole line: no match is cut by a run boundary.
    const std::string_view body = run;
    if (!seen_orbit_line) seen_orbit_line = has_orbit_line(body, &scan.skip);
    std::int64_t run_lines = 0;
    if (exact == nullptr) {
      matches.clear();
      run_lines = find_names(*matcher, body, &state, &matches) +
                  (body.back() != '\n' ? 1 : 0);
      if (!convert_matches(&scan, body, matches, count, err)) return false;
    } else if (!convert_exact(&scan, *exact, body, count, &run_lines, &found,
                              err)) {
      return false;
    }
    std::int64_t refresh_lines = 0;
    if (options.refresh != nullptr &&
        !convert_exact(&refresh, *options.refresh, body, count, &refresh_lines,
                       &refreshed, err)) {
      return false;
    }
    if (options.progress) {
      for (std::int64_t next = (count / kProgressEvery + 1) * kProgressEvery;
           next <= count + run_lines; next += kProgressEvery) {
        options.progress(next);
      }
    }
    count += run_lines;
  }
  if (got == LinesRead::kFailed) {
    name_path(err, options.path);
    return false;
  }
  if (!seen_orbit_line) {
    return fail(err, options.path,
                "no orbit lines: expected the Minor Planet Center's one-line "
                "orbits (MPCORB.DAT, NEA.txt, ...), each at least 175 bytes "
                "with a packed epoch in columns 21-25");
  }
  if (exact != nullptr && !settle_checks(&scan, &found, err)) return false;
  *lines = count;
  return finish_conversion(&scan, err) &&
         (options.refresh == nullptr ||
          (settle_checks(&refresh, &refreshed, err) &&
           finish_conversion(&refresh, err)));
}

}  // namespace

bool scan_catalogue(Reader* reader, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err) {
  return scan_minor_planets(reader, &matcher, nullptr, options, lines, err);
}

bool scan_catalogue(Reader* reader, const ExactIndex& index,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err) {
  return scan_minor_planets(reader, nullptr, &index, options, lines, err);
}

}  // namespace orbitpick
