// What every reader of the input side does with a read of no bytes: nothing.
// It must not be taken for the end, nor use up or change what comes next.

#include "input/reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "input/gzip_reader.h"
#include "input/input_file.h"
#include "input/threaded_reader.h"
#include "test_util.h"

namespace orbitpick {
namespace {

using test::gzip;
using test::ScriptedReader;

struct Opened {
  std::string name;
  std::unique_ptr<Reader> reader;
};

// Every kind of reader, each over "content".
std::vector<Opened> every_reader(const std::string& content,
                                 const test::TempDir& dir) {
  std::vector<Opened> all;
  test::write_file(dir.path("plain"), content);
  test::write_file(dir.path("packed"),
                   gzip(content.substr(0, 700)) + gzip(content.substr(700)));
  for (const char* name : {"plain", "packed"}) {
    Error err;
    std::unique_ptr<Reader> reader;
    EXPECT_TRUE(open_catalogue(dir.path(name), &reader, &err)) << err.what;
    all.push_back({std::string("open_catalogue ") + name, std::move(reader)});
  }
  Error err;
  std::unique_ptr<Reader> file;
  EXPECT_TRUE(open_input_file(dir.path("plain"), &file, &err)) << err.what;
  all.push_back({"open_input_file", std::move(file)});
  for (const GzipInflater& inflater : gzip_inflaters()) {
    all.push_back(
        {inflater.name,
         inflater.make(std::make_unique<ScriptedReader>(gzip(content), 100),
                       "c.gz", 64)});
  }
  all.push_back({"read ahead",
                 make_threaded_reader(
                     std::make_unique<ScriptedReader>(content, 7), 300, 2)});
  all.push_back({"scripted", std::make_unique<ScriptedReader>(content, 5)});
  return all;
}

TEST(Reader, ReadOfNoBytesReadsNothing) {
  std::string content;
  for (int i = 0; i < 200; ++i) content += "line " + std::to_string(i) + "\n";
  test::TempDir dir;
  for (Opened& opened : every_reader(content, dir)) {
    SCOPED_TRACE(opened.name);
    Reader* reader = opened.reader.get();
    ASSERT_NE(nullptr, reader);
    char buf[512];
    std::string out;
    // Before anything, in the middle, and at the end.
    auto read_none = [&] {
      std::size_t got = 1;
      Error err;
      EXPECT_TRUE(reader->read(buf, 0, &got, &err)) << err.what;
      EXPECT_EQ(0u, got);
    };
    read_none();
    for (;;) {
      std::size_t got = 0;
      Error err;
      ASSERT_TRUE(reader->read(buf, sizeof buf, &got, &err)) << err.what;
      if (got == 0) break;
      out.append(buf, got);
      read_none();
    }
    EXPECT_EQ(content, out);
    read_none();
  }
}

}  // namespace
}  // namespace orbitpick
