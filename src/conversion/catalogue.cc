// The scan of MPCORB.DAT: header, orbit lines, matches, progress.

#include "conversion/catalogue.h"

#include <algorithm>
#include <vector>

#include "input/line_reader.h"
#include "selection/exact_match.h"

namespace orbitpick {

const LineKind kMinorPlanetLines = {check_section_line, write_section,
                                    readable_designation};

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

// Whole designations: a line selected by any listed name gives one section,
// however many names select it. Sets *lines to the lines of "body".
bool convert_exact(Conversion* c, std::string_view body,
                   std::int64_t lines_before, std::int64_t* lines,
                   std::vector<std::uint32_t>* hits, Error* err) {
  std::int64_t number = lines_before + c->header_lines;
  *lines = 0;
  std::string_view line;
  while (take_line(&body, &line)) {
    ++number;
    ++*lines;
    hits->clear();
    exact_names_in_line(*c->options.exact, line, hits);
    if (hits->empty()) continue;
    std::sort(hits->begin(), hits->end());
    hits->erase(std::unique(hits->begin(), hits->end()), hits->end());
    if (!convert_selected(c, line, number, *hits, err)) return false;
  }
  return true;
}

}  // namespace

bool scan_catalogue(Reader* reader, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err) {
  *err = Error();
  LineBuffer buffer;
  init_line_buffer(&buffer, reader, options.buffer_bytes);
  Conversion scan(options, kMinorPlanetLines);
  bool seen_orbit_line = false;
  MatchState state;
  std::vector<NameMatch> matches;
  std::vector<std::uint32_t> hits;

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
    }
    std::string_view header_line;
    while (header_left > 0 && take_line(&run, &header_line)) --header_left;
    if (run.empty()) continue;

    // A name holds no line feed, so every match lies inside one line, and a
    // run always ends with a whole line: no match is cut by a run boundary.
    const std::string_view body = run;
    if (!seen_orbit_line) seen_orbit_line = has_orbit_line(body, &scan.skip);
    std::int64_t run_lines = 0;
    if (options.exact == nullptr) {
      matches.clear();
      run_lines = find_names(matcher, body, &state, &matches) +
                  (body.back() != '\n' ? 1 : 0);
      if (!convert_matches(&scan, body, matches, count, err)) return false;
    } else if (!convert_exact(&scan, body, count, &run_lines, &hits, err)) {
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
  *lines = count;
  return finish_conversion(&scan, err);
}

}  // namespace orbitpick
