#include <gtest/gtest.h>

#include <limits>

#include "platform/datetime.h"
#include "test_bytes.h"
#include "wire/variant_codec.h"

namespace eventlink {
namespace {

using test::Bytes;
using test::ToBytes;

Bytes Encode(const Variant& v) {
  TDynArrayStream s;
  SerializeVariant(v, s);
  return ToBytes(s);
}

Variant Decode(const Bytes& bytes) {
  TDynArrayStream s;
  s.Append(bytes.data(), bytes.size());
  s.SetPosition(0);
  return DeserializeVariant(s);
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDinamicByteArray& e) {
    return e.what();
  }
  return "(no EDinamicByteArray)";
}

TEST(VariantCodec, EachKindTravelsAsItsTagAndComesBackAsTheWireKind) {
  const platform::DateTime when = platform::EncodeDateTime(2015, 3, 29, 2, 30, 15, 250);
  struct Case {
    const char* name;
    Variant in;
    Bytes bytes;
    Variant out;
  };
  const Case cases[] = {
      {"empty", Variant(), {0x00}, Variant()},
      {"null", Variant::Null(), {0x00}, Variant()},
      {"byte", Variant::Byte(200), {0x01, 0xC8}, Variant::Integer(200)},
      {"true", Variant::Boolean(true), {0x02, 0xFF}, Variant::Boolean(true)},
      {"false", Variant::Boolean(false), {0x02, 0x00}, Variant::Boolean(false)},
      {"smallint", Variant::Smallint(-2), {0x03, 0xFE, 0xFF, 0xFF, 0xFF}, Variant::Integer(-2)},
      {"integer", Variant::Integer(4), {0x03, 0x04, 0, 0, 0}, Variant::Integer(4)},
      {"double", Variant::Double(1.5), {0x04, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, Variant::Double(1.5)},
      {"single", Variant::Single(0.25f), {0x04, 0, 0, 0, 0, 0, 0, 0xD0, 0x3F}, Variant::Double(0.25)},
      {"currency", Variant::CurrencyScaled(25000), {0x04, 0, 0, 0, 0, 0, 0, 0x04, 0x40},
       Variant::Double(2.5)},
      {"date", Variant::Date(when), {0x05, 0x1D, 0x03, 0xDF, 0x07, 0x02, 0x1E, 0x0F, 0xFA, 0x00},
       Variant::Date(when)},
      {"cyrillic string", Variant::String("Яд"), {0x06, 0x02, 0x00, 0xDF, 0xE4}, Variant::String("Яд")},
      {"wide string", Variant::WideString("ok"), {0x06, 0x02, 0x00, 'o', 'k'}, Variant::String("ok")},
      {"array", Variant::ArrayOf({Variant::Integer(4)}),
       {0x07, 0x0C, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x04, 0, 0, 0},
       Variant::ArrayOf({Variant::Integer(4)})},
      {"empty array", Variant::Array(5, 4),
       {0x07, 0x0C, 0x00, 0x01, 0x00, 5, 0, 0, 0, 4, 0, 0, 0}, Variant::Array(5, 4)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.in), c.bytes) << c.name;
    EXPECT_EQ(Decode(c.bytes), c.out) << c.name;
  }
}

TEST(VariantCodec, DateComesBackEqualToTheMillisecondAndIgnoresTheFlagBit) {
  const platform::DateTime when = platform::EncodeDateTime(2015, 3, 29, 2, 30, 15, 250);
  EXPECT_EQ(Decode({0x05, 0x1D, 0x03, 0xDF, 0x07, 0x02, 0x1E, 0x0F, 0xFA, 0x80}).AsDateTime(), when);
  // Month 13 and 1000 ms are impossible.
  EXPECT_THROW(Decode({0x05, 0x1D, 0x0D, 0xDF, 0x07, 0, 0, 0, 0, 0}), platform::EConvertError);
  EXPECT_THROW(Decode({0x05, 0x1D, 0x03, 0xDF, 0x07, 0, 0, 0, 0xE8, 0x03}), platform::EConvertError);
  EXPECT_THROW(Encode(Variant::Date(std::numeric_limits<double>::quiet_NaN())), platform::EConvertError);
  EXPECT_THROW(Encode(Variant::Date(1e12)), platform::EConvertError);
}

TEST(VariantCodec, LongStringCarriesItsLengthInSixteenBits) {
  const Bytes bytes = Encode(Variant::String(std::string(300, 'x')));
  ASSERT_EQ(bytes.size(), 303u);
  EXPECT_EQ(bytes[1], 0x2C);
  EXPECT_EQ(bytes[2], 0x01);
  // 65,535 bytes still fit; one more cannot be represented and is refused.
  EXPECT_EQ(Encode(Variant::String(std::string(65535, 'x'))).size(), 65538u);
  EXPECT_EQ(ErrorOf([] { Encode(Variant::String(std::string(65536, 'x'))); }), kMsgStringTooLong);
}

TEST(VariantCodec, UnencodableValuesAreRefusedWithTheirMessages) {
  EXPECT_EQ(ErrorOf([] { Encode(Variant::Int64(1)); }), kMsgUnknownElementType);
  EXPECT_EQ(ErrorOf([] { Encode(Variant::LongWord(1)); }), kMsgUnknownElementType);
  EXPECT_EQ(ErrorOf([] { Encode(Variant::ArrayOf({Variant::Word(1)})); }), kMsgUnknownElementType);
  EXPECT_EQ(ErrorOf([] { Encode(Variant::MultiDimArray(2)); }), kMsgNotOneDimensional);
  Variant misbounded = Variant::ArrayOf({Variant::Integer(1)});
  misbounded.ArrayData().highBound = 5;
  EXPECT_THROW(Encode(misbounded), std::invalid_argument);
  EXPECT_EQ(ErrorOf([] { Decode({0x08}); }), kMsgUnknownElementType);
  EXPECT_EQ(ErrorOf([] { Decode({0x07, 0x0C, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }),
            kMsgUnknownDimension);
}

TEST(VariantCodec, HostileArrayHeadersFailWithoutHugeAllocations) {
  // Two billion elements announced in a few bytes.
  Bytes huge = {0x07, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F};
  huge.insert(huge.end(), 17, 0x00);
  EXPECT_THROW(Decode(huge), EStreamError);
  // Truncated element bodies.
  EXPECT_THROW(Decode({0x07, 0x0C, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x03, 0x04}), EStreamError);
  EXPECT_THROW(Decode({0x06, 0x05, 0x00, 'a'}), EStreamError);

  // Nesting is bounded both ways, so neither side can recurse without end.
  Bytes deep;
  for (int level = 0; level < kMaxArrayNesting + 1; ++level) {
    const Bytes header = {0x07, 0x0C, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    deep.insert(deep.end(), header.begin(), header.end());
  }
  deep.push_back(0x00);
  EXPECT_EQ(ErrorOf([&] { Decode(deep); }), kMsgNestedTooDeep);
  Variant nested = Variant::Integer(1);
  for (int level = 0; level < kMaxArrayNesting; ++level) nested = Variant::ArrayOf({nested});
  EXPECT_NO_THROW(Decode(Encode(nested)));
  EXPECT_EQ(ErrorOf([&] { Encode(Variant::ArrayOf({nested})); }), kMsgNestedTooDeep);
}

TEST(VariantCodec, TypedArraysConvertTheirElementsOnReading) {
  Variant bytes = Variant::Array(-1, 0, static_cast<uint16_t>(VarType::Byte));
  bytes.At(-1) = Variant::Byte(7);
  bytes.At(0) = Variant::Byte(255);
  const Variant back = Decode(Encode(bytes));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(back.At(0).Type(), VarType::Byte);
  // A header whose element type no array can have is damage.
  EXPECT_EQ(ErrorOf([] { Decode({0x07, 0x14, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}); }),
            kMsgUnknownElementType);
  // A byte array holding 300 cannot be stored.
  EXPECT_THROW(Decode({0x07, 0x11, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x2C, 0x01, 0, 0}),
               EVariantTypeCastError);
}

TEST(VariantConversions, NumbersStringsAndDatesConvertOrFail) {
  EXPECT_EQ(Variant::String(" 42 ").AsInteger(), 42);
  EXPECT_EQ(Variant::String("2.5").AsInteger(), 2);  // half to even
  EXPECT_EQ(Variant::String("3,5").AsDouble(), 3.5);
  EXPECT_EQ(Variant::Double(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant::Boolean(true).AsInteger(), -1);
  EXPECT_EQ(Variant().AsInteger(), 0);
  EXPECT_EQ(Variant::Date(42000.75).AsDouble(), 42000.75);
  EXPECT_EQ(Variant::Integer(7).AsDateTime(), 7.0);
  EXPECT_TRUE(Variant::String("true").AsBoolean());
  EXPECT_FALSE(Variant::Integer(0).AsBoolean());
  EXPECT_EQ(Variant::Integer(-12).AsString(), "-12");
  EXPECT_EQ(Variant::Double(0.1).AsString(), "0.1");
  EXPECT_EQ(Variant::Date(platform::EncodeDateTime(2015, 3, 29, 2, 30, 15, 0)).AsString(),
            "29.03.2015 2:30:15");
  EXPECT_EQ(Variant::Boolean(false).AsString(), "False");

  EXPECT_THROW(Variant::String("abc").AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant::String("inf").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant::String("").AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant::Double(3e9).AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant::Null().AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant::ArrayOf({}).AsString(), EVariantTypeCastError);
  EXPECT_THROW(Variant::ArrayOf({}).AsDouble(), EVariantTypeCastError);
}

}  // namespace
}  // namespace eventlink
