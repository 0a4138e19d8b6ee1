// The port over a fake device: modem lines, line errors, batch order, line control and the
// settings image, none of which a pty can show.
#include <gtest/gtest.h>

#include "comm/comm.h"
#include "test_support.h"

using namespace comm;
using comm_test::FakeLine;
using comm_test::PumpUntil;

namespace {

struct FakePort {
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  TComm port;
  explicit FakePort(TCommProfile profile = TCommProfile::DeviceModule) : port(profile, comm_test::FakeFactory(line)) {}
};

}  // namespace

TEST(CommFakeDevice, LineChangesReachOnCtsAndOnDsrWithOrWithoutDriverCounters) {
  for (bool counters : {true, false}) {
    FakePort f(TCommProfile::GnssModule);
    f.line->hasCounters = counters;
    std::vector<std::string> seen;
    f.port.OnCts = [&](TCustomComm* s) { seen.push_back(std::string("CTS") + (s->GetModemSignal(1) ? "1" : "0")); };
    f.port.OnDsr = [&](TCustomComm* s) { seen.push_back(std::string("DSR") + (s->GetModemSignal(2) ? "1" : "0")); };
    f.port.Open();
    f.line->Toggle(TIOCM_CTS);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 1; })) << counters;
    f.line->Toggle(TIOCM_DSR);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; })) << counters;
    f.line->Toggle(TIOCM_CTS);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 3; })) << counters;
    EXPECT_EQ(seen, (std::vector<std::string>{"CTS1", "DSR1", "CTS0"})) << counters;
  }
}

TEST(CommFakeDevice, ModemSignalKinds) {
  FakePort f;
  EXPECT_FALSE(f.port.GetModemSignal(1));  // closed
  f.line->lines = TIOCM_CTS | TIOCM_RNG | TIOCM_CD;
  f.port.Open();
  EXPECT_TRUE(f.port.GetModemSignal(1));
  EXPECT_FALSE(f.port.GetModemSignal(2));
  EXPECT_TRUE(f.port.GetModemSignal(3));
  EXPECT_TRUE(f.port.GetModemSignal(4));
  EXPECT_FALSE(f.port.GetModemSignal(0));
  EXPECT_FALSE(f.port.GetModemSignal(5));
  f.line->hasModemLines = false;
  EXPECT_FALSE(f.port.GetModemSignal(1));
}

TEST(CommFakeDevice, OneBatchRunsItsHandlersInTheFixedOrder) {
  FakePort f;
  std::vector<std::string> order;
  int32_t errorWord = -1;
  bool armed = false;
  auto note = [&](const char* name) { return [&, name](TCustomComm*) { order.push_back(name); }; };
  f.port.OnBreak = note("Break");
  f.port.OnCts = note("Cts");
  f.port.OnDsr = note("Dsr");
  f.port.OnError = [&](TCustomComm*, int32_t errors) {
    order.push_back("Error");
    errorWord = errors;
  };
  f.port.OnRing = note("Ring");
  f.port.OnRlsd = note("Rlsd");
  f.port.OnRxChar = [&](TCustomComm* s, int32_t count) {
    char buf[16];
    s->Read(buf, count);
    order.push_back("RxChar" + std::to_string(count));
    if (armed) return;
    armed = true;
    // While the event thread waits for this hand-over, everything happens at once.
    {
      std::lock_guard lock(f.line->mutex);
      f.line->counters.brk++;
      f.line->counters.cts++;
      f.line->counters.dsr++;
      f.line->counters.frame++;
      f.line->counters.rng++;
      f.line->counters.dcd++;
    }
    f.line->Feed("xyz");
  };
  f.port.Open();
  f.line->Feed("a");
  ASSERT_TRUE(PumpUntil([&] { return order.size() >= 8; }));
  EXPECT_EQ(order, (std::vector<std::string>{"RxChar1", "Break", "Cts", "Dsr", "Error", "Ring", "Rlsd", "RxChar3"}));
  EXPECT_EQ(errorWord, int32_t(CE_BREAK | CE_FRAME));
}

TEST(CommFakeDevice, EachBatchClearsTheErrorsAndOnErrorOnlySeesReportedOnes) {
  FakePort f;
  std::vector<int32_t> errors;
  int breaks = 0;
  f.port.OnBreak = [&](TCustomComm*) { ++breaks; };
  f.port.OnError = [&](TCustomComm*, int32_t e) { errors.push_back(e); };
  f.port.Open();
  {
    std::lock_guard lock(f.line->mutex);
    f.line->counters.brk++;
  }
  ASSERT_TRUE(PumpUntil([&] { return breaks == 1; }));
  EXPECT_TRUE(errors.empty());  // a break alone is no line error
  {
    std::lock_guard lock(f.line->mutex);
    f.line->counters.parity++;
    f.line->counters.overrun++;
  }
  ASSERT_TRUE(PumpUntil([&] { return errors.size() == 1; }));
  EXPECT_EQ(errors[0], int32_t(CE_RXPARITY | CE_OVERRUN));  // the break's CE_BREAK was cleared
}

TEST(CommFakeDevice, UnmonitoredEventsAreNotReported) {
  FakePort f;
  f.port.SetMonitorEvents({evRxChar});
  int cts = 0, rx = 0;
  f.port.OnCts = [&](TCustomComm*) { ++cts; };
  f.port.OnRxChar = [&](TCustomComm* s, int32_t count) {
    char buf[8];
    s->Read(buf, count);
    ++rx;
  };
  f.port.Open();
  f.line->Toggle(TIOCM_CTS);
  f.line->Feed("1");
  ASSERT_TRUE(PumpUntil([&] { return rx == 1; }));
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(cts, 0);
}

TEST(CommFakeDevice, DtrAndRtsLinesWithTheirHandlers) {
  FakePort f;
  std::vector<std::string> calls;
  f.port.OnSetRTS = [&](TCustomComm* s) { calls.push_back(s->RtsState() ? "set-while-on" : "set"); };
  f.port.OnClearRTS = [&](TCustomComm*) { calls.push_back("clear"); };
  try {
    f.port.SetDTR(true);
    ADD_FAILURE();
  } catch (const ECommError& e) {
    EXPECT_EQ(std::string(e.what()), "Port not open, unable to complete operation (Error: -1) ");
  }
  EXPECT_THROW(f.port.SetRTS(true), ECommError);
  f.port.Open();
  f.port.SetDTR(false);
  f.port.SetRTS(false);
  EXPECT_EQ(f.line->lines & (TIOCM_DTR | TIOCM_RTS), 0);
  f.port.SetRTS(true);
  EXPECT_EQ(f.line->lines & TIOCM_RTS, TIOCM_RTS);
  EXPECT_TRUE(f.port.RtsState());
  EXPECT_EQ(calls, (std::vector<std::string>{"clear", "set"}));

  f.line->setLineError = ENOTTY;  // no modem lines at all (a pty): nothing to drive
  f.port.SetDTR(true);
  f.line->setLineError = EIO;
  try {
    f.port.SetDTR(true);
    ADD_FAILURE();
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), sEscapeFailure);
    EXPECT_EQ(e.ErrorCode(), EIO);
  }
}

TEST(CommFakeDevice, FullUpdateAppliesFlowAndOptionsButASingleSettingDropsTheOptions) {
  FakePort f;
  f.port.SetParity(ODDPARITY);
  f.port.SetStopbits(ONESTOPBIT);
  f.port.SetDatabits(7);
  f.port.Open();
  EXPECT_EQ(f.line->attributes.tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), tcflag_t(CS7 | PARENB | PARODD));

  f.port.SetFlowControl(fcSoftware);
  f.port.SetOptions({coParityCheck, coNullStrip});
  EXPECT_EQ(f.port.Dcb().Flags, 0x0301u | fParity | fNull);
  EXPECT_EQ(f.line->attributes.tio.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));

  f.port.SetBaudRate(19200);
  EXPECT_EQ(f.port.Dcb().Flags, 0x0301u);
  EXPECT_EQ(f.line->attributes.baudRate, 19200u);
  EXPECT_FALSE(f.line->attributes.tio.c_iflag & INPCK);

  f.port.SetFlowControl(fcCTS);
  EXPECT_EQ(f.port.Dcb().Flags, 0x2005u | fParity | fNull);
  EXPECT_TRUE(f.line->attributes.tio.c_cflag & CRTSCTS);

  // The characters always go to the device, even when unchanged.
  f.line->attributes.tio.c_cc[VSTART] = 0;
  f.port.EventChars().SetXonChar(17);
  EXPECT_EQ(f.line->attributes.tio.c_cc[VSTART], 17);
  TCommEventChars chars;
  chars.SetXoffChar(20);
  f.port.SetEventChars(chars);
  EXPECT_EQ(f.line->attributes.tio.c_cc[VSTOP], 20);

  // A value the tty cannot take fails the full update.
  f.port.SetDatabits(9);
  try {
    f.port.SetFlowControl(fcNone);
    ADD_FAILURE();
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), sErrorUpdatingDcb);
    EXPECT_EQ(e.ErrorCode(), EINVAL);
  }
}

TEST(CommFakeDevice, FlowControlNoneDropsDtrAndRtsAsTheControlFieldsSay) {
  FakePort f;
  f.port.SetFlowControl(fcNone);
  f.port.Open();
  EXPECT_EQ(f.line->lines & (TIOCM_DTR | TIOCM_RTS), 0);
  f.port.Close();
  FakePort d;  // fcDefault keeps the lines as the driver has them
  d.port.Open();
  EXPECT_EQ(d.line->lines & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
}

TEST(CommFakeDevice, DeviceModuleProfileRefusesANonCharacterDevice) {
  FakePort f;
  f.line->isCharDevice = false;
  EXPECT_THROW(f.port.Open(), ECommError);
  EXPECT_FALSE(f.port.IsOpen());
  FakePort g(TCommProfile::GnssModule);
  g.line->isCharDevice = false;
  g.port.Open();
  EXPECT_TRUE(g.port.IsOpen());
  EXPECT_EQ(g.port.CloseWaitMs(), 5000u);
  EXPECT_EQ(f.port.CloseWaitMs(), 10000u);
}

TEST(CommFakeDevice, AVanishedDeviceStopsTheEventThread) {
  FakePort f;
  int calls = 0;
  f.port.OnRxChar = [&](TCustomComm*, int32_t) { ++calls; };
  f.port.Open();
  f.line->Feed("ab");
  f.line->Unplug();
  for (int i = 0; i < 200 && !f.port.DeviceLost(); ++i) PumpUntil([] { return false; }, 10);
  EXPECT_TRUE(f.port.DeviceLost());
  EXPECT_EQ(calls, 1);  // what it left behind is still reported, once
  char buf[4];
  EXPECT_EQ(f.port.Read(buf, 2), 2);
  EXPECT_THROW(f.port.Read(buf, 1), ECommError);
}
