#include <gtest/gtest.h>

#include "comm/port_name.h"
#include "platform/registry.h"
#include "test_support.h"

using namespace comm;

TEST(PortName, ResolvesPathsComNamesAndBareDeviceNames) {
  comm_test::ScopedRegistryDir registry;
  EXPECT_EQ(ResolvePortName("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortName("com12"), "/dev/ttyS11");
  EXPECT_EQ(ResolvePortName("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortName("COM0"), "/dev/COM0");  // no such COM port: never ttyS-1

  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(kSerialPortsKey, true));
  reg.WriteString("COM3", "/dev/ttyUSB1");
  reg.WriteInteger("COM4", 5);  // not a path: ignored
  EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyUSB1");
  EXPECT_EQ(ResolvePortName("com3"), "/dev/ttyUSB1");
  EXPECT_EQ(ResolvePortName("COM4"), "/dev/ttyS3");
}

TEST(PortName, SplitsListsUpperCasingOnlyComNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitPortNameList("com3\r\nCOM4"), (V{"COM3", "COM4"}));
  EXPECT_EQ(SplitPortNameList("\n\ncom1\n\n/dev/ttyUSB0\rttyACM0\n"), (V{"COM1", "/dev/ttyUSB0", "ttyACM0"}));
  EXPECT_TRUE(SplitPortNameList("\r\n\n").empty());
}
