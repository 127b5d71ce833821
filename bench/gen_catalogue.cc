// gen_catalogue: writes a synthetic, reproducible MPCORB.DAT and matching
// observing lists so orbitpick can be benchmarked on catalogue-sized input.
//
//   gen_catalogue OUTDIR [LINES]
//
// The output depends only on LINES: all randomness comes from splitmix64,
// numbers are printed from scaled integers rather than printf("%f"), and the
// little floating-point maths (a, e and the mean motion) is plain IEEE
// arithmetic and sqrt, rounded to the printed precision.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

static constexpr uint64_t kDefaultLines = 1450000;
// 70 % of lines are numbered; numbers above 9,999,999 would push "(n)" into
// the flag columns.
static constexpr uint64_t kMaxLines = 10000000;
static constexpr int kLineLen = 202;
static constexpr uint64_t kBigListLines = 1000000;
static const int kListSizes[] = {1, 10, 100, 1000, 10000};

[[noreturn]] static void die(const std::string& msg) {
  std::fprintf(stderr, "gen_catalogue: %s\n", msg.c_str());
  std::exit(1);
}

[[noreturn]] static void die_errno(const std::string& what,
                                   const std::string& path) {
  die(what + " " + path + ": " + std::strerror(errno));
}

struct Rng {
  uint64_t s;
  explicit Rng(uint64_t start) : s(start) {}
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Modulo bias is below 1e-11 for the ranges used here.
  uint64_t below(uint64_t n) { return next() % n; }
  int64_t range(int64_t lo, int64_t hi) {  // inclusive
    return lo + static_cast<int64_t>(below(static_cast<uint64_t>(hi - lo + 1)));
  }
  bool per_mille(unsigned p) { return below(1000) < p; }
  double unit() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
  }
};

// Buffered writer that checks every write and the final close.
class Out {
 public:
  explicit Out(std::string path) : path_(std::move(path)), buf_(kCap) {
    f_ = std::fopen(path_.c_str(), "wb");
    if (!f_) die_errno("cannot create", path_);
    std::setvbuf(f_, nullptr, _IONBF, 0);
  }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;
  ~Out() {
    if (f_) close();
  }
  void put(const char* p, size_t n) {
    if (len_ + n > kCap) flush();
    std::memcpy(buf_.data() + len_, p, n);
    len_ += n;
  }
  void put(const std::string& s) { put(s.data(), s.size()); }
  void put(char c) { put(&c, 1); }
  void close() {
    flush();
    if (std::fclose(f_) != 0) die_errno("cannot close", path_);
    f_ = nullptr;
  }
  uint64_t bytes() const { return total_ + len_; }

 private:
  static constexpr size_t kCap = size_t(4) << 20;
  void flush() {
    if (len_ && std::fwrite(buf_.data(), 1, len_, f_) != len_)
      die_errno("write failed on", path_);
    total_ += len_;
    len_ = 0;
  }
  std::string path_;
  std::FILE* f_ = nullptr;
  std::vector<char> buf_;
  size_t len_ = 0;
  uint64_t total_ = 0;
};

// ---- fixed-width fields -------------------------------------------------

static const int64_t kPow10[] = {1,      10,      100,      1000,     10000,
                                 100000, 1000000, 10000000, 100000000};

// Right-aligns the non-negative integer `v` in dst[0, width).
static void put_int(char* dst, int width, int64_t v) {
  char* p = dst + width;
  do {
    if (p == dst) die("field overflow (integer)");
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (p > dst) *--p = ' ';
}

// Right-aligns scaled/10^decimals as "%width.decimalsf" (scaled >= 0).
static void put_fixed(char* dst, int width, int decimals, int64_t scaled) {
  const int64_t ip = scaled / kPow10[decimals];
  int64_t fp = scaled % kPow10[decimals];
  char* p = dst + width;
  for (int i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + fp % 10);
    fp /= 10;
  }
  *--p = '.';
  put_int(dst, static_cast<int>(p - dst), ip);
}

static void put_zero_padded(char* dst, int width, int64_t v) {
  for (int i = width - 1; i >= 0; --i) {
    dst[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

static char base62(int v) {
  return v < 10   ? static_cast<char>('0' + v)
         : v < 36 ? static_cast<char>('A' + v - 10)
                  : static_cast<char>('a' + v - 36);
}

// MPC packed permanent number: 00001, A0345 (100345), a1234 (361234), ~0000
// (620000).
static void put_packed_number(char* dst, uint64_t n) {
  if (n < 100000) {
    put_zero_padded(dst, 5, static_cast<int64_t>(n));
  } else if (n < 620000) {
    dst[0] = base62(static_cast<int>(n / 10000));
    put_zero_padded(dst + 1, 4, static_cast<int64_t>(n % 10000));
  } else {
    uint64_t r = n - 620000;
    dst[0] = '~';
    for (int i = 4; i >= 1; --i) {
      dst[i] = base62(static_cast<int>(r % 62));
      r /= 62;
    }
  }
}

// ---- provisional designations ------------------------------------------

static const char kHalfMonth[] = "ABCDEFGHJKLMNOPQRSTUVWXY";  // 24, no I
static const char kOrder[] = "ABCDEFGHJKLMNOPQRSTUVWXYZ";     // 25, no I
static constexpr int kFirstYear = 1990, kLastYear = 2025, kMaxCycle = 619;

struct Provisional {
  int year, half, order, cycle;

  uint32_t key() const {
    return static_cast<uint32_t>(
        (((year - kFirstYear) * 24 + half) * 25 + order) * (kMaxCycle + 1) +
        cycle);
  }
  static uint32_t key_space() {
    return (kLastYear - kFirstYear + 1) * 24 * 25 * (kMaxCycle + 1);
  }

  // "2004 PC112"
  std::string readable() const {
    std::string s = std::to_string(year);
    s += ' ';
    s += kHalfMonth[half];
    s += kOrder[order];
    if (cycle) s += std::to_string(cycle);
    return s;
  }
  // "K04PB2C": century letter, year, half-month, base-62 cycle tens, cycle
  // units, order.
  void packed(char* dst) const {
    dst[0] = static_cast<char>('A' + year / 100 - 10);
    put_zero_padded(dst + 1, 2, year % 100);
    dst[3] = kHalfMonth[half];
    dst[4] = base62(cycle / 10);
    dst[5] = static_cast<char>('0' + cycle % 10);
    dst[6] = kOrder[order];
  }
};

// Designations are unique across the catalogue, like the real one.
class ProvisionalPool {
 public:
  ProvisionalPool() : used_(Provisional::key_space(), false) {}
  Provisional draw(Rng& rng) {
    for (;;) {
      Provisional p;
      p.year = static_cast<int>(rng.range(kFirstYear, kLastYear));
      p.half = static_cast<int>(rng.below(24));
      p.order = static_cast<int>(rng.below(25));
      if (rng.per_mille(80))
        p.cycle = 0;
      else if (rng.per_mille(800))
        p.cycle = static_cast<int>(rng.range(1, 99));
      else
        p.cycle = static_cast<int>(rng.range(100, kMaxCycle));
      const uint32_t k = p.key();
      if (!used_[k]) {
        used_[k] = true;
        return p;
      }
    }
  }

 private:
  std::vector<bool> used_;
};

// ---- names --------------------------------------------------------------

static const char* const kOnsets[] = {
    "b",  "c",  "d",  "f",  "g",  "h",  "j",  "k",  "l",  "m",  "n",  "p",
    "r",  "s",  "t",  "v",  "w",  "z",  "br", "ch", "cl", "dr", "fr", "gl",
    "gr", "kr", "ph", "pr", "sh", "st", "th", "tr", "",   "",   ""};
static const char* const kVowels[] = {"a",  "e",  "i",  "o",  "u",  "a",
                                      "e",  "i",  "o",  "ai", "ea", "ia",
                                      "io", "ou", "ei", "y"};
static const char* const kCodas[] = {"",   "",  "",   "",  "",   "",
                                     "n",  "r", "s",  "l", "m",  "nd",
                                     "rt", "k", "th", "x", "ll", "ns"};
static const char* const kParticles[] = {"van", "de", "von", "da",  "del",
                                         "di",  "la", "le",  "ter", "du"};

template <size_t N>
static const char* pick(Rng& rng, const char* const (&table)[N]) {
  return table[rng.below(N)];
}

static std::string word(Rng& rng, int syllables) {
  std::string w;
  do {  // a bare vowel is not a word
    w.clear();
    for (int i = 0; i < syllables; ++i) {
      w += pick(rng, kOnsets);
      w += pick(rng, kVowels);
      if (i + 1 == syllables || rng.per_mille(300)) w += pick(rng, kCodas);
    }
  } while (w.size() < 2);
  w[0] = static_cast<char>(w[0] - 'a' + 'A');
  return w;
}

static int syllable_count(Rng& rng) {
  const uint64_t r = rng.below(100);
  return r < 5 ? 1 : r < 40 ? 2 : r < 80 ? 3 : r < 95 ? 4 : 5;
}

// Capitalised, 3-18 characters; a few "van Gogh"- or "Ra-Shalom"-shaped.
static std::string make_name(Rng& rng) {
  for (;;) {
    std::string n;
    const uint64_t kind = rng.below(1000);
    if (kind < 15) {
      n = pick(rng, kParticles);
      n += ' ';
      n += word(rng, static_cast<int>(rng.range(1, 3)));
    } else if (kind < 25) {
      n = word(rng, static_cast<int>(rng.range(1, 2)));
      n += '-';
      n += word(rng, static_cast<int>(rng.range(1, 3)));
    } else {
      n = word(rng, syllable_count(rng));
    }
    if (n.size() >= 3 && n.size() <= 18) return n;
  }
}

// ---- header -------------------------------------------------------------

static const char* const kHeader[] = {
    "MINOR PLANET CENTER ORBIT DATABASE (MPCORB)",
    "",
    "SYNTHETIC BENCHMARK FILE: every orbit below was made up by gen_catalogue "
    "with a",
    "fixed starting value. The columns are those of MPCORB.DAT; the "
    "contents do",
    "not describe any real minor planet and must not be used for observing.",
    "",
    "The file lists osculating orbital elements for numbered objects, followed "
    "by",
    "unnumbered multi-opposition and single-opposition objects. One orbit per "
    "line,",
    "fixed columns, 202 characters per record.",
    "",
    "Column layout (1-based):",
    "",
    "   1 -   7  Number or provisional designation, in packed form",
    "   9 -  13  Absolute magnitude, H",
    "  15 -  19  Slope parameter, G",
    "  21 -  25  Epoch, in packed form, .0 TT",
    "  27 -  35  Mean anomaly at the epoch, degrees",
    "  38 -  46  Argument of perihelion, J2000.0, degrees",
    "  49 -  57  Longitude of the ascending node, J2000.0, degrees",
    "  60 -  68  Inclination to the ecliptic, J2000.0, degrees",
    "  71 -  79  Orbital eccentricity",
    "  81 -  91  Mean daily motion, degrees per day",
    "  93 - 103  Semimajor axis, AU",
    " 106        Uncertainty parameter U",
    " 108 - 116  Reference",
    " 118 - 122  Number of observations",
    " 124 - 126  Number of oppositions",
    " 128 - 136  Arc: first and last year observed, or length in days",
    " 138 - 141  r.m.s. residual, arcseconds",
    " 143 - 145  Coarse indicator of perturbers",
    " 147 - 149  Precise indicator of perturbers",
    " 151 - 160  Computer name",
    " 162 - 165  Hexadecimal flags",
    " 166 - 194  Readable designation",
    " 195 - 202  Date of last observation included in the orbit solution "
    "(YYYYMMDD)",
    "",
    "Epochs are packed as century letter, two-digit year, month and day "
    "characters,",
    "for example K2555 for the standard epoch of this file.",
    "",
    "MPCORB.DAT (synthetic)",
    "",
    "Des'n     H     G   Epoch     M        Peri.      Node       Incl.       "
    "e            n"
    "           a        Reference #Obs #Opp    Arc    rms  Perts   Computer",
    "--------------------------------------------------------------------------"
    "---------------"
    "--------------------------------------------------------------------------"
    "------",
};
static_assert(sizeof kHeader / sizeof kHeader[0] == 43,
              "MPCORB header is 43 lines");

// ---- orbits -------------------------------------------------------------

struct Epoch {
  const char* packed;
  unsigned weight;  // per mille
};
static const Epoch kEpochs[] = {
    {"K2555", 860}, {"K24AH", 80}, {"K239P", 40}, {"K22CS", 10}, {"J98A1", 10}};

static const char* epoch(Rng& rng) {
  uint64_t r = rng.below(1000);
  for (const Epoch& e : kEpochs) {
    if (r < e.weight) return e.packed;
    r -= e.weight;
  }
  return kEpochs[0].packed;
}

static void put_arc_years(char* dst, int first, int last) {
  put_zero_padded(dst, 4, first);
  dst[4] = '-';
  put_zero_padded(dst + 5, 4, last);
}

static int64_t scaled(double v, int64_t scale) {
  return std::llround(v * static_cast<double>(scale));
}

enum class Kind { NumberedNamed, NumberedUnnamed, Unnumbered };

struct Object {
  Kind kind;
  uint64_t number;     // numbered only
  std::string name;    // named only
  Provisional prov{};  // unnamed and unnumbered
};

// Everything in columns 8-164 plus the date of last observation.
static void put_orbit(char* line, Rng& rng, const Object& obj) {
  const bool numbered = obj.kind != Kind::Unnumbered;

  // H: numbered objects get fainter with number, roughly like the real
  // catalogue.
  int64_t h;
  if (numbered) {
    uint64_t p = 1;
    int digits = 0;
    while (p * 10 <= obj.number) p *= 10, ++digits;
    const int64_t log100 =
        100 * digits + static_cast<int64_t>((obj.number - p) * 100 / (9 * p));
    h = 500 + log100 * 250 / 100 + rng.range(-60, 60) + rng.range(-60, 60) +
        rng.range(-60, 60);
  } else {
    h = rng.range(1350, 2250);
  }
  h = std::min<int64_t>(std::max<int64_t>(h, 300), 2400);
  put_fixed(line + 8, 5, 2, h);
  put_fixed(line + 14, 5, 2, rng.per_mille(50) ? rng.range(5, 40) : 15);
  std::memcpy(line + 20, epoch(rng), 5);

  // Orbit class decides a, e, i and the flag bits.
  double a, e;
  int64_t incl;
  unsigned flags = 0;
  const uint64_t cls = rng.below(1000);
  if (cls < 30) {  // near-Earth
    a = 0.75 + 1.9 * rng.unit();
    const double emin = std::max(0.05, 1.0 - 1.3 / a);
    e = emin + (0.9 - emin) * rng.unit();
    incl = rng.range(0, 4000000);
    flags = 0x0800u |
            static_cast<unsigned>(a < 1.0 ? 2 : (a * (1 - e) < 1.017 ? 3 : 4));
  } else if (cls < 60) {  // Hungaria
    a = 1.78 + 0.22 * rng.unit();
    e = 0.15 * rng.unit();
    incl = rng.range(1600000, 3400000);
    flags = 6;
  } else if (cls < 80) {  // Hilda and Jupiter Trojan
    a = 3.9 + 1.4 * rng.unit();
    e = 0.2 * rng.unit();
    incl = rng.range(0, 3500000);
    flags = a > 5.0 ? 9 : 0;
  } else if (cls < 90) {  // distant
    a = 30.0 + 20.0 * rng.unit();
    e = 0.4 * rng.unit();
    incl = rng.range(0, 4000000);
    flags = 10;
  } else {  // main belt
    a = 2.1 + 1.2 * rng.unit();
    e = 0.35 * rng.unit();
    incl = static_cast<int64_t>(rng.below(rng.below(3000000) + 1));
  }
  if (rng.per_mille(2))
    incl = rng.range(9000000, 17500000);  // the odd retrograde one

  const int64_t a7 = scaled(a, 10000000);
  const double a_rounded = static_cast<double>(a7) / 1e7;
  const double motion =
      0.9856076686 / (a_rounded * std::sqrt(a_rounded));  // Gauss, deg/day

  put_fixed(line + 26, 9, 5, rng.range(0, 35999999));
  put_fixed(line + 37, 9, 5, rng.range(0, 35999999));
  put_fixed(line + 48, 9, 5, rng.range(0, 35999999));
  put_fixed(line + 59, 9, 5, incl);
  put_fixed(line + 70, 9, 7, scaled(e, 10000000));
  put_fixed(line + 80, 11, 8, scaled(motion, 100000000));
  put_fixed(line + 92, 11, 7, a7);

  // Observation history: arc, oppositions, observation count, quality.
  int last_year;
  int opps;
  bool single_opposition = false;
  if (numbered) {
    const int first = static_cast<int>(
        obj.number <= 200 ? rng.range(1801, 1930) : rng.range(1900, 2016));
    last_year = static_cast<int>(rng.range(2018, 2025));
    opps = static_cast<int>(rng.range(3, std::min(99, last_year - first + 1)));
    put_arc_years(line + 127, first, last_year);
  } else if (rng.per_mille(600)) {
    const int first = std::min(obj.prov.year, 2023);
    last_year = static_cast<int>(rng.range(first + 1, 2025));
    opps = static_cast<int>(rng.range(2, std::min(10, last_year - first + 1)));
    put_arc_years(line + 127, first, last_year);
  } else {
    single_opposition = true;
    last_year = obj.prov.year;
    opps = 1;
    put_int(line + 127, 4, rng.range(1, 300));
    std::memcpy(line + 131, " days", 5);
  }

  static const char kU[] = "0123456789E";
  line[105] = numbered            ? kU[rng.range(0, 2)]
              : single_opposition ? kU[rng.range(5, 10)]
                                  : kU[rng.range(2, 6)];

  char* ref = line + 107;
  const uint64_t rk = rng.below(10);
  if (rk < 5) {
    std::memcpy(ref, "MPO", 3);
    put_zero_padded(ref + 3, 6, rng.range(100000, 899999));
  } else if (rk < 9) {
    ref[0] = 'E';
    put_zero_padded(ref + 1, 4, rng.range(2015, 2025));
    ref[5] = '-';
    ref[6] = kHalfMonth[rng.below(24)];
    put_zero_padded(ref + 7, 2, rng.range(1, 99));
  } else {
    std::memcpy(ref, "MPC ", 4);
    put_zero_padded(ref + 4, 5, rng.range(10000, 99999));
  }

  const int64_t obs = single_opposition
                          ? rng.range(3, 60)
                          : std::min<int64_t>(99999, opps * rng.range(6, 40));
  put_int(line + 117, 5, obs);
  put_int(line + 123, 3, opps);
  put_fixed(line + 137, 4, 2,
            single_opposition ? rng.range(20, 150) : rng.range(10, 99));

  static const char* const kCoarse[] = {"M-v", "M-v", "M-v", "M-h", "M-c"};
  static const char* const kPrecise[] = {"3Ek", "3Ek", "30k", "38h", "3Eh"};
  std::memcpy(line + 142, pick(rng, kCoarse), 3);
  std::memcpy(line + 146, pick(rng, kPrecise), 3);
  std::memcpy(line + 150, "MPCLINUX  ", 10);
  if (single_opposition) flags |= 0x2000u;
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 4; ++i)
    line[161 + i] = kHex[(flags >> (12 - 4 * i)) & 0xF];

  put_zero_padded(line + 194, 4, last_year);
  put_zero_padded(line + 198, 2, rng.range(1, 12));
  put_zero_padded(line + 200, 2, rng.range(1, 28));
}

static void format_line(char* line, Rng& rng, const Object& obj) {
  std::memset(line, ' ', kLineLen);
  line[kLineLen] = '\n';
  if (obj.kind == Kind::Unnumbered) {
    obj.prov.packed(line);
  } else {
    put_packed_number(line, obj.number);
    const std::string num = "(" + std::to_string(obj.number) + ")";
    std::memcpy(line + 174 - num.size(), num.data(), num.size());
  }
  const std::string readable =
      obj.kind == Kind::NumberedNamed ? obj.name : obj.prov.readable();
  std::memcpy(line + 175, readable.data(), readable.size());
  put_orbit(line, rng, obj);
}

// ---- observing lists -----------------------------------------------------

static void put_list_line(Out& out, Rng& rng, const std::string& designation) {
  char coords[48];
  const int ra_h = static_cast<int>(rng.range(0, 23)),
            ra_m = static_cast<int>(rng.range(0, 59)),
            ra_s = static_cast<int>(rng.range(0, 59));
  const int dec_d = static_cast<int>(rng.range(0, 35)),
            dec_m = static_cast<int>(rng.range(0, 59)),
            dec_s = static_cast<int>(rng.range(0, 59));
  const int mag = static_cast<int>(rng.range(120, 220));
  const int n = std::snprintf(coords, sizeof coords,
                              ",%02d %02d %02d,%c%02d %02d %02d,%d.%d\n", ra_h,
                              ra_m, ra_s, rng.per_mille(500) ? '+' : '-', dec_d,
                              dec_m, dec_s, mag / 10, mag % 10);
  out.put('"');
  out.put(designation);
  out.put('"');
  out.put(coords, static_cast<size_t>(n));
}

static const char kListHeader[] = "\"Name\",\"RA\",\"Dec\",\"Mag\"\n";

static uint64_t parse_lines(const char* s) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(s, &end, 10);
  if (errno || end == s || *end || s[0] == '-' || v > kMaxLines)
    die(std::string("LINES must be an integer from 0 to ") +
        std::to_string(kMaxLines) + ", got '" + s + "'");
  return v;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr,
                 "usage: gen_catalogue OUTDIR [LINES]   (default %llu lines)\n",
                 static_cast<unsigned long long>(kDefaultLines));
    return 2;
  }
  const auto t0 = std::chrono::steady_clock::now();
  const std::string dir = argv[1];
  const uint64_t lines = argc == 3 ? parse_lines(argv[2]) : kDefaultLines;
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
    die_errno("cannot create directory", dir);

  std::string header_text;
  for (const char* h : kHeader) (header_text += h) += '\n';

  // List entries come from objects spread evenly over the file.
  std::unordered_map<uint64_t, std::string> wanted;
  if (lines)
    for (int n : kListSizes)
      for (uint64_t k = 0; k < static_cast<uint64_t>(n); ++k)
        wanted.emplace((2 * k + 1) * lines / (2 * n), "");

  const uint64_t numbered = lines * 70 / 100;
  const uint64_t named_total = lines * 60 / 100;
  uint64_t named_left = named_total, counts[3] = {0, 0, 0};

  Rng rng(0x6F72626974706B31ULL);
  ProvisionalPool pool;
  std::unordered_set<std::string> names;
  names.reserve(named_total + named_total / 4);

  Out cat(dir + "/MPCORB.DAT");
  cat.put(header_text);
  char line[kLineLen + 1];
  Object obj;
  for (uint64_t i = 0; i < lines; ++i) {
    if (i < numbered) {
      obj.number = i + 1;
      const uint64_t numbered_left = numbered - i;
      // The first few thousand are all named, as in the real catalogue.
      const bool named = named_left && (obj.number <= 5000 ||
                                        rng.below(numbered_left) < named_left);
      if (named) {
        --named_left;
        obj.kind = Kind::NumberedNamed;
        auto it = wanted.find(i);
        for (;;) {
          obj.name = make_name(rng);
          // A listed name must not also occur in the header, or grep would
          // count header lines.
          if (it != wanted.end() &&
              header_text.find(obj.name) != std::string::npos)
            continue;
          if (names.insert(obj.name).second) break;
        }
      } else {
        obj.kind = Kind::NumberedUnnamed;
        obj.prov = pool.draw(rng);
      }
    } else {
      obj.kind = Kind::Unnumbered;
      obj.prov = pool.draw(rng);
    }
    ++counts[static_cast<int>(obj.kind)];
    format_line(line, rng, obj);
    cat.put(line, sizeof line);
    auto it = wanted.find(i);
    if (it != wanted.end())
      it->second =
          obj.kind == Kind::NumberedNamed ? obj.name : obj.prov.readable();
  }
  const uint64_t cat_bytes = cat.bytes();
  cat.close();

  Rng list_rng(0x6C69737473313233ULL);
  for (int n : kListSizes) {
    Out csv(dir + "/list_" + std::to_string(n) + ".csv");
    Out txt(dir + "/names_" + std::to_string(n) + ".txt");
    csv.put(kListHeader, sizeof kListHeader - 1);
    if (lines)
      for (uint64_t k = 0; k < static_cast<uint64_t>(n); ++k) {
        const std::string& d = wanted.at((2 * k + 1) * lines / (2 * n));
        put_list_line(csv, list_rng, d);
        txt.put(d);
        txt.put('\n');
      }
  }

  Rng big_rng(0x6269676C69737431ULL);
  Out big(dir + "/list_" + std::to_string(kBigListLines) + ".csv");
  big.put(kListHeader, sizeof kListHeader - 1);
  for (uint64_t k = 0; k < kBigListLines; ++k)
    put_list_line(big, big_rng, make_name(big_rng));
  big.close();

  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
          .count();
  std::fprintf(stderr,
               "gen_catalogue: %s/MPCORB.DAT: %llu orbits (%llu numbered "
               "named, %llu numbered unnamed, "
               "%llu unnumbered), %llu bytes; lists written; %.2f s\n",
               dir.c_str(), static_cast<unsigned long long>(lines),
               static_cast<unsigned long long>(counts[0]),
               static_cast<unsigned long long>(counts[1]),
               static_cast<unsigned long long>(counts[2]),
               static_cast<unsigned long long>(cat_bytes), secs);
  return 0;
}
