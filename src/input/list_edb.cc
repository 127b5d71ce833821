// The first field of every edb line that is not a comment.

#include "input/list_edb.h"

#include "base/text.h"

namespace orbitpick {

void edb_line(std::string_view line, std::int64_t number, ListRead* read) {
  const std::string_view text = trim_view(line);
  if (text.empty() || text.front() == '#') return;
  const std::string_view name = trim_view(text.substr(0, text.find(',')));
  if (name.empty()) {
    count_no_object(read, number);
  } else {
    add_name(read, name, number);
  }
}

}  // namespace orbitpick
