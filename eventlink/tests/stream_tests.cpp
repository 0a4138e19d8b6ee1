#include <gtest/gtest.h>

#include "test_bytes.h"
#include "wire/dyn_array_stream.h"

namespace eventlink {
namespace {

using test::Bytes;
using test::ToBytes;

TDynArrayStream StreamOf(const Bytes& bytes) {
  TDynArrayStream s;
  s.Append(bytes.data(), bytes.size());
  return s;
}

TEST(DynArrayStream, CapacityGrowsInWholeStepsAndLengthIsThePosition) {
  TDynArrayStream s;
  s.WriteByte(1);
  EXPECT_EQ(s.Capacity(), 8192u);
  const Bytes block(8192, 0xAA);
  s.Append(block.data(), block.size());
  EXPECT_EQ(s.Capacity(), 16384u);
  EXPECT_EQ(s.Length(), 8193u);
  s.Clear();
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_EQ(s.Capacity(), 16384u);
}

TEST(DynArrayStream, LittleEndianFieldsReadBack) {
  TDynArrayStream s;
  s.WriteWord(0x1234);
  s.WriteInt32(-2);
  s.WriteDouble(1.5);
  s.WriteShortString("abc");
  EXPECT_EQ(ToBytes(s, 6), (Bytes{0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF}));
  s.SetPosition(0);
  EXPECT_EQ(s.ReadWord(), 0x1234);
  EXPECT_EQ(s.ReadInt32(), -2);
  EXPECT_EQ(s.ReadDouble(), 1.5);
  EXPECT_EQ(s.ReadShortString(), "abc");
  EXPECT_THROW(s.ReadByte(), EStreamError);
}

TEST(DynArrayStream, ByteAtOutsideTheContentRaisesWithTheIndex) {
  TDynArrayStream s = StreamOf({1, 2, 3});
  EXPECT_EQ(s.ByteAt(2), 3);
  try {
    s.ByteAt(3);
    FAIL() << "no exception";
  } catch (const EDynArrayStream& e) {
    EXPECT_STREQ(e.what(), "Превышен индекс массива 3");
  }
  EXPECT_THROW(s.ByteAt(-1), EDynArrayStream);
}

TEST(DynArrayStream, AppendRangeCutsOrIgnoresOutOfRangeRequests) {
  struct Case {
    ptrdiff_t start, count;
    Bytes expected;
  };
  const Case cases[] = {
      {1, 2, {9, 2, 3}}, {3, 10, {9, 4, 5}}, {-1, 2, {9}},
      {5, 1, {9}},       {0, 0, {9}},        {0, -3, {9}},
  };
  const TDynArrayStream source = StreamOf({1, 2, 3, 4, 5});
  for (const Case& c : cases) {
    TDynArrayStream target = StreamOf({9});
    target.AppendRange(source, c.start, c.count);
    EXPECT_EQ(ToBytes(target), c.expected) << c.start << "," << c.count;
  }
  TDynArrayStream self = StreamOf({1, 2});
  self.AppendRange(self, 0, 2);
  EXPECT_EQ(ToBytes(self), (Bytes{1, 2, 1, 2}));
}

TEST(DynArrayStream, DeleteRangeMovesTheRestDownAndThePositionBack) {
  struct Case {
    ptrdiff_t start, count;
    Bytes expected;
  };
  const Case cases[] = {
      {0, 2, {3, 4, 5}}, {1, 1, {1, 3, 4, 5}}, {3, 9, {1, 2, 3}},
      {5, 1, {1, 2, 3, 4, 5}}, {-1, 1, {1, 2, 3, 4, 5}}, {0, 0, {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    TDynArrayStream s = StreamOf({1, 2, 3, 4, 5});
    s.DeleteRange(c.start, c.count);
    EXPECT_EQ(ToBytes(s), c.expected) << c.start << "," << c.count;
    s.WriteByte(7);  // appending continues at the new end
    EXPECT_EQ(s.ByteAt(static_cast<ptrdiff_t>(c.expected.size())), 7);
  }
}

}  // namespace
}  // namespace eventlink
