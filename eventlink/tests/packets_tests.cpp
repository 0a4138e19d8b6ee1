#include <gtest/gtest.h>

#include "test_bytes.h"
#include "wire/packet_extractor.h"
#include "wire/packets.h"
#include "wire/value_packet.h"

namespace eventlink {
namespace {

// Through the wire and back, as the receiving side sees it.
Variant OverTheWire(const Variant& value) {
  const TDynArrayStream packet = BuildValuePacket(value);
  TEvPacketExtractor extractor;
  extractor.Append(packet.Data(), packet.Length());
  EXPECT_TRUE(extractor.NextPacket());
  return DecodeValuePayload(extractor.PacketBuffer());
}

TEvRecord SampleEvent() {
  TEvRecord e;
  e.EvCode = 0x40000 | 17;
  e.Key1 = 1;
  e.Key2 = 2;
  e.Key3 = 3;
  e.Key4 = 4;
  e.Key5 = -5;
  e.Time1 = platform::EncodeDateTime(2024, 7, 15, 12, 0, 1, 2);
  e.Time2 = platform::EncodeDateTime(2024, 7, 15, 12, 0, 1, 3);
  e.Time3 = e.Time2;
  e.Text = "Событие";
  return e;
}

TEST(Packets, EventRoundTripsThroughAnEventsPacket) {
  const TEvRecord event = SampleEvent();
  const ReceivedPacket received = ClassifyReceivedPacket(OverTheWire(MakeEventsPacket(event)));
  ASSERT_EQ(received.type, ReceivedPacket::Type::Events);
  ASSERT_EQ(received.events.size(), 1u);
  EXPECT_EQ(received.events[0], event);
}

TEST(Packets, EventTextIsCutTo255Characters) {
  TEvRecord event = SampleEvent();
  event.Text = std::string(300, 'q');
  const auto events = ParseEventsPacket(OverTheWire(MakeEventsPacket(event)));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Text, std::string(255, 'q'));
}

TEST(Packets, EventsThatDoNotParseAreSkippedAndOthersKept) {
  const Variant good = EventToArray(SampleEvent());
  Variant badKey = good;
  badKey.At(1) = Variant::String("abc");
  Variant numericText = good;
  numericText.At(1) = Variant::String("17");
  Variant shortArray = Variant::ArrayOf({Variant::Integer(1)});
  Variant offset = Variant::Array(1, 10);
  const Variant packet = Variant::ArrayOf(
      {Variant::Integer(pkEvents),
       Variant::ArrayOf({badKey, good, shortArray, offset, numericText, Variant::Integer(3)})});
  const auto events = ParseEventsPacket(OverTheWire(packet));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], SampleEvent());
  EXPECT_EQ(events[1].Key1, 17);
  // Element 1 not an array: nothing.
  EXPECT_TRUE(ParseEventsPacket(Variant::ArrayOf({Variant::Integer(pkEvents), Variant::Integer(1)}))
                  .empty());
}

TEST(Packets, DataKeysTwoAndThreeTradePlacesOnTheWire) {
  TDataRecord data;
  data.DataCode = (int64_t(0x12345678) << 32) | 0x80040001;
  data.Key1 = 10;
  data.Key2 = 20;
  data.Key3 = 30;
  data.Key4 = 40;
  data.Time1 = 45000.5;
  data.Time2 = 45000.75;
  data.Value1 = -1.25;
  data.Value2 = 1e300;
  const Variant packet = MakeDataPacket(data);
  const Variant& array = packet.At(1);
  EXPECT_EQ(array.At(0).AsInteger(), int32_t(0x80040001));
  EXPECT_EQ(array.At(1).AsInteger(), 0x12345678);
  EXPECT_EQ(array.At(2).AsInteger(), 10);
  EXPECT_EQ(array.At(3).AsInteger(), 30);
  EXPECT_EQ(array.At(4).AsInteger(), 20);
  EXPECT_EQ(array.At(5).AsInteger(), 40);
  EXPECT_EQ(array.At(10).AsInteger(), kDataTag);

  const ReceivedPacket received = ClassifyReceivedPacket(OverTheWire(packet));
  ASSERT_EQ(received.type, ReceivedPacket::Type::Data);
  EXPECT_EQ(received.data, data);

  const Variant subscribe = MakeDataSubscribePacket(pkDataSubscribe, 10, 20, 30, 40, 7);
  EXPECT_EQ(subscribe, Variant::ArrayOf({Variant::Integer(8),
                                         Variant::ArrayOf({Variant::Integer(10), Variant::Integer(30),
                                                           Variant::Integer(20), Variant::Integer(40),
                                                           Variant::Integer(7)})}));
}

TEST(Packets, ReceivedKindsAndServerInfo) {
  struct Case {
    const char* name;
    Variant packet;
    ReceivedPacket::Type type;
    bool valueEvents;
  };
  const Case cases[] = {
      {"server info true", Variant::ArrayOf({Variant::Integer(17), Variant::Boolean(true), Variant::String("v")}),
       ReceivedPacket::Type::ServerInfo, true},
      {"server info alone", Variant::ArrayOf({Variant::Integer(17)}), ReceivedPacket::Type::ServerInfo, false},
      {"server info text", Variant::ArrayOf({Variant::Integer(17), Variant::String("abc")}),
       ReceivedPacket::Type::ServerInfo, false},
      {"kind as text", Variant::ArrayOf({Variant::String("17"), Variant::Integer(1)}),
       ReceivedPacket::Type::ServerInfo, true},
      {"other kind", MakeBarePacket(pkMonitorOn), ReceivedPacket::Type::Ignored, false},
      {"not an array", Variant::Integer(5), ReceivedPacket::Type::Ignored, false},
      {"empty array", Variant::ArrayOf({}), ReceivedPacket::Type::Ignored, false},
      {"lower bound 1", Variant::Array(1, 2), ReceivedPacket::Type::Ignored, false},
      {"bad data", Variant::ArrayOf({Variant::Integer(10), Variant::Integer(1)}),
       ReceivedPacket::Type::Ignored, false},
      {"empty value", Variant(), ReceivedPacket::Type::Ignored, false},
  };
  for (const Case& c : cases) {
    const ReceivedPacket r = ClassifyReceivedPacket(c.packet);
    EXPECT_EQ(r.type, c.type) << c.name;
    EXPECT_EQ(r.valueEvents, c.valueEvents) << c.name;
  }
}

TEST(Packets, OutgoingShapes) {
  EXPECT_EQ(MakeEvSubscribePacket(pkEvSubscribe, {1, -1, 3, 4, 5}, 9),
            Variant::ArrayOf({Variant::Integer(3),
                              Variant::ArrayOf({Variant::Integer(1), Variant::Integer(-1), Variant::Integer(3),
                                                Variant::Integer(4), Variant::Integer(5), Variant::Integer(9)})}));
  EXPECT_EQ(MakeGroupPacket(pkEvSubscribeDelGroup, 7), Variant::ArrayOf({Variant::Integer(7), Variant::Integer(7)}));
  EXPECT_EQ(MakeBarePacket(pkEvSubscribeClear), Variant::ArrayOf({Variant::Integer(4)}));
  const Variant identity = MakeIdentityPacket("name", "host", "/usr/bin/x", "user");
  EXPECT_EQ(identity.HighBound(), 4);
  EXPECT_EQ(identity.At(3).AsString(), "/usr/bin/x");
  const Variant execute = MakeExecutePacket(Variant::ArrayOf({Variant::Double(2.5)}));
  EXPECT_EQ(OverTheWire(execute), execute);
}

}  // namespace
}  // namespace eventlink
