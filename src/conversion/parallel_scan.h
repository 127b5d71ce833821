// Scanning a catalogue that lies whole in memory on several threads at
// once: cut at line ends into pieces, each piece scanned apart, the results
// handed on in the file's order.

#ifndef ORBITPICK_CONVERSION_PARALLEL_SCAN_H_
#define ORBITPICK_CONVERSION_PARALLEL_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>


namespace orbitpick {

/// Where a piece's results wait for their turn: piece k goes to slot
/// k % piece_slots(threads), free again once piece k is committed.
std::size_t piece_slots(int threads);

/// Scans "piece" (whole lines) on worker "worker" (0 to threads - 1, one
/// piece at a time each) into the caller's result slot "slot". Must not
/// throw.
using ScanPiece =
    std::function<void(int worker, std::size_t slot, std::string_view piece)>;

/// Hands on the piece scanned into "slot"; false stops the run.
using CommitPiece = std::function<bool(std::size_t slot)>;

/// Cuts "text" after line feeds into pieces of at least "piece_bytes"
/// (a longer line stays whole), has "scan" scan them on up to "threads"
/// threads, the calling one among them, and "commit" take them on the
/// calling thread, each once and in the order of the text. With a result
/// slot per piece in flight, the memory held stays that of a few pieces
/// however long the text. Returns false as soon as "commit" does, once
/// every thread has stopped.
bool scan_in_pieces(std::string_view text, int threads,
                    std::size_t piece_bytes, const ScanPiece& scan,
                    const CommitPiece& commit);

/// True when a line of "text" holds more than "max_bytes" bytes, its line
/// feed included (as the reading buffer counts it).
bool has_line_longer_than(std::string_view text, std::size_t max_bytes);

}  // namespace orbitpick

#endif  // ORBITPICK_CONVERSION_PARALLEL_SCAN_H_
