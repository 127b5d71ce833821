// The scan of MPCORB.DAT: header, orbit lines, matches, progress.

#include "conversion/catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "base/threads.h"
#include "conversion/parallel_scan.h"
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

// Converts line "number" of the file, which the names scan->hits select and
// scan->checks name.
// "prepared": the line made ready beforehand, its section in "text"; null:
// made ready here.
bool convert_exact_line(Conversion* c, std::string_view line,
                        std::int64_t number, ExactScan* scan, Error* err,
                        const PreparedLine* prepared = nullptr,
                        std::string_view text = {}) {
  sort_unique(&scan->hits);
  for (const std::uint32_t name : scan->hits) scan->decided[name] = true;
  sort_unique(&scan->checks);
  for (const std::uint32_t name : scan->checks) {
    if (!std::binary_search(scan->hits.begin(), scan->hits.end(), name)) {
      scan->pending.push_back({name, number, std::string(line)});
    }
  }
  if (prepared != nullptr) {
    return convert_selected(c, line, number, scan->hits, *prepared, text, err);
  }
  return convert_selected(c, line, number, scan->hits, err);
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
    if (!convert_exact_line(c, line, number, scan, err)) return false;
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

// A line of a piece that listed names select or name (--exact).
struct ExactLine {
  std::size_t start = 0;     // in the piece
  std::size_t length = 0;
  std::int64_t number = 0;   // 1 for the piece's first line
  std::vector<std::uint32_t> hits;
  std::vector<std::uint32_t> checks;
  PreparedLine prepared;  // when "ready"
  bool ready = false;
};

// What the search of one piece found, made ready to be converted in the
// file's order.
struct PieceFound {
  std::vector<NameMatch> matches;  // offsets in the piece
  std::vector<MatchedLine> matched;
  std::vector<ExactLine> exact_lines;
  std::string text;  // the sections of "matched" or "exact_lines"
  std::size_t prepared_matches = 0;  // of "matches", those in "matched"
  std::int64_t lines = 0;
  bool orbit_line = false;  // some line of the piece is an orbit line
  bool ok = true;           // false: "err" says why the scan stops there
  Error err;
};

// One thread's search state.
struct PieceSearch {
  MatchState state;
  std::vector<std::uint32_t> hits;
  std::vector<std::uint32_t> checks;
};

// Searches "piece" for the names, or looks each of its lines up (exact).
void search_piece(const NameMatcher* matcher, const ExactIndex* exact,
                  std::string_view piece, PieceSearch* s, PieceFound* found) {
  Error skip;
  found->orbit_line = has_orbit_line(piece, &skip);
  if (piece.empty()) return;
  if (exact == nullptr) {
    found->lines = find_names(*matcher, piece, &s->state, &found->matches);
    if (piece.back() != '\n') ++found->lines;  // the file's last line
    return;
  }
  found->lines = for_each_line_that_may_hold_key(
      *exact, piece, [&](std::string_view line, std::int64_t number) {
        s->hits.clear();
        s->checks.clear();
        look_up_line_identities(*exact, line, &s->hits, &s->checks);
        if (s->hits.empty() && s->checks.empty()) return;
        found->exact_lines.push_back(
            {static_cast<std::size_t>(line.data() - piece.data()),
             line.size(), number, s->hits, s->checks, {}, false});
      });
}

// The scan of a catalogue that lies whole in memory: its pieces searched,
// and the sections of what they found written, on every thread there is;
// the rest of the conversion done on this one in the file's order, through
// the same steps as a scan block by block, so that all that comes out is
// the same.
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
  ExactScan found;
  if (exact != nullptr) found.decided.assign(exact->name_count, false);

  const int threads =
      options.threads > 0 ? options.threads : usable_processors();
  std::vector<PieceSearch> searches(static_cast<std::size_t>(threads));
  std::vector<PieceFound> results(piece_slots(threads));
  std::vector<std::string_view> texts(results.size());
  const ScanPiece search = [&](int worker, std::size_t slot,
                               std::string_view piece) {
    PieceFound& r = results[slot];
    r = PieceFound();
    texts[slot] = piece;
    if (has_line_longer_than(piece, kMaxLineBytes)) {
      r.ok = false;
      fail(&r.err,
           "line longer than " + std::to_string(kMaxLineBytes) + " bytes");
      return;
    }
    try {
      search_piece(matcher, exact, piece,
                   &searches[static_cast<std::size_t>(worker)], &r);
      // The sections are written here too, on this thread, only what
      // depends on the lines before left for the file's order. Up to a
      // quarter of the piece's size (about 600 sections in a piece of
      // 1 MiB, which a real list's matches seldom fill), so that a list
      // that selects every line holds no more than its pieces do; the rest
      // is converted in turn.
      const std::size_t max_bytes = options.piece_bytes / 4;
      if (exact == nullptr) {
        r.prepared_matches =
            prepare_matches(kMinorPlanetLines, options.format, piece,
                            r.matches, max_bytes, &r.matched, &r.text);
      } else {
        std::size_t prepared = 0;
        for (ExactLine& line : r.exact_lines) {
          if (r.text.size() >= max_bytes || prepared > max_bytes / 256) {
            break;
          }
          if (line.hits.empty()) continue;
          prepare_line(kMinorPlanetLines, options.format,
                       piece.substr(line.start, line.length), &line.prepared,
                       &r.text);
          line.ready = true;
          ++prepared;
        }
      }
    } catch (const std::bad_alloc&) {
      r.ok = false;
      fail(&r.err, std::strerror(ENOMEM));
    }
  };
  bool seen_orbit_line = false;
  std::int64_t count = 0;  // catalogue lines before the piece
  const CommitPiece commit = [&](std::size_t slot) {
    PieceFound& r = results[slot];
    const std::string_view piece = texts[slot];
    if (!r.ok) {
      *err = r.err;
      name_path(err, options.path);
      return false;
    }
    seen_orbit_line = seen_orbit_line || r.orbit_line;
    if (exact == nullptr) {
      if (!convert_prepared(&scan, piece, r.matches, r.matched, r.text, count,
                            err)) {
        return false;
      }
      if (r.prepared_matches < r.matches.size()) {
        r.matches.erase(r.matches.begin(),
                        r.matches.begin() +
                            static_cast<std::ptrdiff_t>(r.prepared_matches));
        if (!convert_matches(&scan, piece, r.matches, count, err)) return false;
      }
    } else {
      for (ExactLine& line : r.exact_lines) {
        found.hits.swap(line.hits);
        found.checks.swap(line.checks);
        if (!convert_exact_line(&scan, piece.substr(line.start, line.length),
                                count + scan.header_lines + line.number,
                                &found, err,
                                line.ready ? &line.prepared : nullptr,
                                r.text)) {
          return false;
        }
      }
    }
    if (options.progress) {
      for (std::int64_t next = (count / kProgressEvery + 1) * kProgressEvery;
           next <= count + r.lines; next += kProgressEvery) {
        options.progress(next);
      }
    }
    count += r.lines;
    r = PieceFound();  // its memory goes back before the next piece
    return true;
  };
  if (!scan_in_pieces(body, threads, options.piece_bytes, search, commit)) {
    return false;
  }
  if (!seen_orbit_line) return fail_no_orbit_lines(options, err);
  if (exact != nullptr && !settle_checks(&scan, &found, err)) return false;
  *lines = count;
  return finish_conversion(&scan, err);
}

// The scan of scan_catalogue, by substrings ("matcher") or by whole
// designations ("exact"): exactly one of the two is set.
bool scan_minor_planets(Reader* reader, const NameMatcher* matcher,
                        const ExactIndex* exact, const ScanOptions& options,
                        std::int64_t* lines, Error* err) {
  *err = Error();
  // --refresh converts each line twice over, for two outputs; it reads
  // block by block.
  if (!reader->mapped().empty() && options.refresh == nullptr) {
    return scan_in_memory(reader->mapped(), matcher, exact, options, lines,
                          err);
  }
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
  if (!seen_orbit_line) return fail_no_orbit_lines(options, err);
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
