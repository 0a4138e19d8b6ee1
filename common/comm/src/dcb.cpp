#include "comm/dcb.h"

#include <cerrno>
#include <sys/ioctl.h>

namespace comm {

namespace {
constexpr uint32_t kOptionBits[] = {fParity, fDsrSensitivity, fTXContinueOnXoff, fErrorChar, fNull};

uint32_t WithDtrControl(uint32_t flags, uint32_t value) { return (flags & ~fDtrControlMask) | (value << 4); }
uint32_t WithRtsControl(uint32_t flags, uint32_t value) { return (flags & ~fRtsControlMask) | (value << 12); }
}  // namespace

uint32_t EventMaskOf(TCommEventTypes events) {
  static constexpr uint32_t kBits[] = {EV_BREAK, EV_CTS,  EV_DSR,    EV_ERR,    EV_RING,
                                       EV_RLSD,  EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY};
  uint32_t mask = 0;
  for (int i = 0; i < 9; ++i)
    if (events.Contains(static_cast<TCommEventType>(i))) mask |= kBits[i];
  return mask;
}

uint32_t ApplyFlowControl(uint32_t flags, TFlowControl flow) {
  switch (flow) {
    case fcDefault: return flags;
    case fcNone:
    case fcRTC: return fBinary;
    case fcCTS: return fBinary | fOutxCtsFlow | (kLineHandshake << 12);
    case fcDTR: return fBinary | fOutxDsrFlow | (kLineHandshake << 4);
    case fcSoftware: return fBinary | fOutX | fInX;
  }
  return flags;
}

uint32_t ApplyOptions(uint32_t flags, TCommOptions options) {
  for (int i = 0; i < 5; ++i) {
    if (options.Contains(static_cast<TCommOption>(i)))
      flags |= kOptionBits[i];
    else
      flags &= ~kOptionBits[i];
  }
  return flags;
}

TDcb MergeTtyIntoDcb(const TDcb& image, const TtyAttributes& tty, int modemLines) {
  TDcb dcb = image;
  const termios& t = tty.tio;
  if (tty.baudRate) dcb.BaudRate = tty.baudRate;
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB))
    dcb.Parity = NOPARITY;
  else if (t.c_cflag & CMSPAR)
    dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  else
    dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  // Linux has no 1.5 stop bits; a port told 1.5 runs with two and keeps saying 1.5.
  if (t.c_cflag & CSTOPB)
    dcb.StopBits = image.StopBits == ONE5STOPBITS ? ONE5STOPBITS : TWOSTOPBITS;
  else
    dcb.StopBits = ONESTOPBIT;

  uint32_t flags = image.Flags | fBinary;
  flags = (t.c_iflag & INPCK) ? (flags | fParity) : (flags & ~fParity);
  flags = (t.c_iflag & IXON) ? (flags | fOutX) : (flags & ~fOutX);
  flags = (t.c_iflag & IXOFF) ? (flags | fInX) : (flags & ~fInX);
  if (t.c_cflag & CRTSCTS) {
    flags = WithRtsControl(flags | fOutxCtsFlow, kLineHandshake);
  } else {
    flags &= ~fOutxCtsFlow;
    if (modemLines >= 0)
      flags = WithRtsControl(flags, (modemLines & TIOCM_RTS) ? kLineEnable : kLineDisable);
    else if (RtsControl(flags) == kLineHandshake)
      flags = WithRtsControl(flags, kLineEnable);
  }
  // DTR handshake has no termios equivalent; it stays as the image says.
  if (DtrControl(flags) != kLineHandshake && modemLines >= 0)
    flags = WithDtrControl(flags, (modemLines & TIOCM_DTR) ? kLineEnable : kLineDisable);
  dcb.Flags = flags;
  dcb.XonChar = t.c_cc[VSTART];
  dcb.XoffChar = t.c_cc[VSTOP];
  return dcb;
}

int DcbToTty(const TDcb& dcb, TtyAttributes& tty) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS)
    return EINVAL;
  if ((dcb.Flags & (fOutX | fInX)) && dcb.XonChar == dcb.XoffChar) return EINVAL;

  termios& t = tty.tio;
  // Always raw: the port moves bytes, it never edits lines.
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                 INPCK | IGNPAR | IMAXBEL | IUCLC);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: t.c_cflag |= PARENB; break;
    case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  // 1.5 stop bits do not exist on Linux: the nearest, two, is used.
  if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
  // Parity errors: with checking on, Linux hands a bad byte over as NUL (no choosable error
  // character) and counts it for OnError.
  if (dcb.Flags & fParity) t.c_iflag |= INPCK;
  if (dcb.Flags & fOutX) t.c_iflag |= IXON;
  if (dcb.Flags & fInX) t.c_iflag |= IXOFF;
  // Linux has one switch for both directions of RTS/CTS handshake.
  if ((dcb.Flags & fOutxCtsFlow) || RtsControl(dcb.Flags) == kLineHandshake) t.c_cflag |= CRTSCTS;
  t.c_cc[VSTART] = dcb.XonChar;
  t.c_cc[VSTOP] = dcb.XoffChar;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  tty.baudRate = dcb.BaudRate;
  return 0;
}

}  // namespace comm
