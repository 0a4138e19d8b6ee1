#include "tty_baud.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace comm {

int SetTtyCustomBaudRate(int fd, uint32_t rate) {
  struct termios2 t2 {};
  if (ioctl(fd, TCGETS2, &t2) != 0) return errno;
  t2.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t2.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t2.c_ispeed = rate;
  t2.c_ospeed = rate;
  if (ioctl(fd, TCSETS2, &t2) != 0) return errno;
  return 0;
}

uint32_t GetTtyBaudRate(int fd) {
  struct termios2 t2 {};
  if (ioctl(fd, TCGETS2, &t2) != 0) return 0;
  return t2.c_ospeed;
}

}  // namespace comm
