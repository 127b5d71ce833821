// Fuzzes the catalogue scan: any bytes as MPCORB.DAT, read through a buffer
// far smaller than a line so that runs end everywhere and long lines make
// the buffer grow, with both the vector and the plain candidate filter.
//
// Input: byte 0 picks the buffer size (1-512), byte 1 the read size, the
// name set, the flush size, whether reading or writing fails part way and
// whether the catalogue is read ahead on a second thread; the rest is the
// catalogue. The sections, warnings and line count must be
// exactly those of a plain line-by-line search with std::string::find,
// under the same planetarium rules (Pluto left out, no-magnitude warnings,
// section names made unique).
// The catalogue is also scanned as a mapped file is, whole in memory: cut
// into pieces of the buffer's size, wherever its lines end, and searched on
// one to four threads (byte 0 picks them), with the same results.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/catalogue.h"
#include "conversion/planetarium_rules.h"
#include "fuzz_reader.h"
#include "selection/name_matcher.h"
#include "input/threaded_reader.h"

namespace orbitpick {
namespace {

// Sorted, as the target list is. Digit-only and one-letter names match
// almost everywhere in a catalogue line; the others rarely. The sets differ
// in size and in the lengths of their names, hence in the filter the
// matcher picks (four names or fewer: the rare-byte pairs).
const std::vector<std::string> kNameSets[] = {
    {"1", "2004 PC112", "2024", "Ceres", "e"},
    {"24", "Ceres", "Eros", "K2"},
    {"2004 PC112", "Ceres", "Juno", "Ve", "Vesta", "Vesta (4)", "s"},
    {"Ceres"},
};

constexpr char kWriteError[] = "No space left on device";

struct Result {
  bool ok = false;
  std::string out;
  std::vector<std::string> warnings;
  std::int64_t lines = -1;
  Error err;
  int writes = 0;  // calls of "write", the failing one included
};

Result reference_scan(std::string_view catalogue,
                      const std::vector<std::string>& names) {
  Result r;
  std::int64_t number = 0;  // 1-based line number in the file
  std::int64_t header = kHeaderLines;
  bool orbit_line = false;
  SectionNames sections;
  std::size_t begin = 0;
  while (begin < catalogue.size()) {
    std::size_t end = catalogue.find('\n', begin);
    if (end == std::string_view::npos) end = catalogue.size();
    const std::string_view line = catalogue.substr(begin, end - begin);
    begin = end + 1;
    ++number;
    Error check;
    // A file whose first line is an orbit has no header.
    if (number == 1 && check_section_line(line, &check)) header = 0;
    if (number <= header) continue;
    orbit_line = orbit_line || check_section_line(line, &check);
    int hits = 0;
    for (const std::string& name : names) {
      if (line.find(name) != std::string_view::npos) ++hits;
    }
    if (hits == 0) continue;
    Error problem;
    if (!kMinorPlanetLines.check(line, &problem)) {
      r.warnings.push_back("orbitpick: MPCORB.DAT:" + std::to_string(number) +
                           ": " + problem.what + "; line skipped");
      continue;
    }
    // The planetarium's rules, applied as the scan applies them.
    const std::string at =
        "orbitpick: MPCORB.DAT:" + std::to_string(number) + ": ";
    LineFacts facts;
    kMinorPlanetLines.describe(line, &facts);
    const std::string_view left_out = left_out_reason(facts);
    if (!left_out.empty()) {
      r.warnings.push_back(at + std::string(facts.designation) +
                           " left out: " + std::string(left_out));
      continue;
    }
    if (!facts.has_magnitude) {
      r.warnings.push_back(at + no_magnitude_warning(facts));
    }
    std::string suffix;
    std::string other;
    if (!claim_section_name(&sections, facts, &suffix, &other)) {
      r.warnings.push_back(at + renamed_section_warning(facts, suffix, other));
    }
    for (int i = 0; i < hits; ++i) {
      std::string section;
      write_section(line, &section);
      r.out += section.insert(1 + facts.section.size(), suffix);
    }
  }
  r.ok = orbit_line;
  r.lines = number > header ? number - header : 0;
  return r;
}

// A reader of bytes that lie in memory, which the scan takes in pieces.
class InMemoryReader : public Reader {
 public:
  explicit InMemoryReader(std::string_view bytes) : bytes_(bytes) {}
  bool read(char*, std::size_t, std::size_t* got, Error*) override {
    *got = 0;
    return true;
  }
  std::string_view mapped() const override { return bytes_; }

 private:
  std::string_view bytes_;
};

// threads > 0: the catalogue in memory, in pieces of "buffer_bytes".
Result scan(std::string_view catalogue, const NameMatcher& matcher,
            std::size_t buffer_bytes, std::size_t step, std::size_t flush_bytes,
            std::size_t fail_read_at, int fail_write_at, bool read_ahead,
            int threads = 0) {
  Result r;
  std::unique_ptr<Reader> reader =
      std::make_unique<fuzz::ScriptedReader>(catalogue, step, fail_read_at);
  if (threads > 0) {
    reader = std::make_unique<InMemoryReader>(catalogue);
  } else if (read_ahead) {
    // Blocks that end anywhere in a line, a few of them ahead.
    reader = make_threaded_reader(std::move(reader), 1 + buffer_bytes * 3 / 4,
                                  1 + static_cast<int>(step % 3));
  }
  ScanOptions options;
  options.path = "MPCORB.DAT";
  options.buffer_bytes = buffer_bytes;
  options.threads = threads;
  options.piece_bytes = buffer_bytes;
  options.flush_bytes = flush_bytes;
  options.warn = [&](const std::string& message) {
    r.warnings.push_back(message);
  };
  options.write = [&](std::string_view block, Error* err) {
    if (r.writes++ == fail_write_at) return fail(err, "out.ini", kWriteError);
    r.out.append(block);
    return true;
  };
  r.ok = scan_catalogue(reader.get(), matcher, options, &r.lines, &r.err);
  return r;
}

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size < 2) return 0;
  const std::size_t buffer_bytes = 1 + (data[0] + 256 * (data[1] & 1)) % 512;
  const std::uint8_t control = data[1] >> 1;
  const std::size_t step = (control & 1) ? buffer_bytes : 1 + control % 7;
  const std::vector<std::string>& names = kNameSets[(control >> 1) % 4];
  const std::size_t flush_bytes = (control & 8) ? 1 : 64 * 1024;
  const int failure = (control >> 4) & 3;  // 0, 1: none; 2: read; 3: write
  const bool read_ahead = (control & 64) != 0;  // through a second thread
  const int threads = 1 + data[0] % 4;
  const std::string_view catalogue(reinterpret_cast<const char*>(data) + 2,
                                   size - 2);

  const Result expected = reference_scan(catalogue, names);
  MatcherOptions plain_only;
  plain_only.allow_vbmi = false;
  plain_only.allow_avx2 = false;
  const NameMatcher plain = build_name_matcher(names, plain_only);
  const NameMatcher fastest = build_name_matcher(names);
  for (const NameMatcher* m : {&plain, &fastest}) {
    if (m == &fastest && fastest.filter() == MatcherFilter::kPlain) continue;
    const NameMatcher& matcher = *m;
    if (failure < 2) {
      const Result got = scan(catalogue, matcher, buffer_bytes, step,
                              flush_bytes, std::string_view::npos, -1,
                              read_ahead);
      fuzz::check(got.ok == expected.ok);
      if (!got.ok) {
        fuzz::check(got.err.path == "MPCORB.DAT" &&
                    got.err.what.rfind("no orbit lines", 0) == 0);
        return 0;
      }
      fuzz::check(got.lines == expected.lines);
      fuzz::check(got.warnings == expected.warnings);
      fuzz::check(got.out == expected.out);
      const Result pieces = scan(catalogue, matcher, buffer_bytes, step,
                                 flush_bytes, std::string_view::npos, -1,
                                 false, threads);
      fuzz::check(pieces.ok && pieces.lines == expected.lines);
      fuzz::check(pieces.warnings == expected.warnings);
      fuzz::check(pieces.out == expected.out);
    } else if (failure == 2 && !catalogue.empty()) {
      const Result got = scan(catalogue, matcher, buffer_bytes, step,
                              flush_bytes, catalogue.size() / 2, -1,
                              read_ahead);
      fuzz::check(!got.ok && got.err.what == fuzz::kReadError &&
                  got.err.path == "MPCORB.DAT");
      fuzz::check(expected.out.compare(0, got.out.size(), got.out) == 0);
    } else if (failure == 3 && expected.ok) {
      // The scan must stop at the first failed write and report it.
      const Result full = scan(catalogue, matcher, buffer_bytes, step,
                               flush_bytes, std::string_view::npos, -1,
                               read_ahead);
      const int fail_at = full.writes / 2;
      const Result got = scan(catalogue, matcher, buffer_bytes, step,
                              flush_bytes, std::string_view::npos, fail_at,
                              read_ahead);
      fuzz::check(!got.ok && got.err.what == kWriteError &&
                  got.err.path == "out.ini");
      fuzz::check(got.writes == fail_at + 1);
      // In pieces, its first write fails: nothing written, the error told.
      const Result pieces = scan(catalogue, matcher, buffer_bytes, step,
                                 flush_bytes, std::string_view::npos, 0,
                                 false, threads);
      fuzz::check(!pieces.ok && pieces.err.what == kWriteError &&
                  pieces.err.path == "out.ini" && pieces.out.empty());
      fuzz::check(expected.out.compare(0, got.out.size(), got.out) == 0);
    }
  }
  return 0;
}
