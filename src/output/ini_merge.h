// Merging the sections orbitpick writes into an existing minor-body INI file
// (the planetarium's own, with its comets, textures and comments), changing
// only the values orbitpick knows and keeping every other byte.
//
// How the file is read, as the planetarium's INI reader does it: a line ends
// at LF, CR LF or a lone CR; a line whose first non-blank byte is '[' starts a
// section named by the text up to the first ']', trimmed; a "key = value" line
// has the key before its first '=' and the value after it, both trimmed of
// blanks (space, tab). A value ends before a ';' or before a '#' that follows
// a blank: what comes after is a comment and is kept. A leading UTF-8 byte
// order mark is skipped. Lines before the first section belong to none.

#ifndef ORBITPICK_OUTPUT_INI_MERGE_H_
#define ORBITPICK_OUTPUT_INI_MERGE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"

namespace orbitpick {

/// What a merge did, counted in the base's sections and the new ones.
struct MergeCounts {
  std::int64_t updated = 0;  // base sections that are a listed body
  std::int64_t added = 0;    // new sections appended (each name once)
  std::int64_t kept = 0;     // base sections that are no new section's body
};

/// What a merge with refresh texts did besides: per text, the base sections
/// updated from it (and not from a listed section); the names of the
/// sections left as they were because their orbit is newer, and of those
/// that are the body of no new section.
struct RefreshCounts {
  std::vector<std::int64_t> refreshed;
  std::vector<std::string> newer;
  std::vector<std::string> unmatched;
};

/// What a merge is given besides the listed sections.
struct MergeOptions {
  // Sections of the base's own bodies (--refresh), one text per catalogue:
  // they update the base sections of their bodies and are never appended.
  std::vector<std::string_view> refresh;
  // Never older: a base section whose orbit_Epoch is later than the new
  // section's keeps its orbit.
  bool never_older = false;
};

/// Takes a block of the merged file, in order; a failure stops the merge.
using MergeSink = std::function<bool(std::string_view block, Error* err)>;

/// Fails ("holds a NUL byte at offset N: not a text file") when "text"
/// cannot be an INI file.
bool check_ini_text(std::string_view text, Error* err);

/// Merges "sections", INI text in orbitpick's own format (a "[name]" line,
/// "key = value" lines, an empty line), into "base", any INI file, and hands
/// the result to "write" in order. The rules:
///  - A base section is updated in place when it is the same body as a new
///    one: when they share an identity (base_bodies.h: the decoded section
///    name, minor_planet_number, the designation in iau_designation or
///    name), each such base section when there are several. Keys match
///    byte for byte. The keys that say what a body is
///    (merge_only_fills in section_keys.h: name, minor_planet_number,
///    iau_designation, type, coord_func) are written only where the section
///    has no non-empty value for them, under any case; every other key gets
///    the new value on each of its lines. A key the
///    section lacks is added after its last key line. An empty new value is
///    never written into a base section.
///  - A new section whose body is not in the base is appended at the end,
///    once (its last occurrence in "sections"; new sections are one when
///    their names are, ignoring ASCII case), after one empty line.
///  - A changed line keeps its own line ending; added keys end like the line
///    they follow; appended sections like the base's first line (kLineEnd
///    when the base has no line ending). A base line without an ending
///    gets one when something follows it. Every other byte of "base" is
///    kept, in order; with no sections the result is "base" itself.
/// Reads and writes no file: the base is read by the input side
/// (input/whole_file.h). Fails when "base" is not text (see check_ini_text),
/// when memory runs out or when "write" fails; the blocks already handed to
/// "write" are then to be discarded.
bool merge_ini(std::string_view base, std::string_view sections,
               const MergeSink& write, MergeCounts* counts, Error* err);

/// merge_ini with refresh texts and the never-older rule.
bool merge_ini(std::string_view base, std::string_view sections,
               const MergeOptions& options, const MergeSink& write,
               MergeCounts* counts, RefreshCounts* refresh, Error* err);

/// merge_ini in steps, for listed sections that come block after block:
/// the memory it takes follows the base (its bodies' identities, and the
/// new sections that may be their bodies), plus the name and place of each
/// other listed section, which waits for the end in a temporary file (in
/// memory where none can be made). The base's edits are written section by
/// section.
class IniMerge {
 public:
  IniMerge();
  ~IniMerge();
  IniMerge(const IniMerge&) = delete;
  IniMerge& operator=(const IniMerge&) = delete;

  /// Takes the base, which must outlive the merge; fails when it is not
  /// text (see check_ini_text).
  bool start(std::string_view base, Error* err);
  /// Takes a block of listed sections, whole sections in orbitpick's format.
  bool add(std::string_view sections, Error* err);
  /// Takes the refresh texts of "options" and hands the merged file to
  /// "write", in order, as merge_ini does.
  bool finish(const MergeOptions& options, const MergeSink& write,
              MergeCounts* counts, RefreshCounts* refresh, Error* err);

  struct State;  // defined in ini_merge.cc

 private:
  std::unique_ptr<State> state_;
};

/// merge_ini into a string: *merged holds the whole result.
bool merge_ini(std::string_view base, std::string_view sections,
               std::string* merged, MergeCounts* counts, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_INI_MERGE_H_
