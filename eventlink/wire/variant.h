#pragma once
// A dynamically typed value as the event server exchanges them. Type codes follow the OLE
// variant numbering, because arrays carry their element type code on the wire.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"

namespace eventlink {

enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Smallint = 2,
  Integer = 3,
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  OleStr = 8,  // wide text; held as UTF-8 like every string here
  Boolean = 11,
  Variant = 12,
  ShortInt = 16,
  Byte = 17,
  Word = 18,
  LongWord = 19,
  Int64 = 20,
  String = 256,  // 8-bit text; UTF-8 in memory, Windows-1251 on the wire
  Array = 0x2000,
};

// A conversion between kinds that cannot be made.
class EVariantTypeCastError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Variant;

struct VariantArray {
  uint16_t elementType = static_cast<uint16_t>(VarType::Variant);
  uint16_t dimensions = 1;  // only 1 is usable; others exist so that writers can refuse them
  int32_t lowBound = 0;
  int32_t highBound = -1;
  std::vector<Variant> items;  // highBound - lowBound + 1 of them for one dimension
};

class Variant {
 public:
  Variant() = default;
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { Release(); }

  static Variant Null();
  static Variant Smallint(int16_t v);
  static Variant Integer(int32_t v);
  static Variant Byte(uint8_t v);
  static Variant Boolean(bool v);
  static Variant Single(float v);
  static Variant Double(double v);
  // A fixed-point amount with four decimals, held as the amount times 10,000.
  static Variant CurrencyScaled(int64_t tenThousandths);
  static Variant Date(platform::DateTime v);
  static Variant String(std::string utf8);
  static Variant WideString(std::string utf8);
  // Kinds that exist in memory but have no wire encoding.
  static Variant Int64(int64_t v);
  static Variant Word(uint16_t v);
  static Variant LongWord(uint32_t v);
  static Variant ShortInt(int8_t v);
  // One-dimensional array of empty elements with the given bounds and element type code.
  static Variant Array(int32_t lowBound, int32_t highBound,
                       uint16_t elementType = static_cast<uint16_t>(VarType::Variant));
  // Zero-based array of Variant elements holding `items`.
  static Variant ArrayOf(std::vector<Variant> items);
  // An array with `dimensions` dimensions and no elements (writers refuse more than one).
  static Variant MultiDimArray(uint16_t dimensions);

  VarType Type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::Empty; }
  bool IsNull() const { return type_ == VarType::Null; }
  bool IsArray() const { return type_ == VarType::Array; }

  // Raw access for the codec; valid only for the matching kind.
  int64_t RawInt() const { return IsHeapKind() ? 0 : int_; }
  double RawDouble() const { return IsHeapKind() ? 0 : double_; }
  const std::string& RawString() const;

  // Array access; only for arrays.
  const VariantArray& ArrayData() const { return *array_; }
  VariantArray& ArrayData() { return *array_; }
  int32_t LowBound() const { return array_->lowBound; }
  int32_t HighBound() const { return array_->highBound; }
  int32_t Dimensions() const { return array_->dimensions; }
  // By index within the bounds; throws std::out_of_range outside them.
  const Variant& At(int32_t index) const;
  Variant& At(int32_t index);

  // The usual conversions; they throw EVariantTypeCastError when impossible.
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  platform::DateTime AsDateTime() const { return AsDouble(); }
  bool AsBoolean() const;
  std::string AsString() const;  // anything but arrays and null becomes text

  bool TryAsInteger(int32_t& out) const;

  // Same kind and same value (arrays element by element).
  bool operator==(const Variant& other) const;

 private:
  bool IsHeapKind() const {
    return type_ == VarType::String || type_ == VarType::OleStr || type_ == VarType::Array;
  }
  void Release() noexcept;
  void StealFrom(Variant& other) noexcept;

  // Sixteen bytes, so that a decoded array of N elements costs 16 N bytes at most: the decoder
  // accepts one element per payload byte.
  VarType type_ = VarType::Empty;
  union {
    int64_t int_ = 0;       // integers, byte, boolean (0/1), currency (scaled by 10,000)
    double double_;         // floats and dates
    std::string* string_;   // strings (owned)
    VariantArray* array_;   // arrays (owned)
  };
};

}  // namespace eventlink
