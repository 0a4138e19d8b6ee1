#pragma once
// The packet kinds of the event-server protocol: building the values the client sends and
// sorting out the ones it receives. Every value packet carries a zero-based array whose
// element 0 is the kind.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wire/event_records.h"
#include "wire/variant.h"

namespace eventlink {

enum PacketKind : int32_t {
  pkHello = 1,
  pkEvSubscribe = 3,
  pkEvSubscribeClear = 4,
  pkEvents = 5,
  pkEvSubscribeDelOne = 6,
  pkEvSubscribeDelGroup = 7,
  pkDataSubscribe = 8,
  pkDataSubscribeClear = 9,
  pkData = 10,
  pkDataSubscribeDelOne = 11,
  pkDataSubscribeDelGroup = 12,
  pkExecute = 13,
  pkIdentity = 16,
  pkServerInfo = 17,
  pkMonitorOn = 18,
  pkMonitorOff = 19,
};

// [kind] for the kinds without arguments (4, 9, 18, 19).
Variant MakeBarePacket(PacketKind kind);
// [5, [event]]: the client sends one event per packet.
Variant MakeEventsPacket(const TEvRecord& event);
// [10, data].
Variant MakeDataPacket(const TDataRecord& data);
// [3 or 6, [Key1..Key5, group]].
Variant MakeEvSubscribePacket(PacketKind kind, const std::array<int32_t, 5>& keys, int32_t group);
// [8 or 11, [Key1, Key3, Key2, Key4, group]]: keys in record order, sent in wire order.
Variant MakeDataSubscribePacket(PacketKind kind, int32_t key1, int32_t key2, int32_t key3,
                                int32_t key4, int32_t group);
// [7 or 12, group].
Variant MakeGroupPacket(PacketKind kind, int32_t group);
// [13, value]: the value passes through unchanged.
Variant MakeExecutePacket(Variant value);
// [16, name, computer, program path, user].
Variant MakeIdentityPacket(const std::string& name, const std::string& computer,
                           const std::string& exePath, const std::string& user);

// The kind of a received value: a one-dimensional zero-based array with at least one
// element whose element 0 converts to an integer.
std::optional<int32_t> ReceivedPacketKind(const Variant& packet);

// The events of a received [5, [...]] packet, lowest index first; elements that do not parse
// are skipped, and a packet whose element 1 is not an array gives none.
std::vector<TEvRecord> ParseEventsPacket(const Variant& packet);
// The data item of a received [10, data] packet.
std::optional<TDataRecord> ParseDataPacket(const Variant& packet);
// Element 1 of a received [17, ...] packet as a boolean; false when it does not convert.
bool ServerAcceptsValueEvents(const Variant& packet);

// A received value packet sorted out for dispatch.
struct ReceivedPacket {
  enum class Type { Ignored, Events, Data, ServerInfo };
  Type type = Type::Ignored;
  std::vector<TEvRecord> events;  // Events
  TDataRecord data;               // Data
  bool valueEvents = false;       // ServerInfo: the server takes events in value packets
};
ReceivedPacket ClassifyReceivedPacket(const Variant& packet);

}  // namespace eventlink
