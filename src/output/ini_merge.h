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

#include "base/diagnostics.h"

namespace orbitpick {

/// What a merge did, counted in the base's sections and the new ones.
struct MergeCounts {
  std::int64_t updated = 0;  // base sections with the name of a new one
  std::int64_t added = 0;    // new sections appended (each name once)
  std::int64_t kept = 0;     // base sections left byte for byte
};

/// Takes a block of the merged file, in order; a failure stops the merge.
using MergeSink = std::function<bool(std::string_view block, Error* err)>;

/// Fails ("holds a NUL byte at offset N: not a text file") when "text"
/// cannot be an INI file.
bool check_ini_text(std::string_view text, Error* err);

/// Merges "sections", INI text in orbitpick's own format (a "[name]" line,
/// "key = value" lines, an empty line), into "base", any INI file, and hands
/// the result to "write" in order. The rules:
///  - Section names match ignoring ASCII case; keys match byte for byte.
///  - Every base section named like a new one is updated in place, each one
///    when the name occurs several times. The keys that say what a body is
///    (merge_only_fills in section_keys.h: name, minor_planet_number,
///    iau_designation, type, coord_func) are written only where the section
///    has no non-empty value for them, under any case; every other key gets
///    the new value on each of its lines. A key the
///    section lacks is added after its last key line. An empty new value is
///    never written into a base section.
///  - A new section whose name is not in the base is appended at the end,
///    once (its last occurrence in "sections"), after one empty line.
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

/// merge_ini in steps, for new sections that come block after block: the
/// memory it takes follows the base (its sections' names, and the keys
/// that new sections bring to them), plus the name and place of each new
/// section appended; the appended sections themselves wait in a temporary
/// file (in memory where none can be made).
class IniMerge {
 public:
  IniMerge();
  ~IniMerge();
  IniMerge(const IniMerge&) = delete;
  IniMerge& operator=(const IniMerge&) = delete;

  /// Takes the base, which must outlive the merge; fails when it is not
  /// text (see check_ini_text).
  bool start(std::string_view base, Error* err);
  /// Takes a block of new sections, whole sections in orbitpick's format.
  bool add(std::string_view sections, Error* err);
  /// Hands the merged file to "write", in order, as merge_ini does.
  bool finish(const MergeSink& write, MergeCounts* counts, Error* err);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// merge_ini into a string: *merged holds the whole result.
bool merge_ini(std::string_view base, std::string_view sections,
               std::string* merged, MergeCounts* counts, Error* err);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_INI_MERGE_H_
