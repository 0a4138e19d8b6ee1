#include "wire/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace eventlink {

static_assert(sizeof(Variant) == 16, "decoded arrays are budgeted at 16 bytes per element");

namespace {

[[noreturn]] void CastFailure(VarType from, const char* to) {
  throw EVariantTypeCastError("Could not convert variant of type (" +
                              std::to_string(static_cast<int>(from)) + ") into type (" + to + ")");
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseInteger(std::string_view text, int64_t& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// Both decimal separators are accepted: texts come from Russian-locale peers as well.
bool ParseFloat(std::string_view text, double& out) {
  text = Trim(text);
  std::string copy(text);
  for (char& c : copy)
    if (c == ',') c = '.';
  std::string_view s = copy;
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const char first = s.front() == '-' && s.size() > 1 ? s[1] : s.front();
  if (!(first == '.' || (first >= '0' && first <= '9'))) return false;  // no "inf" or "nan"
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

// The runtime rounds half to even.
bool RoundToInt64(double value, int64_t& out) {
  if (!std::isfinite(value)) return false;
  const double r = std::nearbyint(value);
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
  out = static_cast<int64_t>(r);
  return true;
}

std::string FormatDouble(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string FormatDate(platform::DateTime value) {
  int y, mo, d, h, mi, s, ms;
  platform::DecodeDate(value, y, mo, d);
  platform::DecodeTime(value, h, mi, s, ms);
  char text[48];
  const bool hasTime = h != 0 || mi != 0 || s != 0;
  if (std::trunc(value) == 0 && hasTime) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", h, mi, s);
  } else if (hasTime) {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %d:%02d:%02d", d, mo, y, h, mi, s);
  } else {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, mo, y);
  }
  return text;
}

bool IsIntegerKind(VarType t) {
  switch (t) {
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::ShortInt:
    case VarType::Byte:
    case VarType::Word:
    case VarType::LongWord:
    case VarType::Int64:
      return true;
    default:
      return false;
  }
}

}  // namespace

Variant::Variant(const Variant& other) : type_(other.type_) {
  if (type_ == VarType::Array)
    array_ = new VariantArray(*other.array_);
  else if (IsHeapKind())
    string_ = new std::string(*other.string_);
  else
    int_ = other.int_;
}

Variant::Variant(Variant&& other) noexcept { StealFrom(other); }

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    Release();
    StealFrom(other);
  }
  return *this;
}

void Variant::Release() noexcept {
  if (type_ == VarType::Array)
    delete array_;
  else if (IsHeapKind())
    delete string_;
  type_ = VarType::Empty;
  int_ = 0;
}

void Variant::StealFrom(Variant& other) noexcept {
  type_ = other.type_;
  int_ = other.int_;  // copies whichever member is active, pointers included
  other.type_ = VarType::Empty;
  other.int_ = 0;
}

const std::string& Variant::RawString() const {
  static const std::string kNone;
  return type_ == VarType::String || type_ == VarType::OleStr ? *string_ : kNone;
}

Variant Variant::Null() {
  Variant v;
  v.type_ = VarType::Null;
  return v;
}

#define EVENTLINK_INT_FACTORY(Name, CType)   \
  Variant Variant::Name(CType value) {       \
    Variant v;                               \
    v.type_ = VarType::Name;                 \
    v.int_ = value;                          \
    return v;                                \
  }
EVENTLINK_INT_FACTORY(Smallint, int16_t)
EVENTLINK_INT_FACTORY(Integer, int32_t)
EVENTLINK_INT_FACTORY(Byte, uint8_t)
EVENTLINK_INT_FACTORY(Int64, int64_t)
EVENTLINK_INT_FACTORY(Word, uint16_t)
EVENTLINK_INT_FACTORY(LongWord, uint32_t)
EVENTLINK_INT_FACTORY(ShortInt, int8_t)
#undef EVENTLINK_INT_FACTORY

Variant Variant::Boolean(bool value) {
  Variant v;
  v.type_ = VarType::Boolean;
  v.int_ = value ? 1 : 0;
  return v;
}

Variant Variant::Single(float value) {
  Variant v;
  v.type_ = VarType::Single;
  v.double_ = value;
  return v;
}

Variant Variant::Double(double value) {
  Variant v;
  v.type_ = VarType::Double;
  v.double_ = value;
  return v;
}

Variant Variant::CurrencyScaled(int64_t tenThousandths) {
  Variant v;
  v.type_ = VarType::Currency;
  v.int_ = tenThousandths;
  return v;
}

Variant Variant::Date(platform::DateTime value) {
  Variant v;
  v.type_ = VarType::Date;
  v.double_ = value;
  return v;
}

Variant Variant::String(std::string utf8) {
  Variant v;
  v.string_ = new std::string(std::move(utf8));
  v.type_ = VarType::String;
  return v;
}

Variant Variant::WideString(std::string utf8) {
  Variant v = String(std::move(utf8));
  v.type_ = VarType::OleStr;
  return v;
}

Variant Variant::Array(int32_t lowBound, int32_t highBound, uint16_t elementType) {
  Variant v;
  v.array_ = new VariantArray();
  v.type_ = VarType::Array;
  v.array_->elementType = elementType;
  v.array_->lowBound = lowBound;
  v.array_->highBound = highBound;
  const int64_t count = int64_t(highBound) - lowBound + 1;
  if (count > 0) v.array_->items.resize(static_cast<size_t>(count));
  return v;
}

Variant Variant::ArrayOf(std::vector<Variant> items) {
  Variant v;
  v.array_ = new VariantArray();
  v.type_ = VarType::Array;
  v.array_->highBound = static_cast<int32_t>(items.size()) - 1;
  v.array_->items = std::move(items);
  return v;
}

Variant Variant::MultiDimArray(uint16_t dimensions) {
  Variant v = Array(0, -1);
  v.array_->dimensions = dimensions;
  return v;
}

const Variant& Variant::At(int32_t index) const {
  if (type_ != VarType::Array || index < array_->lowBound || index > array_->highBound ||
      static_cast<size_t>(int64_t(index) - array_->lowBound) >= array_->items.size())
    throw std::out_of_range("variant array index out of bounds");
  return array_->items[static_cast<size_t>(int64_t(index) - array_->lowBound)];
}

Variant& Variant::At(int32_t index) {
  return const_cast<Variant&>(static_cast<const Variant&>(*this).At(index));
}

int64_t Variant::AsInt64() const {
  int64_t out = 0;
  switch (type_) {
    case VarType::Empty:
      return 0;
    case VarType::Boolean:
      return int_ ? -1 : 0;  // the runtime's True is all bits set
    case VarType::Currency: {
      if (RoundToInt64(static_cast<double>(int_) / 10000.0, out)) return out;
      break;
    }
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      if (RoundToInt64(double_, out)) return out;
      break;
    case VarType::String:
    case VarType::OleStr: {
      if (ParseInteger(*string_, out)) return out;
      double d;
      if (ParseFloat(*string_, d) && RoundToInt64(d, out)) return out;
      break;
    }
    default:
      if (IsIntegerKind(type_)) return int_;
      break;
  }
  CastFailure(type_, "Integer");
}

bool Variant::TryAsInteger(int32_t& out) const {
  try {
    out = AsInteger();
    return true;
  } catch (const EVariantTypeCastError&) {
    return false;
  }
}

int32_t Variant::AsInteger() const {
  const int64_t v = AsInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    CastFailure(type_, "Integer");
  return static_cast<int32_t>(v);
}

double Variant::AsDouble() const {
  switch (type_) {
    case VarType::Empty:
      return 0;
    case VarType::Boolean:
      return int_ ? -1 : 0;
    case VarType::Currency:
      return static_cast<double>(int_) / 10000.0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      return double_;
    case VarType::String:
    case VarType::OleStr: {
      double d;
      if (ParseFloat(*string_, d)) return d;
      break;
    }
    default:
      if (IsIntegerKind(type_)) return static_cast<double>(int_);
      break;
  }
  CastFailure(type_, "Double");
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case VarType::Empty:
      return false;
    case VarType::String:
    case VarType::OleStr: {
      const std::string_view t = Trim(*string_);
      auto equalsNoCase = [&](std::string_view word) {
        if (t.size() != word.size()) return false;
        for (size_t i = 0; i < t.size(); ++i)
          if ((t[i] | 0x20) != word[i]) return false;
        return true;
      };
      if (equalsNoCase("true")) return true;
      if (equalsNoCase("false")) return false;
      double d;
      if (ParseFloat(*string_, d)) return d != 0;
      break;
    }
    case VarType::Null:
    case VarType::Array:
      break;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      return double_ != 0;
    default:
      return int_ != 0;
  }
  CastFailure(type_, "Boolean");
}

std::string Variant::AsString() const {
  switch (type_) {
    case VarType::Empty:
    case VarType::Null:
      return {};
    case VarType::Boolean:
      return int_ ? "True" : "False";
    case VarType::Single:
    case VarType::Double:
      return FormatDouble(double_);
    case VarType::Currency:
      return FormatDouble(static_cast<double>(int_) / 10000.0);
    case VarType::Date:
      // Only days that a calendar can name; typed arrays may hold any number as a date.
      if (!std::isfinite(double_) || double_ < -693594.0 || double_ > 2958466.0) break;
      try {
        return FormatDate(double_);
      } catch (const std::exception&) {
        break;
      }
    case VarType::String:
    case VarType::OleStr:
      return *string_;
    default:
      if (IsIntegerKind(type_)) return std::to_string(int_);
      break;
  }
  CastFailure(type_, "String");
}

bool Variant::operator==(const Variant& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case VarType::Empty:
    case VarType::Null:
      return true;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      return double_ == other.double_;
    case VarType::String:
    case VarType::OleStr:
      return *string_ == *other.string_;
    case VarType::Array:
      return array_->elementType == other.array_->elementType &&
             array_->dimensions == other.array_->dimensions &&
             array_->lowBound == other.array_->lowBound &&
             array_->highBound == other.array_->highBound && array_->items == other.array_->items;
    default:
      return int_ == other.int_;
  }
}

}  // namespace eventlink
