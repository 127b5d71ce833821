// The scan of MPCORB.DAT: header, orbit lines, matches, progress.

#include "conversion/catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/threads.h"
#include "conversion/parallel_scan.h"
#include "input/line_reader.h"
#include "selection/exact_match.h"

namespace orbitpick {

const LineKind kMinorPlanetLines = {check_section_line, write_section,
                                    readable_designation, Source::kCatalogue};

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

// The first kPrefetchRunBytes of "text" or more, to the end of a line.
std::string_view cut_run(std::string_view text) {
  if (text.size() <= 64 * 1024) return text;
  const void* newline = std::memchr(text.data() + 64 * 1024 - 1, '\n',
                                    text.size() - 64 * 1024 + 1);
  if (newline == nullptr) return text;
  return text.substr(
      0, static_cast<std::size_t>(static_cast<const char*>(newline) -
                                  text.data()) + 1);
}

// What one thread's scan keeps from one run of lines to the next.
struct LineScan {
  MatchState state;
  std::vector<NameMatch> matches;
  ExactScan found;
};

// Converts "body", whole lines after the file's first "lines_before"
// catalogue lines, by substrings ("matcher") or by whole designations
// ("exact"), and sets *lines to its lines.
bool scan_lines(Conversion* c, const NameMatcher* matcher,
                const ExactIndex* exact, std::string_view body,
                std::int64_t lines_before, LineScan* scan,
                std::int64_t* lines, Error* err) {
  if (exact != nullptr) {
    return convert_exact(c, *exact, body, lines_before, lines, &scan->found,
                         err);
  }
  scan->matches.clear();
  *lines = find_names(*matcher, body, &scan->state, &scan->matches) +
           (body.back() != '\n' ? 1 : 0);
  return convert_matches(c, body, scan->matches, lines_before, err);
}

// Bytes scanned at a time within a piece: the next run is fetched from
// memory while this one is scanned.
constexpr std::size_t kPrefetchRunBytes = 64 * 1024;

// Asks for "text" to be brought into the cache, a cache line at a time.
// A mapped file's pages are scattered in memory, and the processor's own
// prefetching stops at each page's end.
void prefetch(std::string_view text) {
#if defined(__GNUC__)
  for (std::size_t i = 0; i < text.size(); i += 64) {
    __builtin_prefetch(text.data() + i);
  }
#else
  (void)text;
#endif
}

// scan_lines over a piece, in runs of whole lines of about
// kPrefetchRunBytes, each prefetched while the one before is scanned.
bool scan_piece_lines(Conversion* c, const NameMatcher* matcher,
                      const ExactIndex* exact, std::string_view piece,
                      LineScan* scan, std::int64_t* lines, Error* err) {
  *lines = 0;
  std::string_view run = cut_run(piece);
  prefetch(run);
  while (!piece.empty()) {
    piece.remove_prefix(run.size());
    const std::string_view next = cut_run(piece);
    prefetch(next);
    std::int64_t run_lines = 0;
    if (!scan_lines(c, matcher, exact, run, *lines, scan, &run_lines, err)) {
      return false;
    }
    *lines += run_lines;
    run = next;
  }
  return true;
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

// What the scan of one piece of a catalogue in memory leaves to be handed
// on in the file's order; line numbers in it count from the piece's start.
struct PieceResult {
  std::string sections;
  PieceLog log;
  std::vector<ExactScan::Pending> pending;
  std::int64_t lines = 0;
  bool orbit_line = false;  // some line of the piece is an orbit line
  bool ok = true;           // false: "err" says why the scan stops there
  Error err;
};

// The scan of a catalogue that lies whole in memory: its pieces converted
// on every thread there is, then told and handed on in the file's order,
// so that all that comes out is what the scan of its runs in turn gives.
bool scan_in_memory(std::string_view text, const NameMatcher* matcher,
                    const ExactIndex* exact, const ScanOptions& options,
                    std::int64_t* lines, Error* err) {
  Conversion scan(options, kMinorPlanetLines);
  scan.header_lines = header_lines_before(text, &scan.skip);
  std::string_view body = text;
  std::string_view header_line;
  for (std::int64_t left = scan.header_lines;
       left > 0 && take_line(&body, &header_line); --left) {
  }

  const int threads =
      options.threads > 0 ? options.threads : usable_processors();
  std::vector<LineScan> workers(static_cast<std::size_t>(threads));
  for (LineScan& w : workers) {
    if (exact != nullptr) w.found.decided.assign(exact->name_count, false);
  }
  std::vector<PieceResult> results(piece_slots(threads));
  const ScanPiece scan_piece = [&](int worker, std::size_t slot,
                                   std::string_view piece) {
    PieceResult& r = results[slot];
    r = PieceResult();
    if (has_line_longer_than(piece, kMaxLineBytes)) {
      r.ok = false;
      fail(&r.err,
           "line longer than " + std::to_string(kMaxLineBytes) + " bytes");
      return;
    }
    LineScan& w = workers[static_cast<std::size_t>(worker)];
    try {
      Conversion c(options, kMinorPlanetLines);
      c.log = &r.log;
      r.orbit_line = has_orbit_line(piece, &c.skip);
      r.ok = scan_piece_lines(&c, matcher, exact, piece, &w, &r.lines,
                              &r.err);
      r.sections = std::move(c.out);
      r.pending.swap(w.found.pending);
      w.found.pending.clear();
    } catch (const std::bad_alloc&) {
      r.ok = false;
      fail(&r.err, std::strerror(ENOMEM));
    }
  };
  bool seen_orbit_line = false;
  std::int64_t count = 0;  // catalogue lines before the piece
  ExactScan found;         // the pending lines of every piece, in order
  const CommitPiece commit = [&](std::size_t slot) {
    PieceResult& r = results[slot];
    if (!r.ok) {
      *err = r.err;
      name_path(err, options.path);
      return false;
    }
    seen_orbit_line = seen_orbit_line || r.orbit_line;
    replay_piece(&scan, r.log, count);
    for (ExactScan::Pending& p : r.pending) {
      p.number += count + scan.header_lines;
      found.pending.push_back(std::move(p));
    }
    if (!add_piece_sections(&scan, r.sections, err)) return false;
    report_progress(options, count, r.lines);
    count += r.lines;
    r = PieceResult();  // the piece's memory goes back before the next
    return true;
  };
  if (!scan_in_pieces(body, threads, options.piece_bytes, scan_piece,
                      commit)) {
    return false;
  }
  if (!seen_orbit_line) return fail_no_orbit_lines(options, err);
  if (exact != nullptr) {
    // A name decided anywhere is decided: the pieces' shares together.
    found.decided.assign(exact->name_count, false);
    for (const LineScan& w : workers) {
      for (std::size_t i = 0; i < w.found.decided.size(); ++i) {
        if (w.found.decided[i]) found.decided[i] = true;
      }
    }
    if (!settle_checks(&scan, &found, err)) return false;
  }
  *lines = count;
  return finish_conversion(&scan, err);
}

// The scan of scan_catalogue, by substrings ("matcher") or by whole
// designations ("exact"): exactly one of the two is set.
bool scan_minor_planets(Reader* reader, const NameMatcher* matcher,
                        const ExactIndex* exact, const ScanOptions& options,
                        std::int64_t* lines, Error* err) {
  *err = Error();
  if (!reader->mapped().empty()) {
    return scan_in_memory(reader->mapped(), matcher, exact, options, lines,
                          err);
  }
  LineBuffer buffer;
  init_line_buffer(&buffer, reader, options.buffer_bytes);
  Conversion scan(options, kMinorPlanetLines);
  bool seen_orbit_line = false;
  LineScan line_scan;
  ExactScan& found = line_scan.found;
  if (exact != nullptr) found.decided.assign(exact->name_count, false);

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
    if (!scan_lines(&scan, matcher, exact, body, count, &line_scan,
                    &run_lines, err)) {
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
  if (exact != nullptr && !settle_checks(&scan, &found, err)) return false;
  *lines = count;
  return finish_conversion(&scan, err);
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
