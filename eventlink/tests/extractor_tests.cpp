#include <gtest/gtest.h>

#include "test_bytes.h"
#include "wire/packet_extractor.h"
#include "wire/text_packet.h"
#include "wire/value_packet.h"

namespace eventlink {
namespace {

using test::Bytes;
using test::kPacketOfFour;
using test::ToBytes;

struct Extracted {
  PacketFraming kind;
  Bytes payload;
};

// Appends each chunk and drains the extractor after it, as the connection does.
std::vector<Extracted> Feed(TEvPacketExtractor& x, const std::vector<Bytes>& chunks,
                            std::vector<int32_t>* errors = nullptr) {
  std::vector<Extracted> out;
  for (const Bytes& chunk : chunks) {
    x.Append(chunk.data(), chunk.size());
    for (;;) {
      const bool got = x.NextPacket();
      if (errors) errors->insert(errors->end(), x.LastErrors().begin(), x.LastErrors().end());
      if (!got) break;
      out.push_back({x.LastKind(), ToBytes(x.PacketBuffer())});
    }
  }
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kPayloadOfFour(kPacketOfFour.begin() + 1, kPacketOfFour.end() - 1);

TEST(PacketExtractor, GarbageBeforeATextPacketIsSkippedAsOneError) {
  const Bytes text = ToBytes(BuildTextPacket(MakeHelloRecord("abc")));
  TEvPacketExtractor x;
  std::vector<int32_t> errors;
  const auto packets = Feed(x, {Concat({{'x', 'y', 'z'}, text})}, &errors);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].kind, pfText);
  EXPECT_EQ(packets[0].payload, Bytes(text.begin() + 1, text.end() - 1));
  EXPECT_EQ(errors, (std::vector<int32_t>{1}));
}

TEST(PacketExtractor, PacketSplitOverThreeAppendsIsReturnedOnceAfterTheLast) {
  TEvPacketExtractor x;
  const Bytes a(kPacketOfFour.begin(), kPacketOfFour.begin() + 1);
  const Bytes b(kPacketOfFour.begin() + 1, kPacketOfFour.begin() + 12);
  const Bytes c(kPacketOfFour.begin() + 12, kPacketOfFour.end());
  EXPECT_TRUE(Feed(x, {a, b}).empty());
  const auto packets = Feed(x, {c});
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].kind, pfValue);
  EXPECT_EQ(packets[0].payload, kPayloadOfFour);
  EXPECT_EQ(x.PendingInput(), 0u);
}

TEST(PacketExtractor, CutTextPacketIsDroppedForTheValuePacketThatFollows) {
  TEvPacketExtractor x;
  std::vector<int32_t> errors;
  const auto packets = Feed(x, {Concat({{'<'}, Bytes(12, 'A'), kPacketOfFour})}, &errors);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].kind, pfValue);
  EXPECT_EQ(packets[0].payload, kPayloadOfFour);
  EXPECT_EQ(errors, (std::vector<int32_t>{2}));
}

TEST(PacketExtractor, TwoPacketsInOneAppendComeFromTwoCalls) {
  TEvPacketExtractor x;
  const Bytes both = Concat({kPacketOfFour, kPacketOfFour});
  x.Append(both.data(), both.size());
  EXPECT_TRUE(x.NextPacket());
  EXPECT_EQ(ToBytes(x.PacketBuffer()), kPayloadOfFour);
  EXPECT_TRUE(x.NextPacket());
  EXPECT_EQ(ToBytes(x.PacketBuffer()), kPayloadOfFour);
  EXPECT_FALSE(x.NextPacket());
}

TEST(PacketExtractor, InvalidBytesAbandonThePacket) {
  struct Case {
    const char* name;
    Bytes stream;
    int32_t error;
  };
  const Case cases[] = {
      {"low byte in value packet", {0x02, 0x85, 0x41, 0x85, 0x03}, 3},
      {"non-hex in text packet", {'<', 'A', 'G', 'A', '>'}, 3},
      {"value end in text packet", {'<', 'A', 0x03}, 3},
      {"text start in value packet", {0x02, 0x85, '<', 'A'}, 2},
  };
  for (const Case& c : cases) {
    TEvPacketExtractor x;
    std::vector<int32_t> errors;
    EXPECT_TRUE(Feed(x, {c.stream, kPacketOfFour}, &errors).size() == 1) << c.name;
    EXPECT_NE(std::find(errors.begin(), errors.end(), c.error), errors.end()) << c.name;
  }
}

TEST(PacketExtractor, OversizedPacketIsDroppedAndScanningResumesAtTheNextMarker) {
  const size_t limit = TEvPacketExtractor::kMaxPacketBytes;
  // At the limit the packet still counts; one byte more and it is dropped.
  for (const size_t size : {limit, limit + 1}) {
    TEvPacketExtractor x;
    Bytes first(1, 0x02);
    first.insert(first.end(), size / 2, 0x80);
    Bytes second(size - size / 2, 0x80);
    second.push_back(0x03);
    std::vector<int32_t> errors;
    const auto packets = Feed(x, {first, second, kPacketOfFour}, &errors);
    if (size == limit) {
      ASSERT_EQ(packets.size(), 2u);
      EXPECT_EQ(packets[0].payload.size(), limit);
    } else {
      ASSERT_EQ(packets.size(), 1u);
      EXPECT_EQ(packets[0].payload, kPayloadOfFour);
      EXPECT_NE(std::find(errors.begin(), errors.end(), -static_cast<int32_t>(size / 2)), errors.end());
    }
  }
}

TEST(PacketExtractor, ByteByByteFeedingFindsEveryPacket) {
  const Bytes text = ToBytes(BuildTextPacket(MakeHelloRecord("n")));
  const Bytes stream = Concat({kPacketOfFour, {0x00, 0xFF}, text, kPacketOfFour});
  std::vector<Bytes> chunks;
  for (uint8_t b : stream) chunks.push_back({b});
  TEvPacketExtractor x;
  const auto packets = Feed(x, chunks);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[1].kind, pfText);
  EXPECT_EQ(DecodeValuePayload(packets[2].payload.data(), packets[2].payload.size()),
            Variant::ArrayOf({Variant::Integer(4)}));
}

}  // namespace
}  // namespace eventlink
