// Fuzzes the first question of --exact against the look-ups it stands in
// front of: a line that line_may_hold_key turns away must be one in which
// no identity selects or names any listed spelling.
//
// Input: byte 0 is the number of spellings (0-15) and, in its high bit,
// whether the rest is a line of its own; the spellings follow, each ended
// by a line feed, then the line's bytes. Unless the rest is the line, they
// are written over a catalogue line in the published layout: the first
// seven over the packed designation, the others from column 166 on, over
// the number and the name and past the line's end. A spelling of three
// bytes, the first 1, is a piece of the line (see below).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_reader.h"
#include "mpc_lines.h"
#include "selection/exact_match.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  if (size < 1) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> names;
  for (int i = 0; i < (data[0] & 15); ++i) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;
    names.emplace_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  std::string line;
  if (data[0] & 0x80) {
    line = std::string(rest);
  } else {
    line = test::mpc::kEros;
    const std::size_t packed = std::min<std::size_t>(rest.size(), 7);
    line.replace(0, packed, rest.substr(0, packed));
    rest.remove_prefix(packed);
    line.resize(std::max(line.size(), 165 + rest.size()), ' ');
    line.replace(165, rest.size(), rest);
  }
  // A spelling "\x01" + two bytes is a piece of the line: from column
  // 166 + the first (mod 32), as long as the second (mod 32), so that
  // spellings of the line's own identities come often.
  for (std::string& name : names) {
    if (name.size() != 3 || name[0] != '\x01') continue;
    const std::size_t from = 165 + static_cast<unsigned char>(name[1]) % 32;
    const std::size_t length = static_cast<unsigned char>(name[2]) % 32;
    name = from < line.size() ? line.substr(from, length) : std::string();
  }
  const ExactIndex index = build_exact_index(names);
  std::vector<std::uint32_t> hits;
  std::vector<std::uint32_t> checks;
  look_up_line_identities(index, line, &hits, &checks);
  if (!line_may_hold_key(index, line)) {
    fuzz::check(hits.empty() && checks.empty());
  }
  return 0;
}
