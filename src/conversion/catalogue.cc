// The scan of MPCORB.DAT: header, orbit lines, matches, progress.

#include "conversion/catalogue.h"

#include <algorithm>
#include <vector>

#include "base/threads.h"
#include "conversion/parallel_scan.h"
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

// What one thread's scan of the catalogue keeps from one run of lines to
// the next.
struct LineScan {
  MatchState state;
  std::vector<NameMatch> matches;
  std::vector<std::uint32_t> hits;
};

// Converts "body", whole lines after the file's first "lines_before"
// catalogue lines, and sets *lines to its lines.
bool scan_lines(Conversion* c, const NameMatcher& matcher,
                std::string_view body, std::int64_t lines_before,
                LineScan* scan, std::int64_t* lines, Error* err) {
  if (c->options.exact != nullptr) {
    return convert_exact(c, body, lines_before, lines, &scan->hits, err);
  }
  scan->matches.clear();
  *lines = find_names(matcher, body, &scan->state, &scan->matches) +
           (body.back() != '\n' ? 1 : 0);
  return convert_matches(c, body, scan->matches, lines_before, err);
}

// MPCORB.DAT opens with a header; the MPC's extracts (NEA.txt,
// Distant.txt) do not, and their first line is already an orbit.
int header_lines_before(std::string_view text, Error* skip) {
  std::string_view first;
  take_line(&text, &first);
  return check_section_line(first, skip) ? 0 : kHeaderLines;
}

bool fail_no_orbit_lines(const ScanOptions& options, Error* err) {
  return fail(err, options.path,
              "no orbit lines: expected the Minor Planet Center's one-line "
              "orbits (MPCORB.DAT, NEA.txt, ...), each at least 175 bytes "
              "with a packed epoch in columns 21-25");
}

// The scan of a catalogue that lies whole in memory: its pieces converted
// on every thread there is, then told and handed on in the file's order,
// so that all that comes out is what the scan of its runs in turn gives.
bool scan_in_memory(std::string_view text, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err) {
  Conversion scan(options, kMinorPlanetLines);
  scan.header_lines = header_lines_before(text, &scan.skip);
  std::string_view body = text;
  std::string_view header_line;
  for (std::int64_t left = scan.header_lines;
       left > 0 && take_line(&body, &header_line); --left) {
  }

  const int threads =
      options.threads > 0 ? options.threads : usable_processors();
  std::vector<LineScan> scans(static_cast<std::size_t>(threads));
  const ScanPiece scan_piece = [&](int worker, PieceResult* piece) {
    Conversion c(options, kMinorPlanetLines);
    c.log = &piece->log;
    piece->orbit_line = has_orbit_line(piece->text, &c.skip);
    piece->ok = scan_lines(&c, matcher, piece->text, 0, &scans[worker],
                           &piece->lines, &piece->err);
    piece->sections = std::move(c.out);
  };
  bool seen_orbit_line = false;
  std::int64_t count = 0;  // catalogue lines before the piece
  const CommitPiece commit = [&](PieceResult* piece) {
    if (!piece->ok) {
      *err = piece->err;
      name_path(err, options.path);
      return false;
    }
    seen_orbit_line = seen_orbit_line || piece->orbit_line;
    replay_piece(&scan, piece->log, count);
    if (!add_piece_sections(&scan, piece->sections, err)) return false;
    report_progress(options, count, piece->lines);
    count += piece->lines;
    return true;
  };
  if (!scan_in_pieces(body, threads, options.piece_bytes, kMaxLineBytes,
                      scan_piece, commit)) {
    return false;
  }
  if (!seen_orbit_line) return fail_no_orbit_lines(options, err);
  *lines = count;
  return finish_conversion(&scan, err);
}

}  // namespace

bool scan_catalogue(Reader* reader, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err) {
  *err = Error();
  if (!reader->mapped().empty()) {
    return scan_in_memory(reader->mapped(), matcher, options, lines, err);
  }
  LineBuffer buffer;
  init_line_buffer(&buffer, reader, options.buffer_bytes);
  Conversion scan(options, kMinorPlanetLines);
  bool seen_orbit_line = false;
  LineScan line_scan;

  int header_left = -1;    // not known before the first line is seen
  std::int64_t count = 0;  // catalogue lines before the current run
  std::string_view run;
  LinesRead got;
  while ((got = next_lines(&buffer, &run, err)) == LinesRead::kRun) {
    if (header_left < 0) {
      header_left = header_lines_before(run, &scan.skip);
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
    if (!scan_lines(&scan, matcher, body, count, &line_scan, &run_lines,
                    err)) {
      return false;
    }
    report_progress(options, count, run_lines);
    count += run_lines;
  }
  if (got == LinesRead::kFailed) {
    name_path(err, options.path);
    return false;
  }
  if (!seen_orbit_line) return fail_no_orbit_lines(options, err);
  *lines = count;
  return finish_conversion(&scan, err);
}

}  // namespace orbitpick
