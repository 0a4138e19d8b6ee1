// Routes, string handles, byte queues, addresses, number forms and bits through the exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TesTools.h"

TEST(Routes, MirrorAndPad) {
  EXPECT_EQ(HalfByteMirr(0x12), 0x21);
  EXPECT_EQ(MirrRoute(0x1357), 0x7531);
  struct Case {
    uint16_t route, left, right;
  } cases[] = {
      {0x0, 0xAAAA, 0xAAAA}, {0x5, 0x5AAA, 0xAAA5}, {0x12, 0x12AA, 0xAA12},
      {0x123, 0x123A, 0xA123}, {0x1234, 0x1234, 0x1234},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PadRoute(c.route, true), c.left) << std::hex << c.route;
    EXPECT_EQ(PadRoute(c.route, false), c.right) << std::hex << c.route;
  }
}

TEST(Routes, AddDigit) {
  struct Case {
    uint16_t route;
    uint8_t digit;
    bool left;
    uint16_t result;
  } cases[] = {
      {0x5, 3, false, 0x35},      {0x5, 3, true, 0x53},        {0x35, 7, false, 0x735},
      {0x735, 1, false, 0x1735},  {0x1357, 7, false, 0x7357},  {0x1357, 9, true, 0x3579},
      {0x5, 0x13, false, 0x35},  // only the digit's nibble counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AddToRoute(c.route, c.digit, c.left), c.result) << std::hex << c.route << " " << int(c.digit);
  }
}

TEST(Routes, ExtractFirstDigit) {
  struct Case {
    int32_t route;
    uint8_t digit;
    int32_t rest;
  } cases[] = {
      {0x0305, 3, 0x0005}, {0x1357, 1, 0x0357}, {0x0005, 5, 0}, {0x0050, 5, 0}, {0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t route = c.route;
    EXPECT_EQ(Extract1stDigitInRoute(route), c.digit) << std::hex << c.route;
    EXPECT_EQ(route, c.rest) << std::hex << c.route;
  }
}

TEST(StringHandles, ExtractInsertAndRelease) {
  const int32_t h = StringToIntegerAddress("hello world");
  std::string part;
  EXPECT_TRUE(ExtractStringFromIntegerAddress(h, 1, 6, part));
  EXPECT_EQ(part, "hello ");
  EXPECT_FALSE(ExtractStringFromIntegerAddress(h, 3, 10, part));  // only three left there
  EXPECT_EQ(part, "rld");
  EXPECT_TRUE(InsertStringToIntegerAddress("<>", h, 2));
  EXPECT_TRUE(InsertStringToIntegerAddress("!", h, 100));  // past the end: appended
  std::string whole;
  EXPECT_TRUE(IntegerAddressToString(h, whole));
  EXPECT_EQ(whole, "w<>o!");
}

TEST(StringHandles, ReleasedOrUnknownHandlesFailCleanly) {
  const int32_t h = StringToIntegerAddress("x");
  std::string text;
  ASSERT_TRUE(IntegerAddressToString(h, text));
  text = "stale";
  EXPECT_FALSE(IntegerAddressToString(h, text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ExtractStringFromIntegerAddress(h, 1, 1, text));
  EXPECT_FALSE(InsertStringToIntegerAddress("y", h, 1));
  EXPECT_FALSE(IntegerAddressToString(0, text));
  EXPECT_FALSE(IntegerAddressToString(-123456, text));
}

TEST(ByteQueue, FirstInFirstOutAndShortQueue) {
  std::string queue;
  DataToLIFOString("A", 1, queue);
  DataToLIFOString("BC", 2, queue);
  char out[4] = "...";
  DataFromLIFOString(out, 1, queue);
  EXPECT_EQ(out[0], 'A');
  // Asking for more than the queue holds takes what is there and leaves the rest of the area.
  DataFromLIFOString(out, 3, queue);
  EXPECT_EQ(std::string(out, 3), "BC.");
  EXPECT_TRUE(queue.empty());
}

TEST(Addresses, DottedTextAndLookup) {
  const uint8_t bytes[] = {99, 10, 0, 0, 7};
  EXPECT_EQ(IP_Ord(bytes, 1, 4), "10.0.0.7");
  EXPECT_EQ(IP_Ord(bytes, 1, 0), "");
  EXPECT_EQ(IP_AddressByHost(0, "127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(IP_AddressByHost(0, "localhost"), "127.0.0.1");
  EXPECT_EQ(IP_AddressByHost(200, "127.0.0.1"), "");  // beyond the host's list
  EXPECT_EQ(IP_AddressByHost(0, ""), "");
}

TEST(NumberForms, ThreeAndFourByteValues) {
  const uint8_t one[] = {0x00, 0x80, 0x41};
  const uint8_t minusOne[] = {0x00, 0x80, 0xC1};
  const uint8_t quarter[] = {0xEE, 0x00, 0x40, 0x40};
  EXPECT_DOUBLE_EQ(ThreeBytesToFloat(one, 0), 1.0);
  EXPECT_DOUBLE_EQ(ThreeBytesToFloat(minusOne, 0), -1.0);
  EXPECT_DOUBLE_EQ(ThreeBytesToFloat(quarter, 1), 0.25);
  const uint8_t max[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_DOUBLE_EQ(FourBytesToUnsignedFloat(max, 0), 4294967.295);
}

TEST(RawBytes, SixteenBytesAndWrap) {
  const char area[] = "abcdef";
  EXPECT_EQ(SixteenBytesToString(area, 2, 3), "cde");
  EXPECT_EQ(SixteenBytesToString(area, 2, 0), "");
  char a[] = "1234", b[] = "wxyz";
  Wrap(a, b, 3);
  EXPECT_STREQ(a, "wxy4");
  EXPECT_STREQ(b, "123z");
  Wrap(a, b, -1);
  EXPECT_STREQ(a, "wxy4");
}

TEST(Bits, SetClearTestAndOutOfRange) {
  uint8_t byte = 0;
  SetBit(7, byte);
  SetBit(0, byte);
  EXPECT_EQ(byte, 0x81);
  ClearBit(7, byte);
  EXPECT_EQ(byte, 0x01);
  SetBit(8, byte);  // addresses no bit
  EXPECT_EQ(byte, 0x01);
  EXPECT_TRUE(IsBit(31, -1));
  EXPECT_FALSE(IsBit(32, -1));
  int64_t wide = 0;
  SetBitInt64(40, wide);
  EXPECT_EQ(wide, int64_t{1} << 40);
  SetBitInt64(63, wide);
  EXPECT_TRUE(IsBitInt64(63, wide));
  ClearBitInt64(40, wide);
  EXPECT_FALSE(IsBitInt64(40, wide));
  SetBitInt64(64, wide);
  EXPECT_FALSE(IsBitInt64(64, -1));
  EXPECT_EQ(wide, INT64_MIN);
}
