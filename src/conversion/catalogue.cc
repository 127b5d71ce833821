// The catalogue scan and the orbit section writer.

#include "conversion/catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "conversion/epoch.h"
#include "selection/exact_match.h"
#include "base/text.h"

namespace orbitpick {
namespace {

using namespace mpcorb;

void erase_first(std::string* s, char c) {
  const std::size_t at = s->find(c);
  if (at != std::string::npos) s->erase(at, 1);
}

// Orbit types in the low six bits of the flags that the planetarium groups
// as kinds of trans-Neptunian objects.
constexpr unsigned kOrbitTypeBits = 0x3F;
constexpr unsigned kPlutino = 14;
constexpr unsigned kCubewano = 16;
constexpr unsigned kScatteredDisc = 17;

// The planetarium's type of a numbered ("number", without parentheses) or
// unnumbered minor planet with these flags. The five dwarf planets go by
// number: their flags only say where their orbits lie.
std::string_view minor_planet_type(std::string_view number,
                                   std::string_view flags) {
  static constexpr std::string_view kDwarfPlanets[] = {"1", "134340", "136199",
                                                       "136108", "136472"};
  for (std::string_view dwarf : kDwarfPlanets) {
    if (number == dwarf) return "dwarf planet";
  }
  unsigned bits = 0;
  for (char c : flags) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return "asteroid";
    }
    bits = bits * 16 + digit;
  }
  switch (bits & kOrbitTypeBits) {
    case kPlutino:
      return "plutino";
    case kCubewano:
      return "cubewano";
    case kScatteredDisc:
      return "scattered disc object";
    default:
      return "asteroid";
  }
}

}  // namespace

bool check_section_line(std::string_view line, Error* err) {
  if (line.size() < kMinLineBytes) {
    return fail(err, "line shorter than 175 bytes");
  }
  if (!epoch_is_valid(std::string(field(line, kEpoch)))) {
    return fail(err, "invalid packed epoch");
  }
  return true;
}

void write_section(std::string_view line, std::string* out,
                   SectionFormat format) {
  // Key: the readable designation without its parentheses and its first two
  // spaces, lower-cased: "(433) Eros" gives 433eros, "2004 PC112" 2004pc112.
  std::string key(trim_view(field(line, kDesignation)));
  erase_first(&key, '(');
  erase_first(&key, ')');
  erase_first(&key, ' ');
  erase_first(&key, ' ');
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  std::string number(field(line, kNumber));
  erase_first(&number, '(');
  erase_first(&number, ')');

  char epoch[32];
  std::snprintf(epoch, sizeof epoch, "%.10g",
                jd(std::string(field(line, kEpoch))));

  const std::string_view number_value = trim_view(number);
  const std::string_view name = trim_view(field(line, kName));
  const bool extended = format == SectionFormat::kExtended;

  // The keys in alphabetical order, as the planetarium writes them.
  using U = KeyUse;
  static constexpr SectionKey kKeys[] = {
      {"absolute_magnitude             = ", U::kBoth},
      {"coord_func                     = ", U::kDefaultOnly},
      {"iau_designation                = ", U::kExtendedOnly},
      {"minor_planet_number            = ", U::kBoth},
      {"name                           = ", U::kBoth},
      {"orbit_ArgOfPericenter          = ", U::kBoth},
      {"orbit_AscendingNode            = ", U::kBoth},
      {"orbit_Eccentricity             = ", U::kBoth},
      {"orbit_Epoch                    = ", U::kBoth},
      {"orbit_Inclination              = ", U::kBoth},
      {"orbit_MeanAnomaly              = ", U::kBoth},
      {"orbit_MeanMotion               = ", U::kBoth},
      {"orbit_SemiMajorAxis            = ", U::kBoth},
      {"slope_parameter                = ", U::kExtendedOnly},
      {"type                           = ", U::kBoth},
  };
  const std::string_view values[] = {
      trim_view(field(line, kMagnitude)),
      "comet_orbit",
      // An unnumbered object's name is its provisional designation.
      number_value.empty() ? name : std::string_view(),
      number_value,
      name,
      trim_view(field(line, kPericenter)),
      trim_view(field(line, kNode)),
      trim_view(field(line, kEccentricity)),
      epoch,
      trim_view(field(line, kInclination)),
      trim_view(field(line, kMeanAnomaly)),
      trim_view(field(line, kMeanMotion)),
      trim_view(field(line, kSemiMajorAxis)),
      trim_view(field(line, kSlope)),
      extended ? minor_planet_type(number_value, field(line, kFlags))
               : "asteroid",
  };
  static_assert(std::size(kKeys) == std::size(values), "one value per key");
  append_section(key, kKeys, values, std::size(kKeys), format, out);
}

void append_section(std::string_view key, const SectionKey* keys,
                    const std::string_view* values, std::size_t count,
                    SectionFormat format, std::string* out) {
  const bool extended = format == SectionFormat::kExtended;
  out->append("[");
  out->append(key);
  out->append("]");
  out->append(kLineEnd.data(), kLineEnd.size());
  for (std::size_t i = 0; i < count; ++i) {
    const KeyUse use = keys[i].use;
    if (use == (extended ? KeyUse::kDefaultOnly : KeyUse::kExtendedOnly)) {
      continue;
    }
    if ((extended || use == KeyUse::kWhenGiven) && values[i].empty()) continue;
    out->append(keys[i].text);
    out->append(values[i].data(), values[i].size());
    out->append(kLineEnd.data(), kLineEnd.size());
  }
  out->append(kLineEnd.data(), kLineEnd.size());
}

std::string_view readable_designation(std::string_view line) {
  return trim_view(field(line, kDesignation));
}

const LineKind kMinorPlanetLines = {check_section_line, write_section,
                                    readable_designation};

Conversion::Conversion(const ScanOptions& o, const LineKind& k)
    : options(o), kind(k) {
  out.reserve(o.flush_bytes + 4096);
}

namespace {

// The line of "number" (1-based in the file) is not converted: say why.
void warn_skipped(const Conversion& c, std::int64_t number) {
  if (c.options.warn) {
    c.options.warn(format_line_warning(c.options.path, number,
                                       c.skip.what + "; line skipped"));
  }
}

// Appends "copies" sections of "line" and hands them on once enough
// have gathered. REQUIRES: the line's kind accepts it.
bool add_sections(Conversion* c, std::string_view line, std::size_t copies,
                  Error* err) {
  for (std::size_t k = 0; k < copies; ++k) {
    c->kind.write(line, &c->out, c->options.format);
  }
  if (c->out.size() < c->options.flush_bytes) return true;
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

// True when some line of "body" is an orbit line. Stops at the first,
// which in a real catalogue is the first line looked at.
bool has_orbit_line(std::string_view body, Error* skip) {
  std::string_view line;
  while (take_line(&body, &line)) {
    if (check_section_line(line, skip)) return true;
  }
  return false;
}

}  // namespace

bool convert_matches(Conversion* c, std::string_view body,
                     const std::vector<NameMatch>& matches,
                     std::int64_t lines_before, Error* err) {
  const char* p = body.data();
  const char* end = p + body.size();
  const char* counted = p;                // line feeds before here are counted
  std::int64_t line_base = lines_before;  // catalogue lines before "counted"
  for (std::size_t i = 0; i < matches.size();) {
    // The matches of one line are its distinct names, and every one of
    // them gives the same section.
    const std::uint32_t line_start = matches[i].line_start;
    const char* at = p + matches[i].offset;
    const std::size_t first = i;
    while (i < matches.size() && matches[i].line_start == line_start) ++i;
    const char* line_begin = p + line_start;
    const char* line_end =
        static_cast<const char*>(std::memchr(at, '\n', end - at));
    if (line_end == nullptr) line_end = end;
    const std::string_view line(line_begin, line_end - line_begin);

    if (c->options.account != nullptr) {
      for (std::size_t k = first; k < i; ++k) {
        count_line(c->options.account, matches[k].name,
                   c->kind.designation(line));
      }
    }
    if (!c->kind.check(line, &c->skip)) {
      line_base += count_newlines(counted, line_begin);
      counted = line_begin;
      warn_skipped(*c, line_base + 1 + c->header_lines);
      continue;
    }
    if (!add_sections(c, line, i - first, err)) return false;
  }
  return true;
}

bool convert_selected(Conversion* c, std::string_view line,
                      std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err) {
  if (hits.empty()) return true;
  if (c->options.account != nullptr) {
    for (const std::uint32_t name : hits) {
      count_line(c->options.account, name, c->kind.designation(line));
    }
  }
  if (!c->kind.check(line, &c->skip)) {
    warn_skipped(*c, number);
    return true;
  }
  return add_sections(c, line, 1, err);
}

bool finish_conversion(Conversion* c, Error* err) {
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

namespace {

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
