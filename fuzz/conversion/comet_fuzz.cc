// Fuzzes one comet line: checking it, its identities and, for a line that
// passes the check, both forms of its section.
//
// The check must never read past the line; a section must be "[key]",
// "key = value" lines padded to the column of the catalogue's sections and
// in alphabetical order, and an empty line; the extended form must leave
// out coord_func and every empty value.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "conversion/catalogue.h"
#include "conversion/comet.h"
#include "fuzz_reader.h"

namespace orbitpick {
namespace {

void check_section(std::string_view section, bool extended) {
  const std::string end(kLineEnd);
  fuzz::check(section.size() >= 2 + 2 * end.size() && section[0] == '[');
  fuzz::check(section.substr(section.size() - 2 * end.size()) == end + end);
  std::size_t at = section.find(end) + end.size();
  std::string previous;
  while (at < section.size() - end.size()) {
    const std::size_t next = section.find(end, at);
    fuzz::check(next != std::string_view::npos);
    const std::string_view line = section.substr(at, next - at);
    fuzz::check(line.size() >= 33 && line.substr(31, 2) == "= ");
    const std::string key(line.substr(0, line.find(' ')));
    fuzz::check(previous < key);
    if (extended) {
      fuzz::check(key != "coord_func" && line.size() > 33);
    }
    previous = key;
    at = next + end.size();
  }
}

}  // namespace
}  // namespace orbitpick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace orbitpick;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\n'));
  // A copy of exactly the line's size, so that reading past it is caught.
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  text.copy(copy.get(), text.size());
  const std::string_view line(copy.get(), text.size());

  const CometIdentities ids = comet_identities(line);
  fuzz::check(ids.full.size() <= line.size());
  Error err;
  if (!check_comet_line(line, &err)) {
    fuzz::check(!err.what.empty());
    return 0;
  }
  for (const SectionFormat format :
       {SectionFormat::kDefault, SectionFormat::kExtended}) {
    std::string section;
    write_comet_section(line, &section, format);
    check_section(section, format == SectionFormat::kExtended);
  }
  return 0;
}
