// --refresh: the bodies of the file being merged into, looked up in the
// catalogues by whole designation, and the account of what became of them.

#ifndef ORBITPICK_APP_REFRESH_H_
#define ORBITPICK_APP_REFRESH_H_

#include <string>
#include <string_view>
#include <vector>

#include "output/base_bodies.h"
#include "output/ini_merge.h"
#include "selection/exact_match.h"

namespace orbitpick {

/// The base's bodies and the sections the catalogues give for them.
struct Refresh {
  std::vector<BaseBody> bodies;
  ExactIndex index;            // every body's lookups
  std::string from_catalogue;  // the sections found in each file
  std::string from_comets;
};

/// Lists the bodies of the INI text "base" and indexes their lookups.
void prepare_refresh(std::string_view base, Refresh* refresh);

/// The account of a refresh of "output", a line each, without line ends:
/// "orbitpick: OUT: refreshed 12 sections from NEA.txt, 40 from
/// CometEls.txt", the sections kept because their orbit is newer, and those
/// that name no object of the catalogues, by name. "paths" are the files
/// of counts.refreshed, in order.
std::vector<std::string> refresh_report(const std::string& output,
                                        const std::vector<std::string>& paths,
                                        const RefreshCounts& counts);

}  // namespace orbitpick

#endif  // ORBITPICK_APP_REFRESH_H_
