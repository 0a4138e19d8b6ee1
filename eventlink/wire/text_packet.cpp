#include "wire/text_packet.h"

#include <algorithm>
#include <cstring>

#include "wire/check_value.h"
#include "wire/event_records.h"
#include "wire/text_conversion.h"

namespace eventlink {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void PutInt32(uint8_t* at, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(u >> (8 * i));
}

int32_t GetInt32(const uint8_t* at) {
  return static_cast<int32_t>(uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) |
                              (uint32_t(at[3]) << 24));
}

void PutDouble(uint8_t* at, double value) {
  uint64_t u;
  std::memcpy(&u, &value, 8);
  for (int i = 0; i < 8; ++i) at[i] = uint8_t(u >> (8 * i));
}

double GetDouble(const uint8_t* at) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= uint64_t(at[i]) << (8 * i);
  double value;
  std::memcpy(&value, &u, 8);
  return value;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::array<uint8_t, kTextRecordSize> TEvTextRecord::ToBytes() const {
  std::array<uint8_t, kTextRecordSize> bytes{};
  PutInt32(&bytes[0], RecordKind);
  PutInt32(&bytes[4], EvCode);
  PutInt32(&bytes[8], Key1);
  PutInt32(&bytes[12], Key2);
  PutInt32(&bytes[16], Key3);
  PutInt32(&bytes[20], Key4);
  PutInt32(&bytes[24], Key5);
  PutDouble(&bytes[32], Time1);
  PutDouble(&bytes[40], Time2);
  std::string text = Utf8ToWire(Text);
  if (text.size() > kTextRecordMaxText) text.resize(kTextRecordMaxText);
  bytes[56] = static_cast<uint8_t>(text.size());
  std::memcpy(&bytes[57], text.data(), text.size());
  return bytes;
}

TEvTextRecord TEvTextRecord::FromBytes(const std::array<uint8_t, kTextRecordSize>& bytes) {
  TEvTextRecord r;
  r.RecordKind = GetInt32(&bytes[0]);
  r.EvCode = GetInt32(&bytes[4]);
  r.Key1 = GetInt32(&bytes[8]);
  r.Key2 = GetInt32(&bytes[12]);
  r.Key3 = GetInt32(&bytes[16]);
  r.Key4 = GetInt32(&bytes[20]);
  r.Key5 = GetInt32(&bytes[24]);
  r.Time1 = GetDouble(&bytes[32]);
  r.Time2 = GetDouble(&bytes[40]);
  const size_t length = std::min<size_t>(bytes[56], kTextRecordMaxText);
  r.Text = WireToUtf8(std::string_view(reinterpret_cast<const char*>(&bytes[57]), length));
  return r;
}

TEvTextRecord MakeHelloRecord(std::string_view name) {
  TEvTextRecord r;
  r.RecordKind = trkHello;
  r.Text = CutToWireLength(name, kTextRecordMaxText);
  return r;
}

TEvTextRecord MakeEventTextRecord(const TEvRecord& event) {
  TEvTextRecord r;
  r.RecordKind = trkEvent;
  r.EvCode = event.EvCode;
  r.Key1 = event.Key1;
  r.Key2 = event.Key2;
  r.Key3 = event.Key3;
  r.Key4 = event.Key4;
  r.Key5 = event.Key5;
  r.Time1 = event.Time1;
  r.Time2 = event.Time2;
  r.Text = CutToWireLength(event.Text, kTextRecordMaxText);
  return r;
}

std::string BuildTextPacket(const TEvTextRecord& record) {
  const auto bytes = record.ToBytes();
  std::string packet;
  packet.reserve(kTextPacketSize);
  packet += '<';
  for (uint8_t b : bytes) {
    packet += kHexDigits[b >> 4];
    packet += kHexDigits[b & 0x0F];
  }
  const uint16_t crc = Crc16Xmodem(std::string_view(packet).substr(1, 2 * kTextRecordSize));
  for (int shift = 12; shift >= 0; shift -= 4) packet += kHexDigits[(crc >> shift) & 0x0F];
  packet += '>';
  return packet;
}

std::optional<TEvTextRecord> ParseTextPayload(std::string_view digits) {
  if (digits.size() != kTextPacketDigits) return std::nullopt;
  std::array<uint8_t, kTextRecordSize> bytes{};
  for (size_t i = 0; i < kTextRecordSize; ++i) {
    const int hi = HexValue(digits[2 * i]), lo = HexValue(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  unsigned carried = 0;
  for (size_t i = 2 * kTextRecordSize; i < kTextPacketDigits; ++i) {
    const int v = HexValue(digits[i]);
    if (v < 0) return std::nullopt;
    carried = carried << 4 | unsigned(v);
  }
  if (Crc16Xmodem(digits.substr(0, 2 * kTextRecordSize)) != carried) return std::nullopt;
  return TEvTextRecord::FromBytes(bytes);
}

}  // namespace eventlink
