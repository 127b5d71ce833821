// The scan of the orbit catalogue MPCORB.DAT for listed objects (the
// section of one line: catalogue_section.h; the machinery shared with the
// comet scan: conversion.h).

#ifndef ORBITPICK_CONVERSION_CATALOGUE_H_
#define ORBITPICK_CONVERSION_CATALOGUE_H_

#include <cstdint>

#include "base/diagnostics.h"
#include "conversion/catalogue_section.h"
#include "conversion/conversion.h"
#include "input/catalogue_columns.h"
#include "input/reader.h"
#include "selection/exact_match.h"
#include "selection/name_matcher.h"

namespace orbitpick {

/// The minor planets of MPCORB.DAT and its extracts.
extern const LineKind kMinorPlanetLines;

/// Reads the catalogue from "reader" to its end and hands "write" one
/// section for every (line, name) pair where the name occurs in the line,
/// in the order of the lines and, within a line, of the names. The first
/// kHeaderLines lines are a header unless the first line is itself an orbit
/// line (as in the MPC's header-less extracts). Calls "progress" at every
/// multiple of kProgressEvery lines. A matched line without a complete
/// section is reported to "warn" and skipped. Sets *lines to the number of
/// lines after the header. Fails when reading or writing fails, and when no
/// line after the header is an orbit line (an empty, cut-short or wrong
/// file); the error names the file concerned.
bool scan_catalogue(Reader* reader, const NameMatcher& matcher,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err);

/// As above, but by whole designations: one section for every line that a
/// listed name selects through "index", however many select it. The lines
/// that a spelling's other parts name but its number does not are settled
/// after the last line: when the number selected no line, they are taken
/// (their sections follow the others, in line order); otherwise each is
/// noted in options.account (note_conflict).
bool scan_catalogue(Reader* reader, const ExactIndex& index,
                    const ScanOptions& options, std::int64_t* lines,
                    Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_CATALOGUE_H_
