#include "wire/packets.h"

#include <exception>

namespace eventlink {

Variant MakeBarePacket(PacketKind kind) { return Variant::ArrayOf({Variant::Integer(kind)}); }

Variant MakeEventsPacket(const TEvRecord& event) {
  std::vector<Variant> events;
  events.push_back(EventToArray(event));
  std::vector<Variant> items;
  items.reserve(2);
  items.push_back(Variant::Integer(pkEvents));
  items.push_back(Variant::ArrayOf(std::move(events)));
  return Variant::ArrayOf(std::move(items));
}

Variant MakeDataPacket(const TDataRecord& data) {
  std::vector<Variant> items;
  items.reserve(2);
  items.push_back(Variant::Integer(pkData));
  items.push_back(DataToArray(data));
  return Variant::ArrayOf(std::move(items));
}

Variant MakeEvSubscribePacket(PacketKind kind, const std::array<int32_t, 5>& keys, int32_t group) {
  std::vector<Variant> values;
  for (int32_t key : keys) values.push_back(Variant::Integer(key));
  values.push_back(Variant::Integer(group));
  return Variant::ArrayOf({Variant::Integer(kind), Variant::ArrayOf(std::move(values))});
}

Variant MakeDataSubscribePacket(PacketKind kind, int32_t key1, int32_t key2, int32_t key3,
                                int32_t key4, int32_t group) {
  return Variant::ArrayOf(
      {Variant::Integer(kind),
       Variant::ArrayOf({Variant::Integer(key1), Variant::Integer(key3), Variant::Integer(key2),
                         Variant::Integer(key4), Variant::Integer(group)})});
}

Variant MakeGroupPacket(PacketKind kind, int32_t group) {
  return Variant::ArrayOf({Variant::Integer(kind), Variant::Integer(group)});
}

Variant MakeExecutePacket(Variant value) {
  std::vector<Variant> items;
  items.push_back(Variant::Integer(pkExecute));
  items.push_back(std::move(value));
  return Variant::ArrayOf(std::move(items));
}

Variant MakeIdentityPacket(const std::string& name, const std::string& computer,
                           const std::string& exePath, const std::string& user) {
  return Variant::ArrayOf({Variant::Integer(pkIdentity), Variant::String(name),
                           Variant::String(computer), Variant::String(exePath),
                           Variant::String(user)});
}

std::optional<int32_t> ReceivedPacketKind(const Variant& packet) {
  if (!packet.IsArray() || packet.Dimensions() != 1 || packet.LowBound() != 0 ||
      packet.HighBound() < 0)
    return std::nullopt;
  int32_t kind;
  if (!packet.At(0).TryAsInteger(kind)) return std::nullopt;
  return kind;
}

std::vector<TEvRecord> ParseEventsPacket(const Variant& packet) {
  std::vector<TEvRecord> events;
  if (!packet.IsArray() || packet.HighBound() < 1 || packet.LowBound() > 1) return events;
  const Variant& list = packet.At(1);
  if (!list.IsArray() || list.Dimensions() != 1) return events;
  for (const Variant& item : list.ArrayData().items) {
    TEvRecord event;
    if (ParseEventArray(item, event)) events.push_back(std::move(event));
  }
  return events;
}

std::optional<TDataRecord> ParseDataPacket(const Variant& packet) {
  if (!packet.IsArray() || packet.HighBound() < 1 || packet.LowBound() > 1) return std::nullopt;
  TDataRecord data;
  if (!ParseDataArray(packet.At(1), data)) return std::nullopt;
  return data;
}

bool ServerAcceptsValueEvents(const Variant& packet) {
  if (!packet.IsArray() || packet.HighBound() < 1 || packet.LowBound() > 1) return false;
  try {
    return packet.At(1).AsBoolean();
  } catch (const std::exception&) {
    return false;
  }
}

ReceivedPacket ClassifyReceivedPacket(const Variant& packet) {
  ReceivedPacket result;
  const auto kind = ReceivedPacketKind(packet);
  if (!kind) return result;
  switch (*kind) {
    case pkEvents:
      result.type = ReceivedPacket::Type::Events;
      result.events = ParseEventsPacket(packet);
      break;
    case pkData:
      if (auto data = ParseDataPacket(packet)) {
        result.type = ReceivedPacket::Type::Data;
        result.data = *data;
      }
      break;
    case pkServerInfo:
      result.type = ReceivedPacket::Type::ServerInfo;
      result.valueEvents = ServerAcceptsValueEvents(packet);
      break;
    default:
      break;
  }
  return result;
}

}  // namespace eventlink
