// Lists of one object a line: hand-made notes, planner tables, the MPC's
// fixed-width lists for other programs. No header is needed; blank lines
// and lines starting with "#" are passed over; a line holds the designation
// it starts with (see designation_prefix.h), or no object.

#ifndef ORBITPICK_INPUT_LIST_TEXT_H_
#define ORBITPICK_INPUT_LIST_TEXT_H_

#include <cstdint>
#include <string_view>

#include "input/list_read.h"

namespace orbitpick {

/// Reads line "number" (without its line feed) of a text list into "read".
void text_line(std::string_view line, std::int64_t number, ListRead* read);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_TEXT_H_
