#pragma once
// The device control block image: the port's settings in the Win32 layout. The port keeps it
// because its flow-control rule and option bits are defined on this flag word; it is translated
// to termios when it is written to the tty and merged back from termios when it is read.
#include <cstdint>

#include "comm/comm_types.h"
#include "comm/serial_device.h"

namespace comm {

// Flag word bits.
inline constexpr uint32_t fBinary = 0x0001;
inline constexpr uint32_t fParity = 0x0002;
inline constexpr uint32_t fOutxCtsFlow = 0x0004;
inline constexpr uint32_t fOutxDsrFlow = 0x0008;
inline constexpr uint32_t fDtrControlMask = 0x0030;
inline constexpr uint32_t fDsrSensitivity = 0x0040;
inline constexpr uint32_t fTXContinueOnXoff = 0x0080;
inline constexpr uint32_t fOutX = 0x0100;
inline constexpr uint32_t fInX = 0x0200;
inline constexpr uint32_t fErrorChar = 0x0400;
inline constexpr uint32_t fNull = 0x0800;
inline constexpr uint32_t fRtsControlMask = 0x3000;
inline constexpr uint32_t fAbortOnError = 0x4000;
// Control-field values (DTR at bit 4, RTS at bit 12).
inline constexpr uint32_t kLineDisable = 0, kLineEnable = 1, kLineHandshake = 2;
inline constexpr uint32_t DtrControl(uint32_t flags) { return (flags & fDtrControlMask) >> 4; }
inline constexpr uint32_t RtsControl(uint32_t flags) { return (flags & fRtsControlMask) >> 12; }

struct TDcb {
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  uint8_t XonChar = 0;
  uint8_t XoffChar = 0;
  uint8_t ErrorChar = 0;
  uint8_t EofChar = 0;
  uint8_t EvtChar = 0;
};

// The flow-control rule: every choice but fcDefault replaces the whole word.
uint32_t ApplyFlowControl(uint32_t flags, TFlowControl flow);
// Sets or clears the five option bits.
uint32_t ApplyOptions(uint32_t flags, TCommOptions options);

// Reads the tty's state into the image: fields termios knows are taken from `tty`, the rest
// (limits, characters without a termios slot, flags without an equivalent) stay as in `image`.
// `modemLines` are the TIOCM bits, or -1 when the device has none.
TDcb MergeTtyIntoDcb(const TDcb& image, const TtyAttributes& tty, int modemLines);

// Translates the image into `tty` (keeping what it does not govern). Answers 0 or EINVAL for a
// value the tty cannot take.
int DcbToTty(const TDcb& dcb, TtyAttributes& tty);

}  // namespace comm
