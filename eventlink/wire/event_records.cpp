#include "wire/event_records.h"

#include <exception>

#include "wire/text_conversion.h"

namespace eventlink {

namespace {
bool IsZeroBasedArrayOf(const Variant& value, int32_t count) {
  return value.IsArray() && value.Dimensions() == 1 && value.LowBound() == 0 &&
         value.HighBound() == count - 1;
}
}  // namespace

Variant EventToArray(const TEvRecord& event) {
  std::vector<Variant> items;
  items.reserve(10);
  items.push_back(Variant::Integer(event.EvCode));
  items.push_back(Variant::Integer(event.Key1));
  items.push_back(Variant::Integer(event.Key2));
  items.push_back(Variant::Integer(event.Key3));
  items.push_back(Variant::Integer(event.Key4));
  items.push_back(Variant::Integer(event.Key5));
  items.push_back(Variant::Date(event.Time1));
  items.push_back(Variant::Date(event.Time2));
  items.push_back(Variant::Date(event.Time3));
  items.push_back(Variant::String(CutToWireLength(event.Text, kEventTextMax)));
  return Variant::ArrayOf(std::move(items));
}

bool ParseEventArray(const Variant& value, TEvRecord& event) {
  if (!IsZeroBasedArrayOf(value, 10)) return false;
  try {
    event.EvCode = value.At(0).AsInteger();
    event.Key1 = value.At(1).AsInteger();
    event.Key2 = value.At(2).AsInteger();
    event.Key3 = value.At(3).AsInteger();
    event.Key4 = value.At(4).AsInteger();
    event.Key5 = value.At(5).AsInteger();
    event.Time1 = value.At(6).AsDateTime();
    event.Time2 = value.At(7).AsDateTime();
    event.Time3 = value.At(8).AsDateTime();
    event.Text = value.At(9).AsString();
    if (event.Text.size() > kEventTextMax) event.Text = CutToWireLength(event.Text, kEventTextMax);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

Variant DataToArray(const TDataRecord& data) {
  const auto code = static_cast<uint64_t>(data.DataCode);
  std::vector<Variant> items;
  items.reserve(11);
  items.push_back(Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(code))));
  items.push_back(Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(code >> 32))));
  items.push_back(Variant::Integer(data.Key1));
  items.push_back(Variant::Integer(data.Key3));
  items.push_back(Variant::Integer(data.Key2));
  items.push_back(Variant::Integer(data.Key4));
  items.push_back(Variant::Date(data.Time1));
  items.push_back(Variant::Date(data.Time2));
  items.push_back(Variant::Double(data.Value1));
  items.push_back(Variant::Double(data.Value2));
  items.push_back(Variant::Integer(data.Tag));
  return Variant::ArrayOf(std::move(items));
}

bool ParseDataArray(const Variant& value, TDataRecord& data) {
  if (!IsZeroBasedArrayOf(value, 11)) return false;
  try {
    const auto low = static_cast<uint32_t>(value.At(0).AsInteger());
    const auto high = static_cast<uint32_t>(value.At(1).AsInteger());
    data.DataCode = static_cast<int64_t>((uint64_t(high) << 32) | low);
    data.Key1 = value.At(2).AsInteger();
    data.Key3 = value.At(3).AsInteger();
    data.Key2 = value.At(4).AsInteger();
    data.Key4 = value.At(5).AsInteger();
    data.Time1 = value.At(6).AsDateTime();
    data.Time2 = value.At(7).AsDateTime();
    data.Value1 = value.At(8).AsDouble();
    data.Value2 = value.At(9).AsDouble();
    data.Tag = value.At(10).AsInteger();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace eventlink
