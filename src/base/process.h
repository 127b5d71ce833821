// The process's own set-up: standard descriptors, signals and limits, so
// that neither the caller's shell nor a signal can make a run write into the
// wrong file or leave a temporary file behind.

#ifndef ORBITPICK_BASE_PROCESS_H_
#define ORBITPICK_BASE_PROCESS_H_

#include <string>

namespace orbitpick {

/// Call first in main, before any file is opened. Opens /dev/null onto any
/// of descriptors 0-2 that is closed, so that no input or output file takes
/// their place; ignores SIGPIPE (a console reader that has gone away only
/// loses the report) and SIGXFSZ (a write past the file-size limit then
/// fails with EFBIG, an ordinary error); and makes every other signal whose
/// default action ends the process remove the file named by
/// remove_on_signal first. A signal the caller left ignored stays ignored.
void prepare_process();

/// True when descriptor 0 was closed when the process started: standard
/// input then reads /dev/null and is no catalogue.
bool standard_input_was_closed();

/// Names the file that a signal ending the run removes before the process
/// dies of it; at most one at a time. A path longer than 4095 bytes is not
/// watched.
void remove_on_signal(const std::string& path);

/// Stops watching the file named by remove_on_signal.
void keep_on_signal();

/// Hold back every signal until release_signals, so that a file can be
/// created and named to remove_on_signal with no signal in between. Not
/// nested.
void hold_signals();
void release_signals();

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_PROCESS_H_
