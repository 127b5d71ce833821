// The scan of a catalogue in memory, cut into pieces scanned on several
// threads, against the scan of the same bytes read block by block: every
// output (sections, warnings with their line numbers, progress, the
// account, the line count, the error) must be the same.

#include "conversion/parallel_scan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "conversion/catalogue.h"
#include "selection/exact_match.h"
#include "scripted_reader.h"
#include "test_util.h"

namespace orbitpick {
namespace {

struct Outputs {
  bool ok = false;
  std::int64_t lines = -1;
  std::string out;
  std::vector<std::int64_t> progress;
  std::vector<std::string> warnings;
  NameAccount account;
  Error err;
  bool operator==(const Outputs& o) const {
    return ok == o.ok && lines == o.lines && out == o.out &&
           progress == o.progress && warnings == o.warnings &&
           account.lines[0] == o.account.lines[0] &&
           account.examples == o.account.examples &&
           account.conflicts == o.account.conflicts &&
           account.conflicted == o.account.conflicted &&
           err.path == o.err.path && err.what == o.err.what;
  }
};

// threads 0: read block by block; else in memory, in pieces.
Outputs run_scan(const std::string& catalogue,
                 const std::vector<std::string>& names, bool exact,
                 int threads, std::size_t piece_bytes, int fail_write_at) {
  Outputs r;
  init_account(&r.account, names.size());
  ScanOptions options;
  options.path = "MPCORB.DAT";
  options.threads = threads;
  options.piece_bytes = piece_bytes;
  options.flush_bytes = 300;
  options.buffer_bytes = 500;
  options.account = &r.account;
  options.progress = [&](std::int64_t n) { r.progress.push_back(n); };
  options.warn = [&](const std::string& w) { r.warnings.push_back(w); };
  int writes = 0;
  options.write = [&](std::string_view block, Error* err) {
    if (writes++ == fail_write_at) return fail(err, "out.ini", "disk full");
    r.out.append(block);
    return true;
  };
  test::ScriptedReader stream(catalogue, 97);
  test::InMemoryReader in_memory(catalogue);
  Reader* reader = threads > 0 ? static_cast<Reader*>(&in_memory) : &stream;
  if (exact) {
    const ExactIndex index = build_exact_index(names);
    r.ok = scan_catalogue(reader, index, options, &r.lines, &r.err);
  } else {
    const NameMatcher matcher = build_name_matcher(names);
    r.ok = scan_catalogue(reader, matcher, options, &r.lines, &r.err);
  }
  return r;
}

TEST(ParallelScan, PiecesGiveWhatTheBlockScanGives) {
  std::mt19937 rng(23);
  const char* const pool[] = {"Ceres", "Vesta",      "Eros", "2004 PC112",
                              "1",     "(4) Vesta",  "e",    "433 Eros",
                              "12",    "2004PC112",  "K25",  "Pallas"};
  for (int round = 0; round < 300; ++round) {
    // With and without the header; lines cut short (skipped, with a
    // warning), blank and overlong lines between the orbits.
    std::string catalogue = rng() % 4 ? test::catalogue_header() : "";
    const int lines = static_cast<int>(rng() % 80);
    for (int i = 0; i < lines; ++i) {
      switch (rng() % 8) {
        case 0:
          catalogue += std::string(rng() % 400, "Ce 4\r"[rng() % 5]);
          break;
        case 1:
          catalogue += test::catalogue_line(rng() % 20, pool[rng() % 12]);
          catalogue.resize(catalogue.size() - rng() % 60);
          break;
        default:
          catalogue += test::catalogue_line(rng() % 30, pool[rng() % 12]);
      }
      if (i + 1 < lines || rng() % 2) catalogue += "\n";
    }
    std::vector<std::string> names;
    for (int i = 0, n = 1 + rng() % 6; i < n; ++i) {
      names.push_back(pool[rng() % 12]);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const bool exact : {false, true}) {
      const Outputs expected = run_scan(catalogue, names, exact, 0, 0, -1);
      const int threads = 1 + static_cast<int>(rng() % 4);
      const std::size_t piece = 1 + rng() % 900;
      EXPECT_TRUE(expected ==
                  run_scan(catalogue, names, exact, threads, piece, -1))
          << "round " << round << (exact ? " exact" : "") << " threads "
          << threads << " pieces of " << piece;
    }
  }
}

// Progress passes every 10,000 lines, wherever the pieces end; and the
// in-memory scan stops at a failed write with the writer's error.
TEST(ParallelScan, ProgressAcrossPiecesAndAFailedWrite) {
  std::string catalogue = test::catalogue_header();
  for (int i = 0; i < 25000; ++i) {
    catalogue += test::catalogue_line(i + 1, i % 7 ? "Vesta" : "Ceres");
    catalogue += '\n';
  }
  const std::vector<std::string> names = {"Ceres"};
  const Outputs expected = run_scan(catalogue, names, false, 0, 0, -1);
  ASSERT_TRUE(expected.ok);
  EXPECT_EQ((std::vector<std::int64_t>{10000, 20000}), expected.progress);
  // Pieces of a few runs each (a piece is scanned 64 KiB at a time), and
  // one piece of the whole.
  for (const std::size_t piece : {std::size_t{5000}, std::size_t{300000},
                                  std::size_t{1} << 30}) {
    for (const bool exact : {false, true}) {
      EXPECT_TRUE(run_scan(catalogue, names, exact, 0, 0, -1) ==
                  run_scan(catalogue, names, exact, 3, piece, -1))
          << piece << (exact ? " exact" : "");
    }
  }
  const Outputs failed = run_scan(catalogue, names, false, 2, 5000, 3);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ("out.ini", failed.err.path);
  EXPECT_EQ("disk full", failed.err.what);
  EXPECT_EQ(0u, expected.out.compare(0, failed.out.size(), failed.out));
}

// The pieces cover the text once, in order, each ending after a line feed
// (or at the text's end), and never shorter than asked but for the last.
TEST(ParallelScan, CutsAtLineEndsAndCommitsInOrder) {
  const std::string text = "a\nbb\n\nccc\ndddd\ne";
  for (const int threads : {1, 2, 5}) {
    for (std::size_t piece = 1; piece < 20; ++piece) {
      std::vector<std::string> got(piece_slots(threads));
      std::string joined;
      std::atomic<int> scanned{0};
      const bool ok = scan_in_pieces(
          text, threads, piece,
          [&](int, std::size_t slot, std::string_view p) {
            got[slot] = std::string(p);
            ++scanned;
          },
          [&](std::size_t slot) {
            const std::string& p = got[slot];
            const bool last = joined.size() + p.size() == text.size();
            EXPECT_TRUE(last || (p.back() == '\n' && p.size() >= piece)) << p;
            joined += p;
            return true;
          });
      EXPECT_TRUE(ok);
      EXPECT_EQ(text, joined) << threads << " threads, pieces of " << piece;
    }
  }
  EXPECT_TRUE(has_line_longer_than("ab\nabcd\n", 4));
  EXPECT_FALSE(has_line_longer_than("ab\nabc\n", 4));
}

}  // namespace
}  // namespace orbitpick
