#include <gtest/gtest.h>

#include "comm/dcb.h"

using namespace comm;

TEST(FlowControlRule, ReplacesTheFlagWordExceptForDefault) {
  const uint32_t driver = fBinary | fParity | fNull | fDsrSensitivity | (kLineEnable << 4) | (kLineEnable << 12);
  struct Case {
    TFlowControl flow;
    uint32_t expected;
  } cases[] = {{fcDefault, driver}, {fcNone, 0x0001}, {fcRTC, 0x0001},
               {fcCTS, 0x2005},     {fcDTR, 0x0029}, {fcSoftware, 0x0301}};
  for (const auto& c : cases) EXPECT_EQ(ApplyFlowControl(driver, c.flow), c.expected) << int(c.flow);
}

TEST(OptionBits, AreSetOrClearedOneByOne) {
  EXPECT_EQ(ApplyOptions(fBinary, {coParityCheck, coNullStrip}), fBinary | fParity | fNull);
  EXPECT_EQ(ApplyOptions(0xFFFF, {}), 0xFFFFu & ~(0x0002u | 0x0040u | 0x0080u | 0x0400u | 0x0800u));
  EXPECT_EQ(ApplyOptions(0, {coDsrSensitivity, coIgnoreXOff, coErrorChar}), 0x0040u | 0x0080u | 0x0400u);
}

TEST(EventMask, MapsEachMemberToItsBit) {
  EXPECT_EQ(EventMaskOf(kAllCommEvents), 0x01FFu);
  EXPECT_EQ(EventMaskOf({evRxChar, evCts, evDsr}), EV_RXCHAR | EV_CTS | EV_DSR);
  EXPECT_EQ(EventMaskOf({evBreak, evRing}), EV_BREAK | EV_RING);
}

namespace {
TDcb Line(uint8_t bits, uint8_t parity, uint8_t stop, uint32_t flags = fBinary) {
  TDcb d;
  d.BaudRate = 9600;
  d.ByteSize = bits;
  d.Parity = parity;
  d.StopBits = stop;
  d.Flags = flags;
  d.XonChar = 17;
  d.XoffChar = 19;
  return d;
}
}  // namespace

TEST(DcbToTty, TranslatesFramingAndFlowAndSurvivesTheRoundTrip) {
  struct Case {
    uint8_t bits, parity, stop;
    tcflag_t cflags;
  } cases[] = {{8, NOPARITY, ONESTOPBIT, CS8},
               {7, ODDPARITY, ONESTOPBIT, CS7 | PARENB | PARODD},
               {7, EVENPARITY, TWOSTOPBITS, CS7 | PARENB | CSTOPB},
               {6, MARKPARITY, ONESTOPBIT, CS6 | PARENB | PARODD | CMSPAR},
               {5, SPACEPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | CSTOPB}};
  for (const auto& c : cases) {
    TtyAttributes tty;
    tty.tio.c_lflag = ICANON | ECHO;
    tty.tio.c_iflag = ICRNL;
    ASSERT_EQ(DcbToTty(Line(c.bits, c.parity, c.stop), tty), 0);
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    EXPECT_EQ(tty.tio.c_cflag & framing, c.cflags) << int(c.bits) << int(c.parity);
    EXPECT_EQ(tty.tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tty.tio.c_iflag & ICRNL, 0u);
    TDcb back = MergeTtyIntoDcb(Line(8, 0, c.stop), tty, -1);
    EXPECT_EQ(back.ByteSize, c.bits);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);  // 1.5 runs as two and still reads 1.5
  }

  TtyAttributes tty;
  ASSERT_EQ(DcbToTty(Line(8, 0, 0, ApplyFlowControl(0, fcCTS)), tty), 0);
  EXPECT_TRUE(tty.tio.c_cflag & CRTSCTS);
  ASSERT_EQ(DcbToTty(Line(8, 0, 0, ApplyFlowControl(0, fcSoftware) | fParity), tty), 0);
  EXPECT_FALSE(tty.tio.c_cflag & CRTSCTS);
  EXPECT_EQ(tty.tio.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
  EXPECT_EQ(tty.tio.c_cc[VSTART], 17);
  EXPECT_EQ(tty.tio.c_cc[VSTOP], 19);
}

TEST(DcbToTty, RefusesWhatNoTtyCanTake) {
  for (TDcb bad : {Line(4, 0, 0), Line(9, 0, 0), Line(8, 5, 0), Line(8, 0, 3)}) {
    TtyAttributes tty;
    EXPECT_EQ(DcbToTty(bad, tty), EINVAL);
  }
  TDcb sameChars = Line(8, 0, 0, ApplyFlowControl(0, fcSoftware));
  sameChars.XoffChar = sameChars.XonChar;
  TtyAttributes tty;
  EXPECT_EQ(DcbToTty(sameChars, tty), EINVAL);
}

TEST(MergeTtyIntoDcb, KeepsWhatTermiosCannotHoldAndReadsTheLines) {
  TDcb image = Line(8, 0, 0, fBinary | fDsrSensitivity | fTXContinueOnXoff | fNull | fOutxDsrFlow | (kLineHandshake << 4));
  image.XonLim = 1024;
  image.EvtChar = '\n';
  TtyAttributes tty;
  ASSERT_EQ(DcbToTty(image, tty), 0);
  TDcb back = MergeTtyIntoDcb(image, tty, TIOCM_RTS);
  EXPECT_EQ(back.Flags & (fDsrSensitivity | fTXContinueOnXoff | fNull | fOutxDsrFlow),
            fDsrSensitivity | fTXContinueOnXoff | fNull | fOutxDsrFlow);
  EXPECT_EQ(DtrControl(back.Flags), kLineHandshake);
  EXPECT_EQ(RtsControl(back.Flags), kLineEnable);
  EXPECT_EQ(back.XonLim, 1024);
  EXPECT_EQ(back.EvtChar, '\n');
  EXPECT_EQ(RtsControl(MergeTtyIntoDcb(Line(8, 0, 0), tty, 0).Flags), kLineDisable);
}
