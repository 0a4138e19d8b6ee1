#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "comm/serial_device.h"
#include "tty_baud.h"

namespace comm {

namespace {

struct RateCode {
  uint32_t rate;
  speed_t code;
};
constexpr RateCode kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000}};

bool SpeedCodeOf(uint32_t rate, speed_t& code) {
  for (const auto& r : kRates)
    if (r.rate == rate) {
      code = r.code;
      return true;
    }
  return false;
}

uint32_t RateOfCode(speed_t code) {
  for (const auto& r : kRates)
    if (r.code == code) return r.rate;
  return 0;
}

class TtyDevice final : public SerialDevice {
 public:
  ~TtyDevice() override { Close(); }

  int Open(const std::string& path) override {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    // No sharing: TIOCEXCL turns away other openers (except privileged ones), and the flock
    // also turns away privileged programs that play by the same rule.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno == EWOULDBLOCK ? EBUSY : errno;
      ::close(fd);
      return err;
    }
    ioctl(fd, TIOCEXCL);  // fails on a non-tty, which the caller finds out by itself
    fd_ = fd;
    struct stat st {};
    const unsigned major = fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) ? ::major(st.st_rdev) : 0;
    isPseudoTerminal_ = major >= kPtsFirstMajor && major <= kPtsLastMajor;
    return 0;
  }

  void Close() override {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }

  bool IsOpen() const override { return fd_ >= 0; }

  bool IsCharacterDevice() const override {
    struct stat st {};
    return fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISCHR(st.st_mode);
  }

  int PollFd() const override { return fd_; }
  ssize_t Read(void* buffer, size_t count) override { return ::read(fd_, buffer, count); }
  ssize_t Write(const void* buffer, size_t count) override { return ::write(fd_, buffer, count); }

  int GetAttributes(TtyAttributes& out) override {
    if (tcgetattr(fd_, &out.tio) != 0) return errno;
    out.baudRate = GetTtyBaudRate(fd_);
    if (out.baudRate == 0) out.baudRate = RateOfCode(cfgetospeed(&out.tio));
    return 0;
  }

  int SetAttributes(const TtyAttributes& in) override {
    termios t = in.tio;
    if (isPseudoTerminal_) {
      // A pty has no line framing: its driver forces 8 bits without parity and refuses a
      // request that only changes them, so they are left as the driver holds them.
      termios now{};
      if (tcgetattr(fd_, &now) != 0) return errno;
      constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR;
      t.c_cflag = (t.c_cflag & ~kFraming) | (now.c_cflag & kFraming);
    }
    speed_t code;
    const bool standard = SpeedCodeOf(in.baudRate, code);
    // A non-standard rate goes in by termios2 after the rest is set.
    cfsetispeed(&t, standard ? code : B38400);
    cfsetospeed(&t, standard ? code : B38400);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
    if (!standard) return SetTtyCustomBaudRate(fd_, in.baudRate);
    return 0;
  }

  int GetModemLines(int& lines) override { return ioctl(fd_, TIOCMGET, &lines) == 0 ? 0 : errno; }

  int SetModemLine(int line, bool on) override {
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : errno;
  }

  int BytesWaiting(int& count) override { return ioctl(fd_, FIONREAD, &count) == 0 ? 0 : errno; }

  int GetLineCounters(LineCounters& out) override {
    serial_icounter_struct c{};
    if (ioctl(fd_, TIOCGICOUNT, &c) != 0) return errno;
    out.cts = c.cts;
    out.dsr = c.dsr;
    out.rng = c.rng;
    out.dcd = c.dcd;
    out.frame = c.frame;
    out.overrun = c.overrun;
    out.parity = c.parity;
    out.brk = c.brk;
    out.bufOverrun = c.buf_overrun;
    return 0;
  }

 private:
  // Device numbers of the Unix98 pty slaves (/dev/pts/N).
  static constexpr unsigned kPtsFirstMajor = 136, kPtsLastMajor = 143;
  int fd_ = -1;
  bool isPseudoTerminal_ = false;
};

}  // namespace

std::unique_ptr<SerialDevice> MakeTtyDevice() { return std::make_unique<TtyDevice>(); }

bool IsStandardBaudRate(uint32_t rate) {
  speed_t code;
  return SpeedCodeOf(rate, code);
}

uint32_t ReadTtyBaudRate(int fd) { return GetTtyBaudRate(fd); }

bool IsNoModemLinesError(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace comm
