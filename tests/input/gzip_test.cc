// The compressed catalogue: the gzip reader on its own (with each
// decompressor the build holds, read directly and on a thread), the
// recognition of gzip by content, and the program run on plain, compressed,
// multi-member, truncated and corrupt catalogues.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "conversion/catalogue.h"
#include "input/gzip_reader.h"
#include "input/input_file.h"
#include "input/line_reader.h"
#include "selection/name_matcher.h"
#include "test_util.h"
#include "input/threaded_reader.h"

namespace orbitpick {
namespace {

using test::catalogue_header;
using test::catalogue_line;
using test::gzip;
using test::list_dir;
using test::read_file;
using test::run_orbitpick;
using test::ScriptedReader;
using test::TempDir;
using test::without_credit;
using test::write_file;

constexpr char kTruncated[] = "unexpected end of compressed data";
constexpr char kNoOrbitLines[] =
    "no orbit lines: expected the Minor Planet Center's one-line orbits "
    "(MPCORB.DAT, NEA.txt, ...), each at least 175 bytes with a packed epoch "
    "in columns 21-25";
constexpr char kTrailing[] = "trailing garbage after compressed data";

// A catalogue of "count" orbits, with names that do not repeat, so that it
// compresses to more than a few input buffers' worth at small sizes.
std::string big_catalogue(int count) {
  std::string text = catalogue_header();
  for (int i = 1; i <= count; ++i) {
    text += catalogue_line(
        i, i % 100 == 0 ? "Ceres" : "N" + std::to_string(i * 7919));
    text += '\n';
  }
  return text;
}

struct ReadAll {
  bool ok = false;
  std::string data;
  std::string err;
};

// Everything "reader" hands out, "step" bytes at most per call.
ReadAll read_all(Reader* reader, std::size_t step = 64 * 1024) {
  ReadAll result;
  std::vector<char> buf(step);
  for (;;) {
    std::size_t got = 0;
    Error err;
    if (!reader->read(buf.data(), buf.size(), &got, &err)) {
      result.err = err.what;
      return result;
    }
    if (got == 0) break;
    EXPECT_LE(got, step);
    result.data.append(buf.data(), got);
  }
  result.ok = true;
  return result;
}

// A decompressor of the build, and whether it runs on a thread of its own
// (with blocks small enough that reads end anywhere).
struct Inflater {
  GzipInflater gzip;
  bool threaded;
};

void PrintTo(const Inflater& inflater, std::ostream* os) {
  *os << inflater.gzip.name << (inflater.threaded ? ", read ahead" : "");
}

std::vector<Inflater> all_inflaters() {
  std::vector<Inflater> all;
  for (const GzipInflater& inflater : gzip_inflaters()) {
    all.push_back({inflater, false});
    all.push_back({inflater, true});
  }
  return all;
}

std::unique_ptr<Reader> open_gzip(const Inflater& inflater,
                                  std::unique_ptr<Reader> source,
                                  std::size_t input_bytes = kGzipInputBytes) {
  std::unique_ptr<Reader> reader =
      inflater.gzip.make(std::move(source), "c.gz", input_bytes);
  if (!inflater.threaded) return reader;
  return make_threaded_reader(std::move(reader), 333, 2);
}

// Decompresses "compressed" handed out "in_step" bytes at a time, through an
// input buffer of "input_bytes", into reads of "out_step" bytes.
ReadAll gunzip(const Inflater& inflater, const std::string& compressed,
               std::size_t in_step = 1 << 20,
               std::size_t input_bytes = kGzipInputBytes,
               std::size_t out_step = 64 * 1024) {
  std::unique_ptr<Reader> reader =
      open_gzip(inflater, std::make_unique<ScriptedReader>(compressed, in_step),
                input_bytes);
  return read_all(reader.get(), out_step);
}

class GzipReader : public ::testing::TestWithParam<Inflater> {
 protected:
  ReadAll gunzip(const std::string& compressed, std::size_t in_step = 1 << 20,
                 std::size_t input_bytes = kGzipInputBytes,
                 std::size_t out_step = 64 * 1024) {
    return orbitpick::gunzip(GetParam(), compressed, in_step, input_bytes,
                             out_step);
  }
};

INSTANTIATE_TEST_SUITE_P(
    Inflaters, GzipReader, ::testing::ValuesIn(all_inflaters()),
    [](const ::testing::TestParamInfo<Inflater>& info) {
      return std::string(info.param.gzip.name) +
             (info.param.threaded ? "_threaded" : "");
    });

TEST_P(GzipReader, GivesBackTheOriginalBytes) {
  const std::string plain = big_catalogue(3000);
  // Level 0 writes stored blocks, the others Huffman-coded ones.
  for (int level : {Z_DEFAULT_COMPRESSION, 0, 1, 9}) {
    const ReadAll r = gunzip(gzip(plain, level));
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(plain, r.data) << level;
  }
}

TEST_P(GzipReader, TinyBuffersGiveTheSameBytes) {
  const std::string plain = big_catalogue(60);
  const std::string compressed = gzip(plain);
  for (std::size_t in_step : {1, 5, 4096}) {
    for (std::size_t input_bytes : {1, 2, 3, 1000}) {
      for (std::size_t out_step : {1, 7, 203}) {
        SCOPED_TRACE(std::to_string(in_step) + " " +
                     std::to_string(input_bytes) + " " +
                     std::to_string(out_step));
        const ReadAll r = gunzip(compressed, in_step, input_bytes, out_step);
        ASSERT_TRUE(r.ok) << r.err;
        ASSERT_EQ(plain, r.data);
      }
    }
  }
}

TEST_P(GzipReader, ThroughLineBufferRunsAreWholeLines) {
  const std::string plain = big_catalogue(2000) + "last line without end";
  std::unique_ptr<Reader> reader = open_gzip(
      GetParam(), std::make_unique<ScriptedReader>(gzip(plain), 777), 1500);
  LineBuffer lines;
  init_line_buffer(&lines, reader.get(), 1000);
  std::string joined;
  std::string_view run;
  Error err;
  int runs = 0;
  LinesRead got;
  while ((got = next_lines(&lines, &run, &err)) == LinesRead::kRun) {
    joined.append(run.data(), run.size());
    ++runs;
    if (joined.size() < plain.size()) {
      ASSERT_EQ('\n', run.back());
    }
  }
  EXPECT_EQ(LinesRead::kEnd, got);
  EXPECT_EQ("", err.what);
  EXPECT_EQ(plain, joined);
  EXPECT_GT(runs, 100);
}

TEST_P(GzipReader, ReadsEveryMemberInTurn) {
  const std::string a = big_catalogue(500);
  const std::string b = "second member\n" + catalogue_line(4, "Vesta") + "\n";
  const std::string two = gzip(a) + gzip(b);
  const ReadAll r = gunzip(two);
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(a + b, r.data);
  // An empty member in between, and members that end anywhere in a read:
  // the next one's magic number may be split between two reads.
  const std::string three = gzip(a, 1) + gzip("") + gzip(b, 9);
  for (std::size_t in_step : {1, 3, 1 << 20}) {
    for (std::size_t input_bytes = 2; input_bytes <= 9; ++input_bytes) {
      SCOPED_TRACE(std::to_string(in_step) + " " + std::to_string(input_bytes));
      const ReadAll small = gunzip(three, in_step, input_bytes, 5);
      ASSERT_TRUE(small.ok) << small.err;
      EXPECT_EQ(a + b, small.data);
    }
  }
}

TEST_P(GzipReader, CompressedEmptyFileIsEmpty) {
  const ReadAll r = gunzip(gzip(""));
  EXPECT_TRUE(r.ok) << r.err;
  EXPECT_EQ("", r.data);
  const ReadAll twice = gunzip(gzip("") + gzip(""), 1, 1, 1);
  EXPECT_TRUE(twice.ok) << twice.err;
  EXPECT_EQ("", twice.data);
}

TEST_P(GzipReader, EveryCutShortOfTheEndIsTruncation) {
  const std::string compressed = gzip(big_catalogue(20));
  for (std::size_t cut = 0; cut < compressed.size(); ++cut) {
    const ReadAll r = gunzip(compressed.substr(0, cut), 1 << 20, 64, 100);
    ASSERT_FALSE(r.ok) << "cut at " << cut;
    ASSERT_EQ(kTruncated, r.err) << "cut at " << cut;
  }
  // An empty member cut inside its two bytes of deflate data (03 00), whose
  // missing bits are zeros as ISA-L pads them.
  const std::string empty = gzip("");
  for (std::size_t cut = 10; cut < empty.size(); ++cut) {
    ASSERT_EQ(kTruncated, gunzip(empty.substr(0, cut)).err) << "cut at " << cut;
  }
  // A second member that stops after its magic number, or inside its data.
  const std::string second = gzip("more\n");
  EXPECT_EQ(kTruncated, gunzip(compressed + second.substr(0, 2)).err);
  EXPECT_EQ(kTruncated, gunzip(compressed + second.substr(0, 12)).err);
}

TEST_P(GzipReader, CorruptDataFailsWithZlibsMessage) {
  const std::string plain = big_catalogue(200);
  const std::string good = gzip(plain);
  ASSERT_GT(good.size(), 100u);

  std::string bad_crc = good;
  bad_crc[good.size() - 8] ^= 0x01;  // the trailer: CRC-32, then length
  EXPECT_EQ("incorrect data check", gunzip(bad_crc).err);

  std::string bad_length = good;
  bad_length[good.size() - 2] ^= 0x40;
  EXPECT_EQ("incorrect length check", gunzip(bad_length).err);

  std::string bad_method = good;
  bad_method[2] = 7;  // only 8, deflate, exists
  EXPECT_EQ("unknown compression method", gunzip(bad_method).err);

  // Flipped bytes in the deflate data: whether the decoder stumbles or the
  // CRC catches it, the read must fail.
  for (std::size_t at = 20; at + 12 < good.size(); at += good.size() / 16) {
    std::string flipped = good;
    for (std::size_t i = at; i < at + 4; ++i) flipped[i] ^= 0x5a;
    const ReadAll r = gunzip(flipped);
    EXPECT_FALSE(r.ok) << "flipped at " << at;
    EXPECT_NE("", r.err) << "flipped at " << at;
  }
}

// Every decompressor of the build takes damaged input as zlib does: the same
// bytes when it still decodes, the same message when the header or the
// trailer is at fault, and a failure when zlib fails in the deflate data
// (where ISA-L names fewer kinds of damage).
TEST(GzipInflaters, AgreeWithZlibOnEveryDamagedByte) {
  const std::vector<GzipInflater> inflaters = gzip_inflaters();
  if (inflaters.size() == 1) GTEST_SKIP() << "zlib is the only decompressor";
  const Inflater zlib{inflaters.back(), false};
  const std::string first = gzip(big_catalogue(40), 9);
  const std::string both = first + gzip("(4) Vesta\n");
  auto in_deflate_data = [&](std::size_t at) {
    constexpr std::size_t kHeader = 10, kTrailer = 8;
    return (at >= kHeader && at < first.size() - kTrailer) ||
           (at >= first.size() + kHeader && at < both.size() - kTrailer);
  };
  for (std::size_t at = 0; at < both.size(); ++at) {
    for (const unsigned char mask : {0x01, 0x80, 0xff}) {
      std::string bad = both;
      bad[at] = static_cast<char>(bad[at] ^ mask);
      const ReadAll expected = gunzip(zlib, bad);
      for (std::size_t i = 0; i + 1 < inflaters.size(); ++i) {
        SCOPED_TRACE(std::string(inflaters[i].name) + " at " +
                     std::to_string(at) + " mask " + std::to_string(mask));
        const ReadAll r = gunzip({inflaters[i], false}, bad);
        if (in_deflate_data(at)) {
          if (!expected.ok) {
            EXPECT_FALSE(r.ok);
          }
        } else {
          EXPECT_EQ(expected.err, r.err);
        }
        if (expected.ok) {
          EXPECT_EQ(expected.data, r.data) << r.err;
        }
      }
    }
  }
}

TEST_P(GzipReader, AnythingButAMemberAfterAMemberIsRefused) {
  const std::string good = gzip("(1) Ceres\n");
  for (const std::string& tail :
       {std::string("junk"), std::string(2, '\0'), std::string(512, '\0'),
        std::string("\x1f"), std::string("\x1f\x8c"), std::string("\n")}) {
    for (std::size_t in_step : {1, 1 << 20}) {
      const ReadAll r = gunzip(good + tail, in_step, 4);
      EXPECT_FALSE(r.ok) << tail.size();
      EXPECT_EQ(kTrailing, r.err) << tail.size();
    }
  }
}

// A gzip member with "header" as written (flags and all) around the
// deflate data of "data", and a correct trailer.
std::string member(const std::string& header, const std::string& data) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
               Z_DEFAULT_STRATEGY);
  std::string raw(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(raw.data());
  z.avail_out = static_cast<uInt>(raw.size());
  EXPECT_EQ(Z_STREAM_END, deflate(&z, Z_FINISH));
  raw.resize(z.total_out);
  deflateEnd(&z);
  std::string out = header + raw;
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(data.data()),
                          static_cast<uInt>(data.size()));
  for (const uLong word : {crc, static_cast<uLong>(data.size())}) {
    for (int shift = 0; shift < 32; shift += 8) {
      out += static_cast<char>((word >> shift) & 0xff);
    }
  }
  return out;
}

// The fixed part of a header: magic number, method, flags, time, extra
// flags, system.
std::string header(unsigned char flags, unsigned char method = 8) {
  return std::string("\x1f\x8b") + static_cast<char>(method) +
         static_cast<char>(flags) + std::string(4, '\0') + "\x02\x03";
}

// "head" and its CRC-16 (the low half of its CRC-32), as a header with the
// FHCRC flag ends.
std::string with_crc16(const std::string& head, unsigned flip = 0) {
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(head.data()),
                          static_cast<uInt>(head.size())) ^
                    flip;
  return head + static_cast<char>(crc & 0xff) +
         static_cast<char>((crc >> 8) & 0xff);
}

TEST_P(GzipReader, HeaderFieldsAreSkippedAndCheckedAsZlibDoes) {
  const std::string data = big_catalogue(30);
  const std::string all_fields = header(0x1e) + std::string("\x03\0xyz", 5) +
                                 "MPCORB.DAT" + '\0' + "comment" + '\0';
  struct Case {
    std::string compressed;
    std::string err;  // empty: reads "data"
  };
  const Case cases[] = {
      {member(header(0x04) + std::string("\x05\0", 2) + "abcde", data), ""},
      {member(header(0x04) + std::string(2, '\0'), data), ""},
      {member(header(0x08) + "MPCORB.DAT" + '\0', data), ""},
      {member(header(0x10) + "a comment" + '\0', data), ""},
      {member(with_crc16(all_fields), data), ""},
      {member(with_crc16(all_fields, 0x100), data), "header crc mismatch"},
      {member(header(0x20), data), "unknown header flags set"},
      {member(header(0x80), data), "unknown header flags set"},
      {member(header(0x00, 9), data), "unknown compression method"},
      {header(0x00, 9).substr(0, 3), kTruncated},  // the flags byte missing
      {"\x1f\x8c" + member(header(0), data).substr(2), "incorrect header check"},
      {header(0x08) + "no terminating zero", kTruncated},
      {header(0x04) + std::string("\xff\0 too short", 12), kTruncated},
      {header(0x02) + "\x01", kTruncated},
      {header(0x00).substr(0, 9), kTruncated},
  };
  for (const Case& c : cases) {
    for (std::size_t in_step : {std::size_t{1}, std::size_t{1} << 20}) {
      SCOPED_TRACE(testing::PrintToString(c.compressed.substr(0, 12)) + " " +
                   std::to_string(in_step));
      const ReadAll r = gunzip(c.compressed, in_step, 7);
      EXPECT_EQ(c.err, r.err);
      EXPECT_TRUE(!c.err.empty() || data == r.data);
    }
  }
}

TEST_P(GzipReader, SourceFailureIsPassedOnAndStays) {
  const std::string compressed = gzip(big_catalogue(100));
  std::unique_ptr<Reader> reader = open_gzip(
      GetParam(),
      std::make_unique<ScriptedReader>(compressed, ScriptedReader::kWhole, 500),
      100);
  const ReadAll r = read_all(reader.get(), 4096);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ("Input/output error", r.err);
  char byte;
  std::size_t got = 0;
  Error again;
  EXPECT_FALSE(reader->read(&byte, 1, &got, &again));
  EXPECT_EQ("Input/output error", again.what);
  EXPECT_EQ("c.gz", again.path);
}

// open_catalogue looks at the bytes, not the name.
TEST(OpenCatalogue, RecognizesGzipByContent) {
  TempDir dir;
  const std::string plain = big_catalogue(300);
  write_file(dir.path("plain.dat"), plain);
  write_file(dir.path("packed.dat"), gzip(plain));
  write_file(dir.path("packed.txt.gz"),
             gzip(plain.substr(0, 1000)) + gzip(plain.substr(1000)));
  for (const char* name : {"plain.dat", "packed.dat", "packed.txt.gz"}) {
    SCOPED_TRACE(name);
    Error err;
    std::unique_ptr<Reader> reader;
    ASSERT_TRUE(open_catalogue(dir.path(name), &reader, &err)) << err.what;
    const ReadAll r = read_all(reader.get(), 3);
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(plain, r.data);
  }
}

TEST(OpenCatalogue, ShortOrNearlyGzipFilesArePlain) {
  TempDir dir;
  for (const std::string& content :
       {std::string(), std::string("\x1f"), std::string("\x8b"),
        std::string("\x1f\x8c rest"), std::string("\x8b\x1f rest"),
        std::string("x\x1f\x8b")}) {
    SCOPED_TRACE(content.size());
    write_file(dir.path("c.dat"), content);
    Error err;
    std::unique_ptr<Reader> reader;
    ASSERT_TRUE(open_catalogue(dir.path("c.dat"), &reader, &err)) << err.what;
    for (std::size_t step : {1, 2, 4096}) {
      if (step > 1) {
        ASSERT_TRUE(open_catalogue(dir.path("c.dat"), &reader, &err));
      }
      const ReadAll r = read_all(reader.get(), step);
      EXPECT_TRUE(r.ok) << r.err;
      EXPECT_EQ(content, r.data);
    }
  }
}

TEST(OpenCatalogue, GzipMagicAloneIsTruncated) {
  TempDir dir;
  write_file(dir.path("c.dat"), "\x1f\x8b");
  Error err;
  std::unique_ptr<Reader> reader;
  ASSERT_TRUE(open_catalogue(dir.path("c.dat"), &reader, &err)) << err.what;
  const ReadAll r = read_all(reader.get());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(kTruncated, r.err);
}

struct ScanResult {
  bool ok = false;
  std::int64_t lines = 0;
  std::string out;
  Error err;
};

ScanResult scan(Reader* reader, std::size_t buffer_bytes) {
  const NameMatcher matcher =
      build_name_matcher({"Ceres", "N7919", "N15838", "Vesta"});
  ScanOptions options;
  options.path = "MPCORB.DAT";
  options.buffer_bytes = buffer_bytes;
  ScanResult result;
  options.write = [&](std::string_view block, Error*) {
    result.out.append(block.data(), block.size());
    return true;
  };
  result.ok =
      scan_catalogue(reader, matcher, options, &result.lines, &result.err);
  return result;
}

TEST(ScanCatalogue, SameSectionsFromPlainAndCompressed) {
  const std::string plain = big_catalogue(2500);
  ScriptedReader plain_reader(plain);
  const ScanResult expected = scan(&plain_reader, kDefaultBufferBytes);
  ASSERT_TRUE(expected.ok) << expected.err.what;
  EXPECT_EQ(2500, expected.lines);
  EXPECT_NE(std::string::npos, expected.out.find("[2n15838]"));
  EXPECT_LT(25, std::count(expected.out.begin(), expected.out.end(), '['));

  const std::size_t half = plain.size() / 2;
  for (const std::string& compressed :
       {gzip(plain), gzip(plain.substr(0, half)) + gzip(plain.substr(half))}) {
    for (std::size_t buffer_bytes : {std::size_t{300}, kDefaultBufferBytes}) {
      std::unique_ptr<Reader> reader = make_gzip_reader(
          std::make_unique<ScriptedReader>(compressed, 4093), "c.gz", 1024);
      const ScanResult r = scan(reader.get(), buffer_bytes);
      ASSERT_TRUE(r.ok) << r.err.what;
      EXPECT_EQ(expected.lines, r.lines);
      EXPECT_EQ(expected.out, r.out);
    }
  }
}

TEST(ScanCatalogue, CorruptCompressedCatalogueFailsTheScan) {
  const std::string compressed = gzip(big_catalogue(2500));
  std::unique_ptr<Reader> reader =
      make_gzip_reader(std::make_unique<ScriptedReader>(
                           compressed.substr(0, compressed.size() * 2 / 3)),
                       "c.gz");
  const ScanResult r = scan(reader.get(), 4096);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(kTruncated, r.err.what);
  EXPECT_EQ("c.gz", r.err.path);
}

class GzipCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = ORBITPICK_SOURCE_DIR;
    list = read_file(root + "/examples/observing_list.csv");
    catalogue = read_file(root + "/examples/MPCORB.DAT");
    golden = read_file(root + "/examples/ssystem_minor.ini");
    ASSERT_FALSE(catalogue.empty());
    write_file(dir.path("list.csv"), list);
    write_file(dir.path("MPCORB.DAT"), catalogue);
  }

  // Runs over an existing out.ini and checks the run fails on "name" with
  // a single error line, leaving out.ini and the directory as they were.
  void expect_failure(const std::string& name, const std::string& compressed,
                      const std::string& reason) {
    SCOPED_TRACE(name);
    write_file(dir.path(name), compressed);
    const std::string old = "[1ceres]\nold = contents\n";
    write_file(dir.path("out.ini"), old);
    const std::vector<std::string> before = list_dir(dir.dir());
    const test::RunResult r =
        run_orbitpick({"list.csv", name, "out.ini"}, dir.dir());
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.err.rfind("orbitpick: " + name + ": ", 0)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
    if (!reason.empty()) {
      EXPECT_EQ("orbitpick: " + name + ": " + reason + "\n", r.err);
    }
    EXPECT_EQ(std::string::npos, r.out.find(" Finished!"));
    EXPECT_EQ(old, read_file(dir.path("out.ini")));
    EXPECT_EQ(before, list_dir(dir.dir()));
  }

  TempDir dir;
  std::string list;
  std::string catalogue;
  std::string golden;
};

TEST_F(GzipCliTest, CompressedCataloguesGiveTheSameReportAndFile) {
  const test::RunResult plain =
      run_orbitpick({"list.csv", "MPCORB.DAT", "plain.ini"}, dir.dir());
  ASSERT_EQ(0, plain.status) << plain.err;
  // The sample list's account: one name in two lines, one in none.
  EXPECT_EQ(
      "orbitpick: list.csv:7: \"Apollo\" is in 2 catalogue lines ((358) "
      "Apollonia, (1862) Apollo); --exact matches whole designations\n"
      "orbitpick: list.csv:13: \"Zwicky\" is in no catalogue line\n",
      plain.err);
  EXPECT_NE(std::string::npos, plain.out.find(" Finished!\n"));
  EXPECT_EQ(golden, read_file(dir.path("plain.ini")));

  // No .gz in the names: the content tells.
  write_file(dir.path("packed"), gzip(catalogue));
  const std::size_t half = catalogue.size() / 2;
  write_file(dir.path("two-members.dat"),
             gzip(catalogue.substr(0, half)) + gzip(catalogue.substr(half)));
  for (const char* name : {"packed", "two-members.dat"}) {
    SCOPED_TRACE(name);
    write_file(dir.path("out.ini"), "old\n");
    const test::RunResult r =
        run_orbitpick({"list.csv", name, "out.ini"}, dir.dir());
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(plain.err, r.err);
    EXPECT_EQ(plain.out, r.out);
    EXPECT_EQ(golden, read_file(dir.path("out.ini")));
  }

  const test::RunResult piped = run_orbitpick({"list.csv", "-", "piped.ini"},
                                              dir.dir(), dir.path("packed"));
  EXPECT_EQ(0, piped.status) << piped.err;
  EXPECT_EQ(plain.err, piped.err);
  EXPECT_EQ(plain.out, piped.out);
  EXPECT_EQ(golden, read_file(dir.path("piped.ini")));
  EXPECT_EQ(
      (std::vector<std::string>{"MPCORB.DAT", "list.csv", "out.ini", "packed",
                                "piped.ini", "plain.ini", "two-members.dat"}),
      list_dir(dir.dir()));
}

TEST_F(GzipCliTest, NothingToConvertInsideTheCompressionIsAnError) {
  // An empty member, and a catalogue compressed twice: what comes out of
  // one round of decompression holds no orbit line.
  expect_failure("empty.gz", gzip(""), kNoOrbitLines);
  expect_failure("twice.gz", gzip(gzip(catalogue)), kNoOrbitLines);
}

TEST_F(GzipCliTest, TruncatedCatalogueFailsAndKeepsTheOutput) {
  const std::string compressed = gzip(catalogue);
  expect_failure("cut.dat", compressed.substr(0, compressed.size() / 2),
                 kTruncated);
  // Only the last byte of the trailer missing.
  expect_failure("short.gz", compressed.substr(0, compressed.size() - 1),
                 kTruncated);
}

TEST_F(GzipCliTest, CorruptCatalogueFailsAndKeepsTheOutput) {
  const std::string compressed = gzip(catalogue);
  std::string flipped = compressed;
  for (std::size_t i = flipped.size() / 2; i < flipped.size() / 2 + 8; ++i) {
    flipped[i] ^= 0xa5;
  }
  expect_failure("flipped.gz", flipped, "");
  std::string bad_crc = compressed;
  bad_crc[bad_crc.size() - 6] ^= 0x10;
  expect_failure("crc.gz", bad_crc, "incorrect data check");
  expect_failure("tail.gz", compressed + "\n", kTrailing);
}

TEST_F(GzipCliTest, CorruptCatalogueOnStandardInput) {
  const std::string compressed = gzip(catalogue);
  write_file(dir.path("cut.gz"), compressed.substr(0, compressed.size() - 3));
  write_file(dir.path("out.ini"), "old\n");
  const test::RunResult r = run_orbitpick({"list.csv", "-", "out.ini"},
                                          dir.dir(), dir.path("cut.gz"));
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(std::string("orbitpick: -: ") + kTruncated + "\n", r.err);
  EXPECT_EQ(std::string::npos, r.out.find(" Finished!"));
  EXPECT_EQ("old\n", read_file(dir.path("out.ini")));
  EXPECT_EQ(
      (std::vector<std::string>{"MPCORB.DAT", "cut.gz", "list.csv", "out.ini"}),
      list_dir(dir.dir()));
}

}  // namespace
}  // namespace orbitpick
