// What every thread the program starts needs: how many processors there
// are to run on, and the signals kept away from it.

#ifndef ORBITPICK_BASE_THREADS_H_
#define ORBITPICK_BASE_THREADS_H_

#if !defined(_WIN32)
#include <signal.h>
#endif

#include <functional>
#include <thread>

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

/// Starts "body" on a new thread with the process's signals blocked there
/// (see BlockProcessSignals). False, and *thread left as it was, when the
/// system has no thread to give (a limit on processes, say): the caller
/// then does the work in turn.
bool start_thread(std::function<void()> body, std::thread* thread);

/// Runs "work" on a thread of its own, with the process's signals blocked
/// there, or at once when no thread can be started; waits for it to end
/// when destroyed.
class BackgroundWork {
 public:
  explicit BackgroundWork(std::function<void()> work);
  ~BackgroundWork();
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

 private:
  std::thread thread_;
};

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_THREADS_H_
