#pragma once
// SIGTERM and SIGINT as a readable descriptor, so a program turns them into an orderly close
// request on its own thread instead of dying in the middle of its work.

namespace platform {

// Blocks SIGTERM and SIGINT for the calling thread (and the threads it starts afterwards, so
// call it first in main) and answers a descriptor that becomes readable when one arrives;
// -1 on failure. Read it with ConsumeTerminationSignal.
int OpenTerminationSignalFd();
// Reads one pending signal; answers its number, or 0 when none was pending.
int ConsumeTerminationSignal(int fd);

}  // namespace platform
