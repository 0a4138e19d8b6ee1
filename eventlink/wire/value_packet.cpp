#include "wire/value_packet.h"

#include <exception>

#include "wire/check_value.h"
#include "wire/seven_bit.h"
#include "wire/variant_codec.h"

namespace eventlink {

namespace {
// Per thread rather than process-wide: connections live on several threads' queues.
TDynArrayStream& SerializeScratch() {
  thread_local TDynArrayStream scratch;
  return scratch;
}
TDynArrayStream& DecodeScratch() {
  thread_local TDynArrayStream scratch;
  return scratch;
}
}  // namespace

void AppendValuePacket(const Variant& value, TDynArrayStream& out) {
  TDynArrayStream& body = SerializeScratch();
  body.Clear();
  SerializeVariant(value, body);
  const uint16_t check = ValueCheck(body.Data(), body.Length());
  body.WriteWord(check);
  out.Reserve(out.Position() + SevenBitEncodedLength(body.Length()) + 2);
  out.WriteByte(kValuePacketStart);
  SevenBitEncode(body.Data(), body.Length(), out);
  out.WriteByte(kValuePacketEnd);
}

TDynArrayStream BuildValuePacket(const Variant& value) {
  TDynArrayStream out;
  AppendValuePacket(value, out);
  return out;
}

Variant DecodeValuePayload(const uint8_t* payload, size_t count) {
  TDynArrayStream& body = DecodeScratch();
  body.Clear();
  try {
    SevenBitDecode(payload, count, body);
    const size_t length = body.Length();
    if (length < 4) return {};
    const uint16_t expected = ValueCheck(body.Data(), length - 2);
    const uint16_t carried = uint16_t(body.Data()[length - 2] | (body.Data()[length - 1] << 8));
    if (expected != carried) return {};
    // Drop the check value so that a truncated value cannot read it as data.
    body.DeleteRange(static_cast<ptrdiff_t>(length - 2), 2);
    body.SetPosition(0);
    return DeserializeVariant(body);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace eventlink
