// The port on real pseudo-terminals: bytes, settings, hand-over, close and unplug.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "comm/comm.h"
#include "comm/port_name.h"
#include "platform/registry.h"
#include "test_support.h"

using namespace comm;
using comm_test::Pty;
using comm_test::PumpUntil;

namespace {

void ExpectCommError(const std::function<void()>& call, const std::string& text, int code) {
  try {
    call();
    ADD_FAILURE() << "no ECommError for " << text;
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), text);
    EXPECT_EQ(e.ErrorCode(), code);
    EXPECT_EQ(std::string(e.what()), text + " (Error: " + std::to_string(code) + ") ");
  }
}

void MapComPort(const std::string& com, const std::string& path) {
  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(kSerialPortsKey, true));
  reg.WriteString(com, path);
}

}  // namespace

TEST(CommPty, ConstructionValues) {
  TComm port;
  EXPECT_EQ(port.DeviceName(), "COM1");
  EXPECT_EQ(port.ReadTimeout(), 65535);
  EXPECT_EQ(port.WriteTimeout(), 65535);
  EXPECT_EQ(port.ReadBufSize(), 4096);
  EXPECT_EQ(port.WriteBufSize(), 2048);
  EXPECT_EQ(port.MonitorEvents(), kAllCommEvents);
  EXPECT_EQ(port.BaudRate(), 9600u);
  EXPECT_EQ(port.Parity(), EVENPARITY);
  EXPECT_EQ(port.Stopbits(), TWOSTOPBITS);
  EXPECT_EQ(port.Databits(), 8);
  EXPECT_EQ(port.EventChars().XonChar(), 17);
  EXPECT_EQ(port.EventChars().XoffChar(), 19);
  EXPECT_TRUE(port.Options().Empty());
  EXPECT_EQ(port.FlowControl(), fcDefault);
  EXPECT_FALSE(port.IsOpen());
  port.Close();  // closing a closed port does nothing
  EXPECT_FALSE(port.IsOpen());
}

TEST(CommPty, SettingsMadeWhileClosedReachTheTtyAndChangesWhileOpenFollow) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  port.SetBaudRate(19200);
  port.SetParity(NOPARITY);
  port.SetStopbits(ONESTOPBIT);
  port.SetDatabits(7);
  port.Open();
  ASSERT_TRUE(port.IsOpen());
  // A pty keeps 8 bits without parity whatever it is told; framing is checked on the fake.
  termios t = pty.Attributes();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | ICRNL), 0u);  // raw, and no terminal-style XON/XOFF
  EXPECT_EQ(port.Dcb().XonLim, 1024);
  EXPECT_EQ(port.Dcb().ByteSize, 7);

  port.SetParity(MARKPARITY);
  port.SetStopbits(TWOSTOPBITS);
  port.SetDatabits(8);
  port.SetBaudRate(57600);
  t = pty.Attributes();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  port.SetBaudRate(250000);  // not a standard rate: goes in through termios2
  EXPECT_EQ(ReadTtyBaudRate(pty.master), 250000u);
  EXPECT_EQ(port.Dcb().BaudRate, 250000u);
}

TEST(CommPty, SameValueIsANoOpWhileOpenAndAChangeOfAFixedSettingRaises) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  port.Open();
  port.SetDeviceName(pty.slavePath);
  port.SetReadBufSize(4096);
  port.SetWriteBufSize(2048);
  port.SetMonitorEvents(kAllCommEvents);
  port.SetBaudRate(9600);
  ExpectCommError([&] { port.SetDeviceName("COM2"); }, sPortAlreadyOpen, -1);
  ExpectCommError([&] { port.SetReadBufSize(1); }, sPortAlreadyOpen, -1);
  ExpectCommError([&] { port.SetWriteBufSize(1); }, sPortAlreadyOpen, -1);
  ExpectCommError([&] { port.SetMonitorEvents({evRxChar}); }, sPortAlreadyOpen, -1);
  ExpectCommError([&] { port.Open(); }, sPortAlreadyOpen, -1);
  EXPECT_EQ(port.DeviceName(), pty.slavePath);
  EXPECT_TRUE(port.IsOpen());
}

TEST(CommPty, BytesBothWaysWithOnRxChargOnTheOwnersThread) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  std::string received;
  std::vector<int> counts;
  std::thread::id handlerThread;
  port.OnRxChar = [&](TCustomComm* sender, int32_t count) {
    handlerThread = std::this_thread::get_id();
    counts.push_back(count);
    std::string chunk(static_cast<size_t>(count), '\0');
    ASSERT_EQ(sender->Read(chunk.data(), count), count);
    received += chunk;
  };
  port.Open();
  pty.Send("$GPRMC,1*00\r\n");
  EXPECT_TRUE(PumpUntil([&] { return received.size() == 13; }));
  EXPECT_EQ(received, "$GPRMC,1*00\r\n");
  EXPECT_EQ(handlerThread, std::this_thread::get_id());
  for (int c : counts) EXPECT_GT(c, 0);

  const uint8_t request[] = {0x73};
  EXPECT_EQ(port.Write(request, 1), 1);
  EXPECT_EQ(pty.Receive(), "s");
}

TEST(CommPty, UnreadInputIsReportedOnceAndNewInputAgainWithTheWholeCount) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  std::vector<int> counts;
  port.OnRxChar = [&](TCustomComm*, int32_t count) { counts.push_back(count); };
  port.Open();
  pty.Send("abc");
  ASSERT_TRUE(PumpUntil([&] { return !counts.empty() && counts.back() == 3; }));
  const size_t calls = counts.size();
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(counts.size(), calls);  // left unread: no event storm
  pty.Send("de");
  ASSERT_TRUE(PumpUntil([&] { return counts.back() == 5; }));
  char buf[5];
  EXPECT_EQ(port.Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "abcde");
}

TEST(CommPty, OpenThroughTheRegistryComMapping) {
  comm_test::ScopedRegistryDir registry;
  Pty pty;
  MapComPort("COM7", pty.slavePath);
  TComm port;
  port.SetDeviceName("COM7");
  std::string received;
  port.OnRxChar = [&](TCustomComm* s, int32_t count) {
    std::string chunk(static_cast<size_t>(count), '\0');
    s->Read(chunk.data(), count);
    received += chunk;
  };
  port.Open();
  pty.Send("x");
  EXPECT_TRUE(PumpUntil([&] { return received == "x"; }));
}

TEST(CommPty, GnssProfileTriesItsNamesInOrder) {
  comm_test::ScopedRegistryDir registry;
  Pty pty;
  MapComPort("COM3", "/nonexistent/tty-for-com3");
  MapComPort("COM4", pty.slavePath);
  TComm port(TCommProfile::GnssModule);
  port.SetDeviceName("com3\r\ncom4");
  EXPECT_EQ(port.DeviceName(), "COM3");
  EXPECT_EQ(port.DeviceNames(), (std::vector<std::string>{"COM3", "COM4"}));
  port.Open();
  EXPECT_EQ(port.DeviceName(), "COM4");
  port.Close();

  TComm none(TCommProfile::GnssModule);
  none.SetDeviceName("COM3");
  ExpectCommError([&] { none.Open(); }, sErrorAccessingDevice, ENOENT);
  EXPECT_EQ(none.DeviceName(), "COM3");
  EXPECT_FALSE(none.IsOpen());
  none.SetDeviceName("\n");  // no name left: the old one stays, and nothing can open
  EXPECT_EQ(none.DeviceName(), "COM3");
  ExpectCommError([&] { none.Open(); }, sErrorAccessingDevice, ENOENT);
}

TEST(CommPty, NonTtysAreRefusedAndLeaveThePortClosed) {
  const std::string file = std::string(std::getenv("TESSARO_TEST_SCRATCH") ? std::getenv("TESSARO_TEST_SCRATCH") : "/tmp") +
                           "/comm-not-a-device";
  std::ofstream(file) << "plain file";
  TComm device;
  device.SetDeviceName(file);
  ExpectCommError([&] { device.Open(); }, sInvalidDeviceHandle, -1);
  EXPECT_FALSE(device.IsOpen());

  // The GNSS profile does not check the kind; the tty settings then fail, and a half-opened
  // port is closed again.
  TComm gnss(TCommProfile::GnssModule);
  gnss.SetDeviceName(file);
  ExpectCommError([&] { gnss.Open(); }, sErrorUpdatingDcb, ENOTTY);
  EXPECT_FALSE(gnss.IsOpen());

  TComm missing;
  missing.SetDeviceName("/nonexistent/tty");
  ExpectCommError([&] { missing.Open(); }, sErrorAccessingDevice, ENOENT);
  std::remove(file.c_str());
}

TEST(CommPty, ASecondPortCannotOpenTheSameDevice) {
  Pty pty;
  TComm first, second;
  first.SetDeviceName(pty.slavePath);
  second.SetDeviceName(pty.slavePath);
  first.Open();
  ExpectCommError([&] { second.Open(); }, sErrorAccessingDevice, EBUSY);
  first.Close();
  second.Open();
  EXPECT_TRUE(second.IsOpen());
}

TEST(CommPty, ReadTimeoutAnswersMinusOneAndLeavesTheLockFree) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  port.SetReadTimeout(50);
  port.Open();
  pty.Send("abc");
  char buf[10];
  EXPECT_EQ(port.Read(buf, 10), -1);
  int written = 0;
  std::thread other([&] { written = port.Write("ok", 2); });
  other.join();
  EXPECT_EQ(written, 2);
  EXPECT_EQ(pty.Receive(), "ok");
  EXPECT_EQ(port.Read(buf, 0), 0);
}

TEST(CommPty, CloseWhileAHandOverWaitsForTheOwnerAbandonsIt) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  int calls = 0;
  port.OnRxChar = [&](TCustomComm*, int32_t) { ++calls; };
  port.Open();
  pty.Send("z");
  // Give the event thread time to block in the hand-over; the owner does not pump meanwhile.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(calls, 0);
  port.Open();  // and the device is free again
  EXPECT_TRUE(port.IsOpen());
}

TEST(CommPty, CloseFromInsideAHandlerEndsTheBatch) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  int calls = 0;
  port.OnRxChar = [&](TCustomComm* s, int32_t) {
    ++calls;
    s->Close();
  };
  port.Open();
  pty.Send("q");
  EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
  EXPECT_FALSE(port.IsOpen());
}

TEST(CommPty, AThrowingHandlerDoesNotStopLaterEvents) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  int calls = 0;
  port.OnRxChar = [&](TCustomComm* s, int32_t count) {
    ++calls;
    std::string chunk(static_cast<size_t>(count), '\0');
    s->Read(chunk.data(), count);
    if (calls == 1) throw std::runtime_error("handler failed");
  };
  port.Open();
  pty.Send("1");
  EXPECT_THROW(PumpUntil([&] { return calls == 1; }), std::runtime_error);
  pty.Send("2");
  EXPECT_TRUE(PumpUntil([&] { return calls == 2; }));
}

TEST(CommPty, UnpluggedDeviceStopsEventsAndFailsReadAndWrite) {
  Pty pty;
  TComm port;
  port.SetDeviceName(pty.slavePath);
  int calls = 0;
  port.OnRxChar = [&](TCustomComm*, int32_t) { ++calls; };
  port.Open();
  pty.CloseMaster();
  for (int i = 0; i < 200 && !port.DeviceLost(); ++i) PumpUntil([] { return false; }, 10);
  ASSERT_TRUE(port.DeviceLost());
  EXPECT_TRUE(port.IsOpen());
  char buf[4];
  ExpectCommError([&] { port.Read(buf, 4); }, sReadError, EIO);
  ExpectCommError([&] { port.Write("x", 1); }, sWriteError, EIO);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}
