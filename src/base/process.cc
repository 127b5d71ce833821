// The process's own set-up: standard descriptors, signals and limits.

#include "base/process.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#if !defined(_WIN32)
#include <signal.h>
#include <unistd.h>
#endif

namespace orbitpick {
namespace {

// The file a signal removes: the output's temporary file while it exists.
char g_doomed[4096];
std::atomic<bool> g_doomed_live{false};
bool g_stdin_closed = false;

#if !defined(_WIN32)
#if defined(NSIG)
constexpr int kSignalSlots = NSIG;
#else
constexpr int kSignalSlots = 65;
#endif

// The catchable signals whose default action ends the process, besides
// SIGPIPE and SIGXFSZ, which are ignored instead. Real-time signals too, at
// run time (SIGRTMIN is not a constant).
constexpr int kFatalSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
    SIGBUS,    SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM,
    SIGTERM,   SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#if defined(__linux__)
    SIGSTKFLT, SIGIO,   SIGPWR,
#endif
};

struct sigaction g_old_action[kSignalSlots];
sigset_t g_held_mask;

bool is_fault(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE;
}

extern "C" void remove_and_die(int sig, siginfo_t* info, void*) {
  const int saved_errno = errno;
  if (g_doomed_live.exchange(false)) unlink(g_doomed);
  sigaction(sig, &g_old_action[sig], nullptr);
  // A fault the kernel raised comes back when the handler returns, now to
  // the old action (the default, or a sanitizer's report); any other signal
  // is sent again and arrives once the handler has returned.
  if (!(is_fault(sig) && info != nullptr && info->si_code > 0)) raise(sig);
  errno = saved_errno;
}

void catch_signal(int sig) {
  if (sig <= 0 || sig >= kSignalSlots) return;
  struct sigaction old;
  if (sigaction(sig, nullptr, &old) != 0) return;
  if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = remove_and_die;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigfillset(&action.sa_mask);
  g_old_action[sig] = old;
  sigaction(sig, &action, nullptr);
}
#endif

}  // namespace

void prepare_process() {
#if !defined(_WIN32)
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    if (fd == 0) g_stdin_closed = true;
    // The lowest free descriptor: this one, as the ones before it are open.
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0 && null_fd != fd) {
      dup2(null_fd, fd);
      close(null_fd);
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (int sig : kFatalSignals) catch_signal(sig);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) catch_signal(sig);
#endif
#endif
}

bool standard_input_was_closed() { return g_stdin_closed; }

void remove_on_signal(const std::string& path) {
  g_doomed_live.store(false);
  if (path.size() >= sizeof g_doomed) return;
  std::memcpy(g_doomed, path.c_str(), path.size() + 1);
  g_doomed_live.store(true);
}

void keep_on_signal() { g_doomed_live.store(false); }

void hold_signals() {
#if !defined(_WIN32)
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &g_held_mask);
#endif
}

void release_signals() {
#if !defined(_WIN32)
  pthread_sigmask(SIG_SETMASK, &g_held_mask, nullptr);
#endif
}

}  // namespace orbitpick
