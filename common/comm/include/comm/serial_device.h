#pragma once
// The seam between the port and the operating system: everything the port asks of a tty.
// TtyDevice is the real one; tests put a fake behind it for the modem lines that ptys lack.
#include <cstdint>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <termios.h>

namespace comm {

// termios plus the exact line rate, which plain termios can only express for standard rates.
struct TtyAttributes {
  termios tio{};
  uint32_t baudRate = 0;
};

// Transition counters kept by the serial driver (TIOCGICOUNT).
struct LineCounters {
  int cts = 0, dsr = 0, rng = 0, dcd = 0;
  int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Calls answer 0 or an errno value.
  virtual int Open(const std::string& path) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool IsCharacterDevice() const = 0;
  // Becomes readable when input waits; reports POLLHUP/POLLERR when the device has gone.
  virtual int PollFd() const = 0;
  // As read(2) and write(2) on a non-blocking descriptor: -1 with errno set on failure.
  virtual ssize_t Read(void* buffer, size_t count) = 0;
  virtual ssize_t Write(const void* buffer, size_t count) = 0;
  virtual int GetAttributes(TtyAttributes& out) = 0;
  virtual int SetAttributes(const TtyAttributes& in) = 0;
  // TIOCM_* bits.
  virtual int GetModemLines(int& lines) = 0;
  virtual int SetModemLine(int line, bool on) = 0;
  virtual int BytesWaiting(int& count) = 0;
  // ENOTTY or EINVAL: this driver keeps no counters.
  virtual int GetLineCounters(LineCounters& out) = 0;
};

// A tty opened with O_RDWR | O_NOCTTY | O_NONBLOCK, made exclusive.
std::unique_ptr<SerialDevice> MakeTtyDevice();

// Line-rate helpers of the tty device, also used by tests to read a pty back.
bool IsStandardBaudRate(uint32_t rate);
// The exact rate the driver holds for `fd` (termios2), 0 when it cannot be read.
uint32_t ReadTtyBaudRate(int fd);

// True for errno values by which a driver says it has no modem lines (ptys, for instance).
bool IsNoModemLinesError(int err);

}  // namespace comm
