// One object a line, the designation the line starts with.

#include "input/list_text.h"

#include "base/text.h"
#include "input/designation_prefix.h"

namespace orbitpick {

void text_line(std::string_view line, std::int64_t number, ListRead* read) {
  const std::string_view text = trim_view(line);
  if (text.empty() || text.front() == '#') return;
  const std::string_view designation = line_designation(text);
  if (designation.empty()) {
    count_no_object(read, number);
  } else {
    add_name(read, designation, number);
  }
}

}  // namespace orbitpick
