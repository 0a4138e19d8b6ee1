#pragma once
// Text packets: '<', 228 upper-case hex digits (112 record bytes and a CRC-16/XMODEM of the
// first 224 digits), '>'. The older framing, still used for the hello and for events until
// the server announces that it accepts value packets.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace eventlink {

struct TEvRecord;

inline constexpr size_t kTextRecordSize = 112;
inline constexpr size_t kTextPacketDigits = 228;
inline constexpr size_t kTextPacketSize = 230;
inline constexpr size_t kTextRecordMaxText = 50;

enum TextRecordKind : int32_t { trkEvent = 0, trkHello = 1 };

struct TEvTextRecord {
  int32_t RecordKind = trkEvent;
  int32_t EvCode = 0;
  int32_t Key1 = 0, Key2 = 0, Key3 = 0, Key4 = 0, Key5 = 0;
  platform::DateTime Time1 = 0;
  platform::DateTime Time2 = 0;
  std::string Text;  // UTF-8; cut to 50 Windows-1251 characters in the record

  bool operator==(const TEvTextRecord&) const = default;

  std::array<uint8_t, kTextRecordSize> ToBytes() const;
  static TEvTextRecord FromBytes(const std::array<uint8_t, kTextRecordSize>& bytes);
};

TEvTextRecord MakeHelloRecord(std::string_view name);
// An event in text form: no Time3, text cut to 50 characters.
TEvTextRecord MakeEventTextRecord(const TEvRecord& event);

std::string BuildTextPacket(const TEvTextRecord& record);

// The record in a text packet's payload (the 228 digits between '<' and '>'), or nothing when
// the length, a digit or the CRC is wrong.
std::optional<TEvTextRecord> ParseTextPayload(std::string_view digits);

}  // namespace eventlink
