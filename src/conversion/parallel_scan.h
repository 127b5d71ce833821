// Scanning a catalogue that lies whole in memory on several threads at
// once: cut at line ends into pieces, each piece scanned apart, the results
// handed on in the file's order.

#ifndef ORBITPICK_CONVERSION_PARALLEL_SCAN_H_
#define ORBITPICK_CONVERSION_PARALLEL_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/diagnostics.h"
#include "conversion/conversion.h"

namespace orbitpick {

/// What the scan of one piece leaves, to be handed on in order.
struct PieceResult {
  std::string_view text;  // the piece: whole lines
  std::string sections;   // converted, not yet handed on
  PieceLog log;
  std::int64_t lines = 0;  // lines of the piece
  bool orbit_line = false;  // some line of the piece is an orbit line
  bool ok = true;           // false: "err" says why the scan stopped here
  Error err;
};

/// Scans piece "result->text" on worker "worker" (0 to threads - 1, one
/// piece at a time each) and fills the rest of *result.
using ScanPiece = std::function<void(int worker, PieceResult* result)>;

/// Hands on a scanned piece; false stops the run.
using CommitPiece = std::function<bool(PieceResult* result)>;

/// Cuts "text" after line feeds into pieces of at least "piece_bytes"
/// (a longer line stays whole), has "scan" scan them on up to "threads"
/// threads, the calling one among them, and "commit" take them on the
/// calling thread, each once and in the order of the text. Results wait
/// for their turn in a ring of twice as many as threads, so the memory
/// held stays that of a few pieces however long the text. A piece holding a
/// line longer than "max_line_bytes" is not scanned: its result fails with
/// the error of a line too long. Returns false as soon as "commit" does,
/// once every thread has stopped.
bool scan_in_pieces(std::string_view text, int threads,
                    std::size_t piece_bytes, std::size_t max_line_bytes,
                    const ScanPiece& scan, const CommitPiece& commit);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_PARALLEL_SCAN_H_
