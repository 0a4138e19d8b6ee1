#include "wire/event_packet.h"

#include <cstring>
#include <exception>
#include <string_view>

#include "wire/calendar_date.h"
#include "wire/check_value.h"
#include "wire/packets.h"
#include "wire/seven_bit.h"
#include "wire/text_conversion.h"
#include "wire/value_packet.h"
#include "wire/variant_codec.h"

namespace eventlink {

namespace {

constexpr uint16_t kVariantElements = static_cast<uint16_t>(VarType::Variant);
constexpr int32_t kEventFields = 10;
// Everything of one event's body but its text: three array headers, the kind, six integers,
// three dates and the string's tag and length.
constexpr size_t kArrayHeader = 13;
constexpr size_t kFixedBody = 3 * kArrayHeader + 5 + 6 * 5 + 3 * 10 + 3;
constexpr size_t kCheckBytes = 2;

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

uint8_t* PutInt32(uint8_t* p, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  p[0] = uint8_t(u);
  p[1] = uint8_t(u >> 8);
  p[2] = uint8_t(u >> 16);
  p[3] = uint8_t(u >> 24);
  return p + 4;
}

uint8_t* PutArrayHeader(uint8_t* p, int32_t highBound) {
  *p++ = vtArray;
  *p++ = uint8_t(kVariantElements);
  *p++ = uint8_t(kVariantElements >> 8);
  *p++ = 1;  // dimensions
  *p++ = 0;
  p = PutInt32(p, 0);
  return PutInt32(p, highBound);
}

uint8_t* PutInteger(uint8_t* p, int32_t value) {
  *p++ = vtInteger;
  return PutInt32(p, value);
}

uint8_t* PutDate(uint8_t* p, platform::DateTime value) {
  *p++ = vtDate;
  EncodeCalendarDate(value, p);
  return p + kCalendarDateBytes;
}

// Copies the date just written.
uint8_t* RepeatDate(uint8_t* p) {
  std::memcpy(p, p - (1 + kCalendarDateBytes), 1 + kCalendarDateBytes);
  return p + 1 + kCalendarDateBytes;
}

// A reader over the decoded body that answers false instead of throwing.
struct Reader {
  const uint8_t* p;
  const uint8_t* end;

  bool Byte(uint8_t expected) {
    if (p == end || *p != expected) return false;
    ++p;
    return true;
  }
  bool Int32(int32_t& value) {
    if (end - p < 4) return false;
    value = static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                 (uint32_t(p[3]) << 24));
    p += 4;
    return true;
  }
  bool ArrayHeader(int32_t& highBound) {
    int32_t low = 0;
    return Byte(vtArray) && Byte(uint8_t(kVariantElements)) && Byte(uint8_t(kVariantElements >> 8)) &&
           Byte(1) && Byte(0) && Int32(low) && low == 0 && Int32(highBound);
  }
  bool Integer(int32_t& value) { return Byte(vtInteger) && Int32(value); }
  bool Date(platform::DateTime& value) {
    if (!Byte(vtDate) || end - p < static_cast<ptrdiff_t>(kCalendarDateBytes)) return false;
    if (!DecodeCalendarDate(p, value)) return false;
    p += kCalendarDateBytes;
    return true;
  }
  bool String(std::string_view& bytes) {
    if (!Byte(vtString) || end - p < 2) return false;
    const size_t count = size_t(p[0]) | (size_t(p[1]) << 8);
    p += 2;
    if (static_cast<size_t>(end - p) < count) return false;
    bytes = std::string_view(reinterpret_cast<const char*>(p), count);
    p += count;
    return true;
  }
};

bool ReadEvent(Reader& in, TEvRecord& event) {
  int32_t high = 0;
  std::string_view text;
  if (!in.ArrayHeader(high) || high != kEventFields - 1 || !in.Integer(event.EvCode) ||
      !in.Integer(event.Key1) || !in.Integer(event.Key2) || !in.Integer(event.Key3) ||
      !in.Integer(event.Key4) || !in.Integer(event.Key5) || !in.Date(event.Time1) ||
      !in.Date(event.Time2) || !in.Date(event.Time3) || !in.String(text))
    return false;
  if (IsAscii(text)) {
    event.Text.assign(text);
  } else {
    event.Text = WireToUtf8(text);
  }
  if (event.Text.size() > kEventTextMax) event.Text = CutToWireLength(event.Text, kEventTextMax);
  return true;
}

// The bytes every one-event packet starts with, [5, [[ up to the first field, and the check
// register after them: the check of such a body resumes from there.
struct OneEventPrefix {
  uint8_t bytes[3 * kArrayHeader + 5];
  uint16_t crc;
  OneEventPrefix() {
    uint8_t* p = PutArrayHeader(bytes, 1);
    p = PutInteger(p, pkEvents);
    p = PutArrayHeader(p, 0);
    PutArrayHeader(p, kEventFields - 1);
    crc = Crc16Xmodem(bytes, sizeof bytes);
  }
};
const OneEventPrefix& Prefix() {
  static const OneEventPrefix prefix;
  return prefix;
}

// ValueCheck(body, length), shortened for a body that starts with the one-event prefix.
uint16_t EventBodyCheck(const uint8_t* body, size_t length) {
  const OneEventPrefix& prefix = Prefix();
  constexpr size_t kPrefix = sizeof prefix.bytes;
  if (length < kPrefix + 2 || std::memcmp(body, prefix.bytes, kPrefix) != 0) return ValueCheck(body, length);
  return static_cast<uint16_t>(Crc16XmodemUpdate(prefix.crc, body + kPrefix, length - 2 - kPrefix) ^
                               ((body[length - 2] << 8) | body[length - 1]));
}

TDynArrayStream& DecodeScratch() {
  thread_local TDynArrayStream scratch;
  return scratch;
}

}  // namespace

void AppendEventPacket(const TEvRecord& event, TDynArrayStream& out) {
  std::string_view text = event.Text;
  std::string converted;
  if (text.size() > kEventTextMax || !IsAscii(text)) {
    converted = Utf8ToWire(CutToWireLength(event.Text, kEventTextMax));
    text = converted;
  }
  if (text.size() > 0xFFFF) throw EDinamicByteArray(kMsgStringTooLong);

  uint8_t local[kFixedBody + kEventTextMax + kCheckBytes];
  std::vector<uint8_t> large;
  const size_t bodyLength = kFixedBody + text.size();
  uint8_t* body = local;
  if (bodyLength + kCheckBytes > sizeof local) {
    large.resize(bodyLength + kCheckBytes);
    body = large.data();
  }
  uint8_t* p = PutArrayHeader(body, 1);
  p = PutInteger(p, pkEvents);
  p = PutArrayHeader(p, 0);
  p = PutArrayHeader(p, kEventFields - 1);
  p = PutInteger(p, event.EvCode);
  p = PutInteger(p, event.Key1);
  p = PutInteger(p, event.Key2);
  p = PutInteger(p, event.Key3);
  p = PutInteger(p, event.Key4);
  p = PutInteger(p, event.Key5);
  // Time3 is Time2 in every event a client sends, and Time2 is often Time1: equal times share
  // their bytes.
  p = PutDate(p, event.Time1);
  p = event.Time2 == event.Time1 ? RepeatDate(p) : PutDate(p, event.Time2);
  p = event.Time3 == event.Time2 ? RepeatDate(p) : PutDate(p, event.Time3);
  *p++ = vtString;
  *p++ = uint8_t(text.size());
  *p++ = uint8_t(text.size() >> 8);
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  p += text.size();
  const uint16_t check = EventBodyCheck(body, bodyLength);
  *p++ = uint8_t(check);
  *p++ = uint8_t(check >> 8);

  const size_t total = bodyLength + kCheckBytes;
  out.Reserve(out.Position() + SevenBitEncodedLength(total) + 2);
  out.WriteByte(kValuePacketStart);
  SevenBitEncode(body, total, out);
  out.WriteByte(kValuePacketEnd);
}

bool DecodeEventsPayload(const uint8_t* payload, size_t count, std::vector<TEvRecord>& events) {
  TDynArrayStream& body = DecodeScratch();
  body.Clear();
  SevenBitDecode(payload, count, body);
  const size_t length = body.Length();
  if (length < 4) return false;
  const uint8_t* data = body.Data();
  const uint16_t carried = uint16_t(data[length - 2] | (data[length - 1] << 8));
  if (EventBodyCheck(data, length - 2) != carried) return false;

  Reader in{data, data + length - 2};
  int32_t high = 0, kind = 0, last = 0;
  if (!in.ArrayHeader(high) || high != 1 || !in.Integer(kind) || kind != pkEvents ||
      !in.ArrayHeader(last) || last < -1)
    return false;
  // Each event takes more than kFixedBody - 2 * kArrayHeader - 5 bytes: a count no body could
  // hold is damage.
  const size_t eventCount = static_cast<size_t>(int64_t(last) + 1);
  if (eventCount > static_cast<size_t>(in.end - in.p) / (kFixedBody - 2 * kArrayHeader - 5)) return false;
  events.resize(eventCount);
  for (TEvRecord& event : events)
    if (!ReadEvent(in, event)) return false;
  return in.p == in.end;
}

}  // namespace eventlink
