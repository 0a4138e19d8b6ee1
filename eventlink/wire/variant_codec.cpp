#include "wire/variant_codec.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "wire/calendar_date.h"
#include "wire/text_conversion.h"

namespace eventlink {

namespace {

void Serialize(const Variant& value, TMemoryStreamEx& out, int depth) {
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null:
      out.WriteByte(vtEmpty);
      return;
    case VarType::Byte: {
      const uint8_t b[2] = {vtByte, static_cast<uint8_t>(value.RawInt())};
      out.Write(b, 2);
      return;
    }
    case VarType::Boolean: {
      const uint8_t b[2] = {vtBoolean, static_cast<uint8_t>(value.RawInt() ? 0xFF : 0x00)};
      out.Write(b, 2);
      return;
    }
    case VarType::Smallint:
    case VarType::Integer:
      out.WriteByte(vtInteger);
      out.WriteInt32(static_cast<int32_t>(value.RawInt()));
      return;
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
      out.WriteByte(vtDouble);
      out.WriteDouble(value.AsDouble());
      return;
    case VarType::Date:
      out.WriteByte(vtDate);
      WriteCalendarDate(value.RawDouble(), out);
      return;
    case VarType::String:
    case VarType::OleStr: {
      const std::string bytes = Utf8ToWire(value.RawString());
      if (bytes.size() > 0xFFFF) throw EDinamicByteArray(kMsgStringTooLong);
      out.WriteByte(vtString);
      out.WriteShortString(bytes);
      return;
    }
    case VarType::Array: {
      const VariantArray& a = value.ArrayData();
      if (a.dimensions != 1) throw EDinamicByteArray(kMsgNotOneDimensional);
      if (depth >= kMaxArrayNesting) throw EDinamicByteArray(kMsgNestedTooDeep);
      // Bounds changed behind the elements' back would make the stream unreadable.
      const int64_t count = std::max<int64_t>(0, int64_t(a.highBound) - a.lowBound + 1);
      if (count != static_cast<int64_t>(a.items.size()))
        throw std::invalid_argument("variant array bounds do not match its elements");
      out.WriteByte(vtArray);
      out.WriteWord(static_cast<uint16_t>(a.elementType & 0x0FFF));
      out.WriteWord(1);
      out.WriteInt32(a.lowBound);
      out.WriteInt32(a.highBound);
      for (const Variant& item : a.items) Serialize(item, out, depth + 1);
      return;
    }
    default:
      throw EDinamicByteArray(kMsgUnknownElementType);
  }
}

bool IsArrayElementType(uint16_t type) {
  switch (static_cast<VarType>(type)) {
    case VarType::Variant:
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::OleStr:
    case VarType::String:
    case VarType::Boolean:
    case VarType::Byte:
      return true;
    default:
      return false;
  }
}

// Storing into a typed array converts the element to the array's type, as the runtime does.
Variant ConvertForElementType(Variant item, uint16_t elementType) {
  switch (static_cast<VarType>(elementType)) {
    case VarType::Variant:
      return item;
    case VarType::Smallint: {
      const int32_t v = item.AsInteger();
      if (v < -32768 || v > 32767) throw EVariantTypeCastError("Smallint range");
      return Variant::Smallint(static_cast<int16_t>(v));
    }
    case VarType::Integer:
      return Variant::Integer(item.AsInteger());
    case VarType::Single: {
      const double d = item.AsDouble();
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
        throw EVariantTypeCastError("Single range");
      return Variant::Single(static_cast<float>(d));
    }
    case VarType::Double:
      return Variant::Double(item.AsDouble());
    case VarType::Currency: {
      const double scaled = std::nearbyint(item.AsDouble() * 10000.0);
      if (!(std::fabs(scaled) < 9.2e18)) throw EVariantTypeCastError("Currency range");
      return Variant::CurrencyScaled(static_cast<int64_t>(scaled));
    }
    case VarType::Date:
      return Variant::Date(item.AsDateTime());
    case VarType::OleStr:
      return Variant::WideString(item.AsString());
    case VarType::String:
      return Variant::String(item.AsString());
    case VarType::Boolean:
      return Variant::Boolean(item.AsBoolean());
    case VarType::Byte: {
      const int32_t v = item.AsInteger();
      if (v < 0 || v > 255) throw EVariantTypeCastError("Byte range");
      return Variant::Byte(static_cast<uint8_t>(v));
    }
    default:
      // An element type that no array can be created with.
      throw EDinamicByteArray(kMsgUnknownElementType);
  }
}

// Decodes in place, so that array elements are built where they stay.
void Deserialize(TMemoryStreamEx& in, int depth, Variant& out) {
  const uint8_t tag = in.ReadByte();
  switch (tag) {
    case vtEmpty:
      out = Variant();
      return;
    case vtByte:
      out = Variant::Integer(in.ReadByte());
      return;
    case vtBoolean:
      out = Variant::Boolean(in.ReadByte() != 0);
      return;
    case vtInteger:
      out = Variant::Integer(in.ReadInt32());
      return;
    case vtDouble:
      out = Variant::Double(in.ReadDouble());
      return;
    case vtDate:
      out = Variant::Date(ReadCalendarDate(in));
      return;
    case vtString:
      out = Variant::String(WireToUtf8(in.ReadShortStringView()));
      return;
    case vtArray: {
      const uint16_t elementType = in.ReadWord();
      const uint16_t dimensions = in.ReadWord();
      const int32_t low = in.ReadInt32();
      const int32_t high = in.ReadInt32();
      if (dimensions != 1) throw EDinamicByteArray(kMsgUnknownDimension);
      if (depth >= kMaxArrayNesting) throw EDinamicByteArray(kMsgNestedTooDeep);
      const int64_t count = int64_t(high) - low + 1;
      // Every element takes at least its tag byte: a header that promises more is damaged.
      if (count > 0 && static_cast<uint64_t>(count) > in.Remaining())
        throw EStreamError("Stream read error");
      if (!IsArrayElementType(elementType)) throw EDinamicByteArray(kMsgUnknownElementType);
      out = Variant::Array(low, high, elementType);
      const bool typed = elementType != static_cast<uint16_t>(VarType::Variant);
      for (Variant& item : out.ArrayData().items) {
        Deserialize(in, depth + 1, item);
        if (typed) item = ConvertForElementType(std::move(item), elementType);
      }
      return;
    }
    default:
      throw EDinamicByteArray(kMsgUnknownElementType);
  }
}

}  // namespace

void SerializeVariant(const Variant& value, TMemoryStreamEx& out) { Serialize(value, out, 0); }

Variant DeserializeVariant(TMemoryStreamEx& in) {
  Variant value;
  Deserialize(in, 0, value);
  return value;
}

void WriteCalendarDate(platform::DateTime value, TMemoryStreamEx& out) {
  uint8_t bytes[kCalendarDateBytes];
  EncodeCalendarDate(value, bytes);
  out.Write(bytes, kCalendarDateBytes);
}

platform::DateTime ReadCalendarDate(TMemoryStreamEx& in) {
  uint8_t bytes[kCalendarDateBytes];
  in.Read(bytes, kCalendarDateBytes);
  platform::DateTime value;
  if (DecodeCalendarDate(bytes, value)) return value;
  // The calendar's own encoder names the field that is wrong.
  const int year = bytes[2] | (bytes[3] << 8);
  const int ms = (bytes[7] | (bytes[8] << 8)) & 0x7FFF;
  return platform::EncodeDateTime(year, bytes[1], bytes[0], bytes[4], bytes[5], bytes[6], ms);
}

}  // namespace eventlink
