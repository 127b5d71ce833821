// XEphem's database format (.edb): one body a line, its comma-separated
// fields led by the name as XEphem shows it ("1 Ceres,e,10.5868,...", or
// "1915 1953 EA,e,..."); lines starting with "#" are comments.

#ifndef ORBITPICK_INPUT_LIST_EDB_H_
#define ORBITPICK_INPUT_LIST_EDB_H_

#include <cstdint>
#include <string_view>

#include "input/list_read.h"

namespace orbitpick {

/// Reads line "number" (without its line feed) of an edb list into "read".
void edb_line(std::string_view line, std::int64_t number, ListRead* read);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_EDB_H_
