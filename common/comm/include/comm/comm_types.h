#pragma once
// Enumerations, sets and the Win32 codes that the port settings and events are expressed in.
// The codes are kept because settings files and callers use them (parity 2 is even, and so on).
#include <cstdint>
#include <initializer_list>

namespace comm {

// A small set over an enumeration whose members have ordinals below 32.
template <typename E>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  static constexpr EnumSet FromBits(uint32_t bits) {
    EnumSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr void Include(E m) { bits_ |= Bit(m); }
  constexpr void Exclude(E m) { bits_ &= ~Bit(m); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr uint32_t Bit(E m) { return 1u << static_cast<uint32_t>(m); }
  uint32_t bits_ = 0;
};

enum TCommEventType : uint8_t { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };
using TCommEventTypes = EnumSet<TCommEventType>;
inline constexpr TCommEventTypes kAllCommEvents = TCommEventTypes::FromBits(0x1FF);

enum TCommOption : uint8_t { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
using TCommOptions = EnumSet<TCommOption>;

enum TFlowControl : uint8_t { fcNone, fcRTC, fcCTS, fcDTR, fcSoftware, fcDefault };

// Which program the port serves; the two differ in naming, the device check and the close wait.
enum class TCommProfile { DeviceModule, GnssModule };

// Event-mask bits, as the event thread reports them.
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_RXFLAG = 0x0002;
inline constexpr uint32_t EV_TXEMPTY = 0x0004;
inline constexpr uint32_t EV_CTS = 0x0008;
inline constexpr uint32_t EV_DSR = 0x0010;
inline constexpr uint32_t EV_RLSD = 0x0020;
inline constexpr uint32_t EV_BREAK = 0x0040;
inline constexpr uint32_t EV_ERR = 0x0080;
inline constexpr uint32_t EV_RING = 0x0100;

uint32_t EventMaskOf(TCommEventTypes events);

// Line-error word handed to OnError.
inline constexpr uint32_t CE_RXOVER = 0x0001;
inline constexpr uint32_t CE_OVERRUN = 0x0002;
inline constexpr uint32_t CE_RXPARITY = 0x0004;
inline constexpr uint32_t CE_FRAME = 0x0008;
inline constexpr uint32_t CE_BREAK = 0x0010;

// Modem input lines for GetModemSignal.
inline constexpr int MS_CTS_ON = 0x10;
inline constexpr int MS_DSR_ON = 0x20;
inline constexpr int MS_RING_ON = 0x40;
inline constexpr int MS_RLSD_ON = 0x80;

// Parity and stop-bit codes.
inline constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

}  // namespace comm
