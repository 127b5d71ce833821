// What every thread the program starts needs: how many processors there
// are to run on, and the signals kept away from it.

#ifndef ORBITPICK_BASE_THREADS_H_
#define ORBITPICK_BASE_THREADS_H_

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace orbitpick {

/// The number of processors this process may run on: those of its CPU
/// affinity where the system tells them (taskset, cgroups' cpusets), else
/// the machine's; at least 1.
int usable_processors();

/// Blocks, for its lifetime, the signals sent to the process in the calling
/// thread, so that a thread started meanwhile inherits the block. Those
/// signals then reach the main thread alone, which holds them while it names
/// the output's temporary file to the signal handler; a helper thread must
/// not take one in that moment. Faults stay deliverable: they belong to the
/// thread that causes them.
class BlockProcessSignals {
 public:
  BlockProcessSignals();
  ~BlockProcessSignals();
  BlockProcessSignals(const BlockProcessSignals&) = delete;
  BlockProcessSignals& operator=(const BlockProcessSignals&) = delete;

 private:
#if !defined(_WIN32)
  sigset_t old_;
#endif
};

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_THREADS_H_
