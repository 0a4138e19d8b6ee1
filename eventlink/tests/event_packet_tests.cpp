#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/datetime.h"
#include "test_bytes.h"
#include "wire/calendar_date.h"
#include "wire/check_value.h"
#include "wire/event_packet.h"
#include "wire/packets.h"
#include "wire/value_packet.h"

namespace eventlink {
namespace {

using test::Bytes;
using test::ToBytes;

const double kJuly = platform::EncodeDateTime(2024, 7, 15, 12, 30, 1, 250);

TEvRecord Event(std::string text, double time1 = kJuly) {
  return TEvRecord{0x40000 | 1201, 12, -3400, 7, 1, 0, time1, time1 + platform::kOneMs, time1 + 2 * platform::kOneMs, std::move(text)};
}

Bytes GeneralPacket(const TEvRecord& event) { return ToBytes(BuildValuePacket(MakeEventsPacket(event))); }

Bytes DirectPacket(const TEvRecord& event) {
  TDynArrayStream out;
  AppendEventPacket(event, out);
  return ToBytes(out);
}

std::vector<TEvRecord> GeneralEvents(const Bytes& payload) {
  return ParseEventsPacket(DecodeValuePayload(payload.data(), payload.size()));
}

Bytes PayloadOf(const Bytes& packet) { return Bytes(packet.begin() + 1, packet.end() - 1); }

TEST(EventPacket, DirectBuildGivesTheGeneralEncodersBytesAndDecodesTheSame) {
  const std::string longAscii(300, 'x');
  std::string longCyrillic;
  for (int i = 0; i < 200; ++i) longCyrillic += "Жё";
  const std::vector<TEvRecord> events = {
      Event("bench"),
      Event(""),
      Event("Отказ канала связи 3"),
      Event(longAscii),
      Event(longCyrillic),
      Event("x", platform::EncodeDateTime(1850, 3, 1, 23, 59, 59, 999)),  // before the epoch
      Event("y", platform::EncodeDateTime(9999, 12, 31, 23, 59, 59, 997)),
      Event("z", platform::EncodeDate(2024, 1, 1) - 0.4 / 86400000.0),  // rounds back over midnight
      TEvRecord{INT32_MIN, INT32_MAX, -1, 0, 1, 2, 0, 0, 0, "€‰"},
  };
  for (const auto& event : events) {
    SCOPED_TRACE(event.Text.substr(0, 20));
    const Bytes packet = DirectPacket(event);
    ASSERT_EQ(packet, GeneralPacket(event));
    std::vector<TEvRecord> decoded;
    ASSERT_TRUE(DecodeEventsPayload(packet.data() + 1, packet.size() - 2, decoded));
    EXPECT_EQ(decoded, GeneralEvents(PayloadOf(packet)));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_LE(decoded[0].Text.size(), longCyrillic.size());
  }
}

TEST(EventPacket, TimesWithoutCalendarFormThrowAndLeaveTheBufferAlone) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     platform::EncodeDate(9999, 12, 31) + 1.0, -693594.5}) {
    TDynArrayStream out;
    out.Append("ab", 2);
    EXPECT_THROW(AppendEventPacket(Event("t", bad), out), platform::EConvertError);
    EXPECT_THROW(BuildValuePacket(MakeEventsPacket(Event("t", bad))), platform::EConvertError);
    EXPECT_EQ(out.View(), "ab");
  }
}

TEST(EventPacket, SeveralEventsInOnePacketDecodeInOrder) {
  std::vector<Variant> items;
  for (int i = 0; i < 5; ++i) {
    TEvRecord e = Event(std::to_string(i));
    e.Key1 = i;
    items.push_back(EventToArray(e));
  }
  const Bytes packet =
      ToBytes(BuildValuePacket(Variant::ArrayOf({Variant::Integer(pkEvents), Variant::ArrayOf(std::move(items))})));
  std::vector<TEvRecord> decoded;
  ASSERT_TRUE(DecodeEventsPayload(packet.data() + 1, packet.size() - 2, decoded));
  ASSERT_EQ(decoded.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(decoded[i].Key1, i);
  EXPECT_EQ(decoded, GeneralEvents(PayloadOf(packet)));
}

TEST(EventPacket, OtherFormsAreLeftToTheGeneralDecoder) {
  const TEvRecord e = Event("t");
  auto packetOf = [](const Variant& v) { return ToBytes(BuildValuePacket(v)); };
  Variant typedKeys = Variant::Array(0, 9, static_cast<uint16_t>(VarType::Integer));
  const std::vector<Bytes> others = {
      packetOf(MakeBarePacket(pkEvSubscribeClear)),
      packetOf(MakeDataPacket(TDataRecord{})),
      // An extra element after the list, a typed array, a byte for an integer: all valid.
      packetOf(Variant::ArrayOf({Variant::Integer(pkEvents), Variant::ArrayOf({EventToArray(e)}), Variant::Integer(1)})),
      packetOf(Variant::ArrayOf({Variant::Integer(pkEvents), Variant::ArrayOf({typedKeys})})),
      packetOf(Variant::ArrayOf({Variant::Byte(pkEvents), Variant::ArrayOf({EventToArray(e)})})),
  };
  for (const Bytes& packet : others) {
    std::vector<TEvRecord> decoded;
    EXPECT_FALSE(DecodeEventsPayload(packet.data() + 1, packet.size() - 2, decoded));
  }
}

// Whatever the direct decoder accepts, the general one reads the same way.
TEST(EventPacket, DamagedPayloadsAreRefusedOrReadAsTheGeneralDecoderReadsThem) {
  std::mt19937 random(7);
  const Bytes packet = DirectPacket(Event("damage"));
  const Bytes payload = PayloadOf(packet);
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes damaged = payload;
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int k = 0; k < edits; ++k) {
      const size_t at = random() % damaged.size();
      switch (random() % 3) {
        case 0: damaged[at] = static_cast<uint8_t>(0x80 | random()); break;
        case 1: damaged.erase(damaged.begin() + static_cast<ptrdiff_t>(at)); break;
        default: damaged.resize(at); break;
      }
      if (damaged.empty()) break;
    }
    std::vector<TEvRecord> decoded;
    if (DecodeEventsPayload(damaged.data(), damaged.size(), decoded)) {
      ++accepted;
      EXPECT_EQ(decoded, GeneralEvents(damaged));
    }
  }
  // The check value rejects nearly all damage.
  EXPECT_LT(accepted, 200);
}

TEST(CheckValues, XmodemContinuesFromAnyCut) {
  const uint8_t text[] = "123456789abcdefghijklmnopqrstuvwxyz";
  const size_t n = sizeof text - 1;
  for (size_t cut = 0; cut <= n; ++cut)
    EXPECT_EQ(Crc16XmodemUpdate(Crc16Xmodem(text, cut), text + cut, n - cut), Crc16Xmodem(text, n)) << cut;
}

TEST(CalendarDate, BytesFollowTheCalendarAndReadBackAsEncodeDateTimeGives) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> anyDay(-693593.0, 2958465.0);
  std::uniform_real_distribution<double> nearDay(45000.0, 45003.0);  // the day cache turning over
  for (int i = 0; i < 20000; ++i) {
    const double value = (i % 2) ? anyDay(random) : nearDay(random);
    uint8_t bytes[kCalendarDateBytes];
    EncodeCalendarDate(value, bytes);
    int y, mo, d, h, mi, s, ms;
    platform::DecodeDate(value, y, mo, d);
    platform::DecodeTime(value, h, mi, s, ms);
    const uint8_t expected[kCalendarDateBytes] = {uint8_t(d), uint8_t(mo), uint8_t(y), uint8_t(y >> 8), uint8_t(h),
                                                  uint8_t(mi), uint8_t(s), uint8_t(ms & 0xFF), uint8_t(ms >> 8)};
    ASSERT_TRUE(std::equal(bytes, bytes + kCalendarDateBytes, expected)) << value;
    double back = 0;
    ASSERT_TRUE(DecodeCalendarDate(bytes, back));
    EXPECT_EQ(back, platform::EncodeDateTime(y, mo, d, h, mi, s, ms));
  }
  // Fields that name no date or time.
  for (const auto& fields : std::vector<std::array<int, 7>>{
           {2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0}, {2024, 1, 0, 0, 0, 0, 0},
           {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 0, 1000}, {0, 1, 1, 0, 0, 0, 0}}) {
    const uint8_t bytes[kCalendarDateBytes] = {uint8_t(fields[2]), uint8_t(fields[1]), uint8_t(fields[0]),
                                               uint8_t(fields[0] >> 8), uint8_t(fields[3]), uint8_t(fields[4]),
                                               uint8_t(fields[5]), uint8_t(fields[6] & 0xFF), uint8_t(fields[6] >> 8)};
    double value = 0;
    EXPECT_FALSE(DecodeCalendarDate(bytes, value)) << fields[0] << '-' << fields[1] << '-' << fields[2];
  }
}

}  // namespace
}  // namespace eventlink
