#include <gtest/gtest.h>

#include "wire/check_value.h"
#include "wire/event_records.h"
#include "wire/text_packet.h"

namespace eventlink {
namespace {

TEST(TextPacket, HelloPacketLayoutAndCrc) {
  const std::string packet = BuildTextPacket(MakeHelloRecord("Tempora"));
  ASSERT_EQ(packet.size(), kTextPacketSize);
  EXPECT_EQ(packet.front(), '<');
  EXPECT_EQ(packet.back(), '>');
  EXPECT_EQ(packet.find_first_not_of("0123456789ABCDEF", 1), packet.size() - 1);
  // Kind 1, then zeros up to the text: length 7 and the name.
  EXPECT_EQ(packet.substr(1, 8), "01000000");
  EXPECT_EQ(packet.substr(1 + 2 * 56, 16), "0754656D706F7261");
  const uint16_t crc = Crc16Xmodem(std::string_view(packet).substr(1, 224));
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", crc);
  EXPECT_EQ(packet.substr(225, 4), digits);
}

TEST(TextPacket, EventRecordRoundTripCutsTheTextTo50Characters) {
  TEvRecord event;
  event.EvCode = 0x40001;
  event.Key1 = 1;
  event.Key2 = -2;
  event.Key3 = 3;
  event.Key4 = 4;
  event.Key5 = 5;
  event.Time1 = 42000.5;
  event.Time2 = 42000.25;
  event.Time3 = 1;  // not carried
  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "Ж";
  event.Text = longText;

  const std::string packet = BuildTextPacket(MakeEventTextRecord(event));
  const auto record = ParseTextPayload(std::string_view(packet).substr(1, kTextPacketDigits));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->RecordKind, trkEvent);
  EXPECT_EQ(record->EvCode, 0x40001);
  EXPECT_EQ(record->Key2, -2);
  EXPECT_EQ(record->Key5, 5);
  EXPECT_EQ(record->Time1, 42000.5);
  EXPECT_EQ(record->Time2, 42000.25);
  EXPECT_EQ(record->Text, longText.substr(0, 50 * 2));  // 50 two-byte UTF-8 characters
}

TEST(TextPacket, DamagedPayloadIsRejected) {
  const std::string packet = BuildTextPacket(MakeHelloRecord("x"));
  std::string digits = packet.substr(1, kTextPacketDigits);
  EXPECT_TRUE(ParseTextPayload(digits).has_value());
  std::string flipped = digits;
  flipped[10] = flipped[10] == '0' ? '1' : '0';
  EXPECT_FALSE(ParseTextPayload(flipped).has_value());
  EXPECT_FALSE(ParseTextPayload(digits.substr(0, 226)).has_value());
  std::string notHex = digits;
  notHex[0] = 'G';
  EXPECT_FALSE(ParseTextPayload(notHex).has_value());
}

}  // namespace
}  // namespace eventlink
