#pragma once
// Line rates through termios2, kept in a file of its own because the kernel's termios2
// header cannot share a translation unit with <termios.h>.
#include <cstdint>

namespace comm {

// Sets any rate the driver accepts (BOTHER); 0 or errno.
int SetTtyCustomBaudRate(int fd, uint32_t rate);
// The exact output rate the driver holds; 0 when it cannot be read.
uint32_t GetTtyBaudRate(int fd);

}  // namespace comm
