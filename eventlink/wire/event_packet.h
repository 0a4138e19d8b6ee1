#pragma once
// The event packet [5, [[EvCode, Key1..Key5, Time1, Time2, Time3, text], ...]] coded straight
// between records and bytes, without a Variant tree: the hot path of sending and of receiving.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wire/dyn_array_stream.h"
#include "wire/event_records.h"

namespace eventlink {

// Appends the value packet of one event, markers included: the same bytes as
// AppendValuePacket(MakeEventsPacket(event), out). Throws as that does for a time the calendar
// form cannot carry; `out` is then unchanged.
void AppendEventPacket(const TEvRecord& event, TDynArrayStream& out);

// Reads a value packet's payload (the bytes between the markers) that holds [5, [event, ...]]
// in the form senders write: arrays of element type variant, zero-based, each field with its
// own tag. True with `events` replaced by what ParseEventsPacket(DecodeValuePayload(...))
// gives; false for any other payload, which the caller then decodes in general.
bool DecodeEventsPayload(const uint8_t* payload, size_t count, std::vector<TEvRecord>& events);

}  // namespace eventlink
