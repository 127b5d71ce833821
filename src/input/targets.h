// The target list as the run holds it: the listed names and where each
// first stands in the list file.

#ifndef ORBITPICK_INPUT_TARGETS_H_
#define ORBITPICK_INPUT_TARGETS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace orbitpick {

/// Filled by a list reader, read by the matching and by the account.
struct TargetList {
  std::vector<std::string> names;          // as the list spells them, each once
  std::vector<std::int64_t> first_lines;   // per name: its first line, from 1
};

}  // namespace orbitpick

#endif  // ORBITPICK_INPUT_TARGETS_H_
