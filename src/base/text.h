// Small helpers on byte strings that every phase uses.

#ifndef ORBITPICK_BASE_TEXT_H_
#define ORBITPICK_BASE_TEXT_H_

#include <string_view>

namespace orbitpick {

/// "s" without leading and trailing spaces, line feeds, carriage returns
/// and tabs, as a view into "s". Inner characters are kept; vertical tab
/// and form feed are not trimmed.
std::string_view trim_view(std::string_view s);

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_TEXT_H_
