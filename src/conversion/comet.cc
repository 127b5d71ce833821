// Comet lines: the check, the section writer, the identities and the scan.

#include "conversion/comet.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <unordered_map>

#include "base/text.h"
#include "conversion/epoch.h"
#include "input/line_reader.h"
#include "selection/name_account.h"

namespace orbitpick {
namespace {

// Columns of a comet line.
constexpr Column kPacked{0, 12};
constexpr Column kOrbitType{4, 1};
constexpr Column kPerihelionYear{14, 4};
constexpr Column kPerihelionMonth{19, 2};
constexpr Column kPerihelionDay{22, 7};
constexpr Column kPerihelionDistance{30, 9};
constexpr Column kEccentricity{41, 8};
constexpr Column kPericenter{51, 8};
constexpr Column kNode{61, 8};
constexpr Column kInclination{71, 8};
constexpr Column kEpoch{81, 8};
constexpr Column kMagnitude{91, 4};
constexpr Column kSlope{96, 4};
constexpr Column kDesignation{102, 56};

constexpr std::string_view kOrbitTypes = "CPDXIA";

// Decimal places of a written Julian date: a microday, under 0.1 s.
constexpr int kJdDecimals = 6;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits only, at least one: sets *value.
bool parse_digits(std::string_view s, int* value) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (char c : s) {
    if (!is_digit(c)) return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// A number as the file prints it: an optional sign, digits, an optional
// point and more digits, at least one digit in all.
bool is_decimal(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  int digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits > 0;
}

// The value of a number that passed is_decimal. Parsed here rather than by
// strtod, whose decimal point follows the locale.
double decimal_value(std::string_view s) {
  const bool negative = s[0] == '-';
  double value = 0;
  double scale = 1;
  bool point = false;
  for (char c : s) {
    if (c == '.') {
      point = true;
    } else if (is_digit(c)) {
      value = value * 10 + (c - '0');
      if (point) scale *= 10;
    }
  }
  return (negative ? -value : value) / scale;
}

int days_in_month(int year, int month) {
  return static_cast<int>(
      month == 12
          ? calendar_jd(year + 1, 1, 1) - calendar_jd(year, 12, 1)
          : calendar_jd(year, month + 1, 1) - calendar_jd(year, month, 1));
}

bool valid_date(int year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 &&
         day <= days_in_month(year, month);
}

// The perihelion time as a Julian date (TT), or false when the three
// fields do not make a date: "2024", "09", "27.7667".
bool perihelion_jd(std::string_view line, double* jd) {
  int year = 0;
  int month = 0;
  int day = 0;
  const std::string_view day_text = trim_view(field(line, kPerihelionDay));
  const std::size_t point = day_text.find('.');
  const std::string_view whole = day_text.substr(0, point);
  if (!parse_digits(field(line, kPerihelionYear), &year) ||
      field(line, kPerihelionYear).size() != 4 ||
      !parse_digits(trim_view(field(line, kPerihelionMonth)), &month) ||
      !parse_digits(whole, &day) || !is_decimal(day_text) ||
      day_text[0] == '+' || day_text[0] == '-' ||
      !valid_date(year, month, day)) {
    return false;
  }
  const double fraction =
      point == std::string_view::npos ? 0.0 : decimal_value(day_text) - day;
  *jd = calendar_jd(year, month, day) + fraction;
  return true;
}

// The epoch YYYYMMDD as the Julian date of 0 h; false when it is not a date.
bool epoch_jd(std::string_view text, double* jd) {
  int date = 0;
  if (text.size() != 8 || !parse_digits(text, &date)) return false;
  const int year = date / 10000;
  const int month = date / 100 % 100;
  const int day = date % 100;
  if (!valid_date(year, month, day)) return false;
  *jd = calendar_jd(year, month, day);
  return true;
}

// "jd" with kJdDecimals places, trailing zeros and a bare point dropped.
std::string_view format_jd(double jd, char (&buf)[32]) {
  int n = std::snprintf(buf, sizeof buf, "%.*f", kJdDecimals, jd);
  if (n < 0 || n >= static_cast<int>(sizeof buf)) return {};
  while (n > 0 && buf[n - 1] == '0') --n;
  if (n > 0 && buf[n - 1] == '.') --n;
  return std::string_view(buf, n);
}

// The numeric columns: what a line needs, and how it is named when wrong.
struct NumberColumn {
  Column column;
  const char* what;
  bool required;
};
constexpr NumberColumn kNumberColumns[] = {
    {kPerihelionDistance, "perihelion distance", true},
    {kEccentricity, "eccentricity", true},
    {kPericenter, "argument of perihelion", true},
    {kNode, "ascending node", true},
    {kInclination, "inclination", true},
    {kMagnitude, "absolute magnitude", false},
    {kSlope, "slope parameter", false},
};

}  // namespace

bool check_comet_line(std::string_view line, Error* err) {
  if (line.size() < kMinCometLineBytes) {
    return fail(err, "line shorter than 103 bytes");
  }
  if (kOrbitTypes.find(line[kOrbitType.offset]) == std::string_view::npos) {
    return fail(err, "invalid orbit type");
  }
  double jd = 0;
  if (!perihelion_jd(line, &jd)) return fail(err, "invalid perihelion time");
  for (const NumberColumn& n : kNumberColumns) {
    const std::string_view text = trim_view(field(line, n.column));
    if (text.empty()) {
      if (n.required) return fail(err, std::string("missing ") + n.what);
    } else if (!is_decimal(text)) {
      return fail(err, std::string("invalid ") + n.what);
    }
  }
  // The orbit has no perihelion without a positive q; e = 1 (parabolic)
  // and e > 1 (hyperbolic) are ordinary comet orbits.
  if (decimal_value(trim_view(field(line, kPerihelionDistance))) <= 0) {
    return fail(err, "invalid perihelion distance");
  }
  if (decimal_value(trim_view(field(line, kEccentricity))) < 0) {
    return fail(err, "invalid eccentricity");
  }
  const std::string_view epoch = trim_view(field(line, kEpoch));
  if (!epoch.empty() && !epoch_jd(epoch, &jd)) {
    return fail(err, "invalid epoch");
  }
  if (trim_view(field(line, kDesignation)).empty()) {
    return fail(err, "missing designation");
  }
  return true;
}

namespace {

// The designation within "full", the designation and name as printed:
// "12P" of "12P/Pons-Brooks", "C/2023 A3" of "C/2023 A3
// (Tsuchinshan-ATLAS)", the whole of "A/2019 N2"; *name gets the rest.
std::string_view designation_part(std::string_view full,
                                  std::string_view* name) {
  *name = {};
  if (!full.empty() && is_digit(full[0])) {
    // A numbered comet: "12P/Pons-Brooks", "73P-BT/Schwassmann-Wachmann",
    // or the number alone ("288P").
    const std::size_t slash = full.find('/');
    if (slash != std::string_view::npos) {
      *name = trim_view(full.substr(slash + 1));
    }
    return full.substr(0, slash);
  }
  const std::size_t open = full.find(" (");
  if (open != std::string_view::npos && full.back() == ')') {
    *name = trim_view(full.substr(open + 2, full.size() - open - 3));
    return trim_view(full.substr(0, open));
  }
  return full;
}

// The iau_designation of the planetarium's own file: an unnumbered comet's
// designation ("C/2023 A3", "P/2004 V5-B"), which it shows the name after.
// A numbered periodic comet has none there unless its first provisional
// designation is known, which this file does not give: the planetarium
// reads the number from the name ("1P/Halley") and appends the perihelion
// year. It warns of a numbered interstellar one without; this file knows
// "2I/2019 Q4" as "2I/Borisov", which then stays findable by that name.
std::string_view iau_designation(std::string_view line,
                                 std::string_view full) {
  const bool numbered = !full.empty() && is_digit(full[0]);
  if (numbered) return line[kOrbitType.offset] == 'I' ? full : "";
  std::string_view name;
  return designation_part(full, &name);
}

}  // namespace

std::string comet_section_name(std::string_view line) {
  const std::string_view full = trim_view(field(line, kDesignation));
  std::string name;
  name.reserve(full.size());
  for (char c : full) {
    if (c == ' ' || c == '/' || c == '-' || c == '\'') continue;
    name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

void write_comet_section(std::string_view line, std::string* out,
                         SectionFormat format) {
  const std::string_view full = trim_view(field(line, kDesignation));
  const std::string key = comet_section_name(line);

  double jd = 0;
  char perihelion[32];
  perihelion_jd(line, &jd);
  const std::string_view perihelion_text = format_jd(jd, perihelion);
  char epoch[32];
  std::string_view epoch_text;
  if (epoch_jd(trim_view(field(line, kEpoch)), &jd)) {
    epoch_text = format_jd(jd, epoch);
  }

  // The keys in alphabetical order, as the planetarium writes them.
  using K = Key;
  using U = KeyUse;
  const SectionValue values[] = {
      {K::kAbsoluteMagnitude, U::kBoth, trim_view(field(line, kMagnitude))},
      {K::kCoordFunc, U::kDefaultOnly, "comet_orbit"},
      {K::kIauDesignation, U::kExtendedOnly, iau_designation(line, full)},
      {K::kName, U::kBoth, full},
      {K::kOrbitArgOfPericenter, U::kBoth, trim_view(field(line, kPericenter))},
      {K::kOrbitAscendingNode, U::kBoth, trim_view(field(line, kNode))},
      {K::kOrbitEccentricity, U::kBoth, trim_view(field(line, kEccentricity))},
      {K::kOrbitEpoch, U::kWhenGiven, epoch_text},
      {K::kOrbitInclination, U::kBoth, trim_view(field(line, kInclination))},
      {K::kOrbitPericenterDistance, U::kBoth,
       trim_view(field(line, kPerihelionDistance))},
      {K::kOrbitTimeAtPericenter, U::kBoth, perihelion_text},
      {K::kSlopeParameter, U::kWhenGiven, trim_view(field(line, kSlope))},
      // Interstellar ones too (the planetarium's own file calls them
      // "interstellar object"): only a comet gets a coma and tail, and
      // the comet brightness law that the file's H and slope are for.
      {K::kType, U::kBoth, "comet"},
  };
  append_section(key, values, std::size(values), format, out);
}

std::string_view comet_designation(std::string_view line) {
  return trim_view(field(line, kDesignation));
}

namespace {

void describe_comet(std::string_view line, LineFacts* facts) {
  facts->section = comet_section_name(line);
  facts->designation = comet_designation(line);
  facts->packed = trim_view(field(line, kPacked));
  facts->number = {};
  facts->has_magnitude = !trim_view(field(line, kMagnitude)).empty();
}

// A matched line: complete, and safe to copy into the INI file (the
// elements, magnitudes and the designation, which names the section).
bool check_matched_comet_line(std::string_view line, Error* err) {
  static constexpr Column kCopied[] = {kPerihelionDistance, kEccentricity,
                                       kPericenter,         kNode,
                                       kInclination,        kMagnitude,
                                       kSlope};
  return check_comet_line(line, err) &&
         check_copied_columns(line, kCopied, std::size(kCopied), kDesignation,
                              err);
}

}  // namespace

const LineKind kCometLines = {check_matched_comet_line, write_comet_section,
                              comet_designation, Source::kComets,
                              describe_comet};

CometIdentities comet_identities(std::string_view line) {
  CometIdentities ids;
  for (char c : field(line, kPacked)) {
    if (c != ' ') ids.packed += c;
  }
  const std::string_view full = trim_view(field(line, kDesignation));
  ids.full = std::string(full);
  std::string_view name;
  ids.designation = std::string(designation_part(full, &name));
  ids.name = std::string(name);
  return ids;
}

void mark_unique_names(std::vector<CometIdentities>* comets,
                       const std::unordered_map<std::string, int>& others) {
  std::unordered_map<std::string_view, int> count;
  for (const CometIdentities& c : *comets) {
    if (!c.name.empty()) ++count[c.name];
  }
  for (const auto& [name, lines] : others) {
    if (!name.empty()) count[name] += lines;
  }
  for (CometIdentities& c : *comets) {
    c.name_is_unique = !c.name.empty() && count[c.name] == 1;
  }
}

namespace {

// The listed names that select a comet line by one of its identities; its
// name alone only when "name_is_unique" (known once the whole file is).
void identity_hits(const ExactIndex& exact, const CometIdentities& ids,
                   std::string* key, std::vector<std::uint32_t>* hits) {
  hits->clear();
  for (const std::string* id :
       {&ids.packed, &ids.designation, &ids.full, &ids.name}) {
    if (id == &ids.name && !ids.name_is_unique) continue;
    key->clear();
    normalize_name(*id, key);
    find_identity(exact, *key, hits);
  }
  std::sort(hits->begin(), hits->end());
  hits->erase(std::unique(hits->begin(), hits->end()), hits->end());
}

// The lines a whole-designation scan must see again once the file is read:
// every comet line (a name alone selects only when no other line has it),
// and the other lines that some listed name already selects, for their
// warning; of the other lines, only the names they give, once each. Empty
// lines and junk cost nothing.
struct KeptLines {
  std::string text;
  struct Line {
    std::size_t offset;
    std::size_t size;
    std::int64_t number;  // in the file, from 1
  };
  std::vector<Line> lines;
  std::unordered_map<std::string, int> other_names;  // of the lines not kept
};

// Whole designations: one section for each kept line that "index"
// selects by one of its identities.
bool convert_designated(Conversion* c, const ExactIndex& index,
                        const KeptLines& kept,
                        const std::vector<CometIdentities>& identities,
                        Error* err) {
  std::vector<std::uint32_t> hits;
  std::string key;
  for (std::size_t i = 0; i < kept.lines.size(); ++i) {
    const KeptLines::Line& k = kept.lines[i];
    identity_hits(index, identities[i], &key, &hits);
    if (!convert_selected(
            c, std::string_view(kept.text).substr(k.offset, k.size), k.number,
            hits, err)) {
      return false;
    }
  }
  return true;
}

// Reads the file in runs of lines through a buffer of its own: memory
// follows the comet lines kept, not the file's size.
bool scan_comet_file(Reader* reader, const NameMatcher* matcher,
                     const ExactIndex* exact, const ScanOptions& options,
                     CometScan* scan, Error* err) {
  *err = Error();
  *scan = CometScan();
  LineBuffer buffer;
  init_line_buffer(&buffer, reader, options.buffer_bytes);
  Conversion conversion(options, kCometLines);
  // An empty file, a cut-short download or the asteroid catalogue in its
  // place would otherwise give no comets without a word.
  bool has_orbit_line = false;
  Error skip;
  MatchState state;
  std::vector<NameMatch> matches;
  KeptLines kept;
  std::vector<std::uint32_t> hits;
  std::vector<std::uint32_t> found;
  std::string key;
  std::int64_t count = 0;  // lines before the current run
  std::string_view run;
  LinesRead got;
  while ((got = next_lines(&buffer, &run, err)) == LinesRead::kRun) {
    std::string_view rest = run;
    std::string_view line;
    std::int64_t run_lines = 0;
    if (matcher != nullptr) {
      matches.clear();
      run_lines = find_names(*matcher, run, &state, &matches) +
                  (run.back() != '\n' ? 1 : 0);
      if (!convert_matches(&conversion, run, matches, count, err)) {
        return false;
      }
    }
    if (matcher != nullptr && options.refresh == nullptr) {
      while (!has_orbit_line && take_line(&rest, &line)) {
        has_orbit_line = check_comet_line(line, &skip);
      }
      count += run_lines;
      continue;
    }
    // Kept for the look-up by identities, which needs the whole file's
    // names first.
    while (take_line(&rest, &line)) {
      ++count;
      if (line.empty()) continue;
      const bool comet = check_comet_line(line, &skip);
      has_orbit_line = has_orbit_line || comet;
      if (!comet) {
        const CometIdentities ids = comet_identities(line);
        hits.clear();
        for (const ExactIndex* index : {exact, options.refresh}) {
          if (index == nullptr) continue;
          identity_hits(*index, ids, &key, &found);
          hits.insert(hits.end(), found.begin(), found.end());
        }
        if (hits.empty()) {
          if (!ids.name.empty()) ++kept.other_names[ids.name];
          continue;
        }
      }
      kept.lines.push_back({kept.text.size(), line.size(), count});
      kept.text.append(line);
    }
  }
  if (got == LinesRead::kFailed) {
    name_path(err, options.path);
    return false;
  }
  if (!has_orbit_line) {
    return fail(err, options.path,
                "no comet orbit lines: expected the Minor Planet Center's "
                "one-line comet orbits (CometEls.txt)");
  }
  scan->lines = count;
  if (exact == nullptr && options.refresh == nullptr) {
    return finish_conversion(&conversion, err);
  }

  // A comet's name alone names it only when no other line of the file has
  // it, so every line's identities come first.
  std::vector<CometIdentities> identities;
  identities.reserve(kept.lines.size());
  for (const KeptLines::Line& k : kept.lines) {
    identities.push_back(
        comet_identities(std::string_view(kept.text).substr(k.offset, k.size)));
  }
  mark_unique_names(&identities, kept.other_names);
  if (options.refresh != nullptr) {
    const ScanOptions refresh_options = refresh_scan_options(options);
    Conversion refresh(refresh_options, kCometLines);
    if (!convert_designated(&refresh, *options.refresh, kept, identities,
                            err) ||
        !finish_conversion(&refresh, err)) {
      return false;
    }
  }
  if (exact != nullptr &&
      !convert_designated(&conversion, *exact, kept, identities, err)) {
    return false;
  }
  return finish_conversion(&conversion, err);
}

}  // namespace

bool scan_comets(Reader* reader, const NameMatcher& matcher,
                 const ScanOptions& options, CometScan* scan, Error* err) {
  return scan_comet_file(reader, &matcher, nullptr, options, scan, err);
}

bool scan_comets(Reader* reader, const ExactIndex& index,
                 const ScanOptions& options, CometScan* scan, Error* err) {
  return scan_comet_file(reader, nullptr, &index, options, scan, err);
}

}  // namespace orbitpick
