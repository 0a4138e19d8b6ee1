#pragma once
// Events and data items as callers give them and callbacks receive them, and their array
// forms inside value packets.
#include <cstdint>
#include <string>

#include "platform/datetime.h"
#include "wire/variant.h"

namespace eventlink {

inline constexpr int32_t kDaylightFlag = 0x40000;  // bit 18 of EvCode and DataCode
inline constexpr int32_t kDataTag = 4023;          // the Tag this client sends
inline constexpr size_t kEventTextMax = 255;       // bytes of the Windows-1251 form

struct TEvRecord {
  int32_t EvCode = 0;
  int32_t Key1 = 0, Key2 = 0, Key3 = 0, Key4 = 0, Key5 = 0;
  platform::DateTime Time1 = 0, Time2 = 0, Time3 = 0;
  std::string Text;  // UTF-8, at most 255 Windows-1251 characters

  bool operator==(const TEvRecord&) const = default;
};

struct TDataRecord {
  int64_t DataCode = 0;
  int32_t Key1 = 0, Key2 = 0, Key3 = 0, Key4 = 0;
  platform::DateTime Time1 = 0, Time2 = 0;
  double Value1 = 0, Value2 = 0;
  int32_t Tag = kDataTag;

  bool operator==(const TDataRecord&) const = default;
};

// [EvCode, Key1..Key5, Time1, Time2, Time3, text]; the text is cut to 255 characters.
Variant EventToArray(const TEvRecord& event);
// False (and `event` unspecified) unless `value` is a 10-element zero-based array whose
// elements all convert.
bool ParseEventArray(const Variant& value, TEvRecord& event);

// [DataCode low, DataCode high, Key1, Key3, Key2, Key4, Time1, Time2, Value1, Value2, Tag]:
// Key2 and Key3 trade places on the wire.
Variant DataToArray(const TDataRecord& data);
bool ParseDataArray(const Variant& value, TDataRecord& data);

}  // namespace eventlink
