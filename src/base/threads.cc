// What every thread the program starts needs.

#include "base/threads.h"

#if defined(__linux__)
#include <sched.h>
#endif
#if !defined(_WIN32)
#include <pthread.h>
#endif

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace orbitpick {

int usable_processors() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    return std::max(CPU_COUNT(&set), 1);
  }
#endif
  return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

#if defined(_WIN32)
BlockProcessSignals::BlockProcessSignals() {}
BlockProcessSignals::~BlockProcessSignals() {}
#else
BlockProcessSignals::BlockProcessSignals() {
  sigset_t set;
  sigfillset(&set);
  for (int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS}) {
    sigdelset(&set, fault);
  }
  pthread_sigmask(SIG_BLOCK, &set, &old_);
}
BlockProcessSignals::~BlockProcessSignals() {
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}
#endif

bool start_thread(std::function<void()> body, std::thread* thread) {
  BlockProcessSignals block;
  try {
    *thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

BackgroundWork::BackgroundWork(std::function<void()> work) {
  if (!start_thread(work, &thread_)) work();
}

BackgroundWork::~BackgroundWork() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace orbitpick
