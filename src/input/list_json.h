// Stellarium's observing lists (.sol files, observingList.json): JSON
// holding, per list, the objects with their "designation", "name" and
// "objtype". The minor planets and comets among them are the list; stars,
// nebulae, craters, moons and surface points are passed over.

#ifndef ORBITPICK_INPUT_LIST_JSON_H_
#define ORBITPICK_INPUT_LIST_JSON_H_

#include <string>
#include <string_view>

#include "base/diagnostics.h"
#include "input/list_read.h"

namespace orbitpick {

/// True for an "objtype" of a minor planet or a comet ("asteroid", "comet",
/// "dwarf planet", "plutino", ...), case ignored.
bool is_minor_body_type(std::string_view objtype);

/// Reads the whole JSON text "text" into "read": each minor body by its
/// designation (by its name when it has none), with the line where that
/// first stands. Fails, with the reason, when "text" is not JSON.
bool read_json_list(const std::string& text, ListRead* read, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_LIST_JSON_H_
