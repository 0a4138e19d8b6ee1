#pragma once
// Cuts the received byte stream into packets: text packets '<' hex digits '>' and value
// packets 0x02 high-bit bytes 0x03. Garbage, cut and oversized packets are dropped and the
// stream resynchronises at the next start marker.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wire/dyn_array_stream.h"

namespace eventlink {

// Error codes of one NextPacket call: 1 garbage skipped, 2 packet cut by a new start marker,
// 3 invalid byte inside a packet, -n an oversized packet of n bytes dropped.
using TErrorsArray = std::vector<int32_t>;

enum class ExtractorState : uint8_t { Searching = 0, InTextPacket = 1, InValuePacket = 2 };
enum PacketFraming : uint8_t { pfText = 0, pfValue = 1 };

class TEvPacketExtractor {
 public:
  static constexpr size_t kMaxPacketBytes = 7490100;

  void Append(const void* bytes, size_t count);

  // Completes at most one packet. True leaves its payload (the bytes between the markers) in
  // PacketBuffer() and its framing in LastKind(). Call until it returns false after every Append.
  bool NextPacket();

  const TDynArrayStream& PacketBuffer() const { return packet_; }
  PacketFraming LastKind() const { return lastKind_; }
  ExtractorState State() const { return state_; }
  // Bytes appended but not yet scanned.
  size_t PendingInput() const { return input_.Length() - head_; }
  // The errors of the last NextPacket call; nothing else looks at them.
  const TErrorsArray& LastErrors() const { return errors_; }

 private:
  void NoteError(int32_t code);

  TDynArrayStream input_;
  size_t head_ = 0;  // bytes of input_ already consumed; removed at the next Append
  TDynArrayStream packet_;
  ExtractorState state_ = ExtractorState::Searching;
  PacketFraming lastKind_ = pfText;
  TErrorsArray errors_;
};

}  // namespace eventlink
