// The name matcher's vector filters for x86 processors (AVX2, AVX-512
// VBMI): each looks at 32 or 64 positions per step and hands those where a
// name may start to the exact check. Private to src/selection.

#ifndef ORBITPICK_SELECTION_NAME_FILTER_X86_H_
#define ORBITPICK_SELECTION_NAME_FILTER_X86_H_

#include <cstdint>

#include "selection/matcher_tables.h"

namespace orbitpick {

/// Whether this build has the vector filters and this processor runs
/// "filter" (kPlain: false, it is not one of them).
bool x86_filter_runs_here(MatcherFilter filter);

/// Searches f->text with m.filter, a vector filter that runs here, and
/// returns the number of line feeds in it.
std::int64_t run_x86_filter(const MatcherTables& m, Found* f);

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_NAME_FILTER_X86_H_
