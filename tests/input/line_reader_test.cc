// Reading an input in blocks of whole lines.

#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace orbitpick {
namespace {

struct Runs {
  std::vector<std::string> runs;
  LinesRead last = LinesRead::kRun;  // what ended the walk
  Error err;                         // when it is kFailed
};

Runs runs_of(const std::string& text, std::size_t buffer, std::size_t step,
             std::size_t max_line) {
  test::ScriptedReader reader(text, step);
  LineBuffer lines;
  init_line_buffer(&lines, &reader, buffer, max_line);
  Runs out;
  std::string_view run;
  while ((out.last = next_lines(&lines, &run, &out.err)) == LinesRead::kRun) {
    out.runs.emplace_back(run);
  }
  return out;
}

TEST(LineBuffer, RunsAreWholeLinesThatAddUpToTheInput) {
  const std::string text = "a\nbb\n\nccc\n" + std::string(100, 'd') + "\ne";
  for (std::size_t buffer : {1, 2, 3, 7, 64, 1000}) {
    for (std::size_t step : {1, 3, 1000}) {
      const Runs r = runs_of(text, buffer, step, kMaxLineBytes);
      EXPECT_EQ(LinesRead::kEnd, r.last) << r.err.what;
      const std::vector<std::string>& runs = r.runs;
      std::string joined;
      for (std::size_t i = 0; i < runs.size(); ++i) {
        joined += runs[i];
        if (i + 1 < runs.size()) {
          EXPECT_EQ('\n', runs[i].back());
        }
      }
      EXPECT_EQ(text, joined) << buffer << " " << step;
      EXPECT_EQ("e", runs.back().substr(runs.back().size() - 1));
    }
  }
}

TEST(LineBuffer, LineLongerThanTheLimitIsRefused) {
  const Runs refused =
      runs_of("short\n" + std::string(100, 'x') + "\n", 8, 1000, 64);
  EXPECT_EQ(LinesRead::kFailed, refused.last);
  EXPECT_EQ("line longer than 64 bytes", refused.err.what);
  const Runs longest =
      runs_of("short\n" + std::string(63, 'x') + "\n", 8, 1000, 64);
  EXPECT_EQ(LinesRead::kEnd, longest.last) << longest.err.what;
}

TEST(TakeLine, WalksEveryLineAndNeverPastTheEnd) {
  const struct {
    std::string_view run;
    std::vector<std::string_view> lines;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a\nbb\n", {"a", "bb"}},
      {"a\n\nlast", {"a", "", "last"}},
  };
  for (const auto& c : cases) {
    std::string_view rest = c.run;
    std::string_view line;
    std::vector<std::string_view> got;
    while (take_line(&rest, &line)) got.push_back(line);
    EXPECT_EQ(c.lines, got) << c.run;
    EXPECT_TRUE(rest.empty());
  }
}

// Line feeds on both sides of the 32-byte steps, none, all, a tail past
// the last step: every offset once, in order, as a byte-by-byte walk finds;
// and last_newline, from a few starts to every end, as the same walk.
TEST(ForEachNewline, EveryLineFeedOnceInOrder) {
  std::string mixed;
  for (int i = 0; i < 200; ++i) mixed += (i * 7919 % 13 == 0) ? '\n' : 'x';
  const std::string texts[] = {
      "",
      "\n",
      std::string(31, 'x') + "\n",
      std::string(32, 'x') + "\n",
      std::string(63, 'x') + "\n" + std::string(32, 'y') + "\n",
      std::string(70, '\n'),
      std::string(96, 'x'),
      mixed,
  };
  for (const std::string& text : texts) {
    std::vector<std::size_t> want;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') want.push_back(i);
    }
    std::vector<std::size_t> got;
    for_each_newline(text, [&got](std::size_t at) { got.push_back(at); });
    EXPECT_EQ(want, got) << text.size() << " bytes";
    for (const std::size_t begin : {std::size_t{0}, text.size() / 2}) {
      const char* last = nullptr;  // in [begin, end)
      for (std::size_t end = begin; end <= text.size(); ++end) {
        ASSERT_EQ(last, last_newline(text.data() + begin, text.data() + end))
            << text.size() << " bytes, " << begin << " to " << end;
        if (end < text.size() && text[end] == '\n') last = text.data() + end;
      }
    }
  }
}

TEST(LineBuffer, CountNewlines) {
  const std::string text =
      std::string(1000, 'x') + "\n\n" + std::string(37, '\n') + "y";
  EXPECT_EQ(39, count_newlines(text.data(), text.data() + text.size()));
  EXPECT_EQ(0, count_newlines(text.data(), text.data()));
}

}  // namespace
}  // namespace orbitpick
