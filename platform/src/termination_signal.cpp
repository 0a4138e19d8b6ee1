#include "platform/termination_signal.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {

int OpenTerminationSignalFd() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
  return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

int ConsumeTerminationSignal(int fd) {
  signalfd_siginfo info{};
  if (read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
  return static_cast<int>(info.ssi_signo);
}

}  // namespace platform
