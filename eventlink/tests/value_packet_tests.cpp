#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "test_bytes.h"
#include "wire/check_value.h"
#include "wire/seven_bit.h"
#include "wire/value_packet.h"
#include "wire/variant_codec.h"

namespace eventlink {
namespace {

using test::Bytes;
using test::kPacketOfFour;
using test::ToBytes;

Variant DecodePacket(const Bytes& packet) {
  // The payload is what lies between the markers.
  return DecodeValuePayload(packet.data() + 1, packet.size() - 2);
}

TEST(CheckValues, TableDrivenCheckDiffersFromXmodem) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(ValueCheck(abc, 3), 0x1EE4);
  EXPECT_EQ(Crc16Xmodem(abc, 3), 0x9DD6);
  const uint8_t abcZeros[] = {'a', 'b', 'c', 0, 0};
  EXPECT_EQ(ValueCheck(abcZeros, 5), 0x9DD6);
  EXPECT_EQ(Crc16Xmodem("123456789"), 0x31C3);
}

TEST(SevenBit, EncodedLengthsFlagBytesAndRoundTrip) {
  struct Case {
    size_t in, out;
  };
  for (const Case c : {Case{0, 0}, Case{1, 2}, Case{7, 8}, Case{8, 10}, Case{14, 16}, Case{15, 18}}) {
    Bytes input(c.in);
    for (size_t i = 0; i < c.in; ++i) input[i] = static_cast<uint8_t>(i * 37 + 0x7B);
    TDynArrayStream encoded;
    SevenBitEncode(input.data(), input.size(), encoded);
    ASSERT_EQ(encoded.Length(), c.out) << c.in;
    EXPECT_EQ(SevenBitEncodedLength(c.in), c.out);
    for (size_t i = 0; i < encoded.Length(); ++i) EXPECT_TRUE(encoded.ByteAt(i) & 0x80);
    TDynArrayStream decoded;
    SevenBitDecode(encoded.Data(), encoded.Length(), decoded);
    EXPECT_EQ(ToBytes(decoded), input) << c.in;
  }
  // The flag byte of a group holds the first byte's high bit in bit 6.
  const Bytes one = {0x80, 0x01};
  TDynArrayStream encoded;
  SevenBitEncode(one.data(), one.size(), encoded);
  EXPECT_EQ(ToBytes(encoded), (Bytes{0x80, 0x81, 0xC0}));
  // A trailing group of a single byte carries nothing.
  const Bytes seven = {1, 2, 3, 4, 5, 6, 0xF7};
  TDynArrayStream withStray;
  SevenBitEncode(seven.data(), seven.size(), withStray);
  withStray.WriteByte(0x85);
  TDynArrayStream decoded;
  SevenBitDecode(withStray.Data(), withStray.Length(), decoded);
  EXPECT_EQ(ToBytes(decoded), seven);
}

TEST(ValuePacket, WorkedExampleBothWays) {
  const Variant four = Variant::ArrayOf({Variant::Integer(4)});
  EXPECT_EQ(ToBytes(BuildValuePacket(four)), kPacketOfFour);
  EXPECT_EQ(DecodePacket(kPacketOfFour), four);

  TDynArrayStream serialised;
  SerializeVariant(four, serialised);
  EXPECT_EQ(ValueCheck(serialised.Data(), serialised.Length()), 0x049F);
}

TEST(ValuePacket, AppendingKeepsEarlierContentAndRefusalLeavesItUnchanged) {
  TDynArrayStream out;
  out.WriteByte(0x55);
  AppendValuePacket(Variant::ArrayOf({Variant::Integer(4)}), out);
  EXPECT_EQ(out.Length(), 26u);
  EXPECT_THROW(AppendValuePacket(Variant::ArrayOf({Variant::Int64(1)}), out), EDinamicByteArray);
  EXPECT_EQ(out.Length(), 26u);
}

TEST(ValuePacket, DamagedPayloadsDecodeAsEmpty) {
  Bytes changed = kPacketOfFour;
  changed[17] = 0x85;  // the integer 4 becomes 5, check value not recomputed
  EXPECT_TRUE(DecodePacket(changed).IsEmpty());

  const Variant five = Variant::ArrayOf({Variant::Integer(5)});
  TDynArrayStream serialised;
  SerializeVariant(five, serialised);
  EXPECT_EQ(ValueCheck(serialised.Data(), serialised.Length()), 0x37AE);
  EXPECT_EQ(DecodePacket(ToBytes(BuildValuePacket(five))), five);

  // Fewer than four decoded bytes.
  EXPECT_TRUE(DecodePacket({0x02, 0x80, 0x80, 0x80, 0x03}).IsEmpty());
  EXPECT_TRUE(DecodeValuePayload(nullptr, 0).IsEmpty());

  // A value cut short behind a correct check value: the check bytes are not read as data.
  const Bytes cut = {0x07, 0x0C, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x04};
  TDynArrayStream body;
  body.Append(cut.data(), cut.size());
  body.WriteWord(ValueCheck(cut.data(), cut.size()));
  TDynArrayStream payload;
  SevenBitEncode(body.Data(), body.Length(), payload);
  EXPECT_TRUE(DecodeValuePayload(payload).IsEmpty());
}

}  // namespace
}  // namespace eventlink

namespace eventlink {
namespace {

TEST(SevenBit, LongRandomInputRoundTripsAndMatchesTheByteRule) {
  std::mt19937 random(7);
  test::Bytes input(1001);
  for (auto& b : input) b = static_cast<uint8_t>(random());
  TDynArrayStream encoded;
  SevenBitEncode(input.data(), input.size(), encoded);
  ASSERT_EQ(encoded.Length(), SevenBitEncodedLength(input.size()));
  // Byte k of a group keeps its low seven bits; its high bit sits in bit 6 - k of the flag byte.
  for (size_t i = 0; i < input.size(); ++i) {
    const size_t group = i / 7, k = i % 7;
    const size_t groupStart = group * 8;
    const size_t flagAt = std::min(groupStart + 7, encoded.Length() - 1);
    EXPECT_EQ(encoded.ByteAt(groupStart + k), input[i] | 0x80);
    EXPECT_EQ((encoded.ByteAt(flagAt) >> (6 - k)) & 1, input[i] >> 7);
  }
  TDynArrayStream decoded;
  SevenBitDecode(encoded.Data(), encoded.Length(), decoded);
  EXPECT_EQ(test::ToBytes(decoded), input);
}

TEST(CheckValues, FastCheckAgreesWithTheBytewiseRule) {
  std::mt19937 random(11);
  for (size_t length : {0, 1, 2, 3, 7, 8, 9, 16, 17, 100, 1000}) {
    test::Bytes data(length);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    EXPECT_EQ(ValueCheck(data.data(), data.size()), ValueCheckBytewise(data.data(), data.size())) << length;
  }
}

}  // namespace
}  // namespace eventlink
