// Feeds received bytes, cut into chunks of random size, through the packet extractor and the
// decoders, the way a connection does with whatever the network delivers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <exception>
#include <string_view>
#include <vector>

#include "wire/dyn_array_stream.h"
#include "wire/event_packet.h"
#include "wire/packet_extractor.h"
#include "wire/packets.h"
#include "wire/text_packet.h"
#include "wire/value_packet.h"
#include "wire/variant_codec.h"

namespace {

void Use(const eventlink::Variant& value) {
  const eventlink::ReceivedPacket packet = eventlink::ClassifyReceivedPacket(value);
  (void)packet;
  // Whatever decoded must be writable again, except dates that a typed array took in as numbers.
  try {
    eventlink::TDynArrayStream again;
    eventlink::SerializeVariant(value, again);
    again.SetPosition(0);
  } catch (const std::exception&) {
  }
}

// The direct event decoder must read whatever it accepts exactly as the general one does.
void CrossCheckEvents(const uint8_t* payload, size_t count) {
  std::vector<eventlink::TEvRecord> direct;
  if (!eventlink::DecodeEventsPayload(payload, count, direct)) return;
  if (direct != eventlink::ParseEventsPacket(eventlink::DecodeValuePayload(payload, count))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The whole input as one payload and as one serialised value.
  Use(eventlink::DecodeValuePayload(data, size));
  CrossCheckEvents(data, size);
  {
    eventlink::TDynArrayStream raw;
    raw.Append(data, size);
    raw.SetPosition(0);
    try {
      Use(eventlink::DeserializeVariant(raw));
    } catch (const std::exception&) {
    }
  }

  FuzzedDataProvider provider(data, size);
  eventlink::TEvPacketExtractor extractor;
  while (provider.remaining_bytes() > 0) {
    const size_t chunk = provider.ConsumeIntegralInRange<size_t>(1, 64);
    const std::vector<uint8_t> bytes = provider.ConsumeBytes<uint8_t>(chunk);
    extractor.Append(bytes.data(), bytes.size());
    while (extractor.NextPacket()) {
      const eventlink::TDynArrayStream& payload = extractor.PacketBuffer();
      if (extractor.LastKind() == eventlink::pfValue) {
        Use(eventlink::DecodeValuePayload(payload));
        CrossCheckEvents(payload.Data(), payload.Length());
      } else {
        (void)eventlink::ParseTextPayload(payload.View());
      }
    }
  }
  return 0;
}
