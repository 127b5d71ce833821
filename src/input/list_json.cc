// The minor planets and comets of a Stellarium observing list.

#include "input/list_json.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/text.h"

namespace orbitpick {
namespace {

using nlohmann::json;

// The "objtype" values Stellarium gives the bodies of its minor-body file.
constexpr const char* kMinorBodyTypes[] = {
    "asteroid",     "comet",      "dwarf planet",
    "plutino",      "cubewano",   "scattered disc object",
    "oort cloud object", "interstellar object", "sednoid",
    "centaur",      "minor planet", "detached object"};

std::string string_at(const json& entry, const char* key) {
  const auto it = entry.find(key);
  if (it == entry.end() || !it->is_string()) return std::string();
  return std::string(trim_view(it->get_ref<const std::string&>()));
}

// The line where "value" first stands in "text" as a JSON string; the
// parser keeps no positions. 0 when it is written with other escapes.
std::int64_t line_of(const std::string& text, const std::string& value) {
  const std::size_t at = text.find(json(value).dump());
  if (at == std::string::npos) return 0;
  return 1 + std::count(text.begin(), text.begin() + at, '\n');
}

}  // namespace

bool is_minor_body_type(std::string_view objtype) {
  std::string lower(trim_view(objtype));
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return std::find(std::begin(kMinorBodyTypes), std::end(kMinorBodyTypes),
                   lower) != std::end(kMinorBodyTypes);
}

bool read_json_list(const std::string& text, ListRead* read, Error* err) {
  json document = json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    return fail(err, "not a JSON observing list: the JSON text is malformed");
  }
  // Every object with an "objtype" is an entry, wherever it stands: the
  // lists of a file, or a single list's "objects" alone. Walked without
  // recursion, so that deep nesting cannot exhaust the stack.
  std::vector<const json*> pending = {&document};
  while (!pending.empty()) {
    const json& node = *pending.back();
    pending.pop_back();
    if (node.is_object()) {
      const auto type = node.find("objtype");
      if (type != node.end() && type->is_string()) {
        std::string name = string_at(node, "designation");
        if (name.empty()) name = string_at(node, "name");
        if (is_minor_body_type(type->get_ref<const std::string&>()) &&
            !name.empty()) {
          add_name(read, name, line_of(text, name));
        } else {
          count_no_object(read, 0);
        }
        continue;
      }
    }
    if (node.is_structured()) {
      // Backwards onto the stack, so that entries come off in file order.
      for (auto it = node.rbegin(); it != node.rend(); ++it) {
        pending.push_back(&*it);
      }
    }
  }
  read->layout = "a Stellarium observing list (JSON), its minor planets and comets";
  return true;
}

}  // namespace orbitpick
