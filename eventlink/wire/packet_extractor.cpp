#include "wire/packet_extractor.h"

#include <algorithm>
#include <cstring>

namespace eventlink {

namespace {
constexpr uint8_t kTextStart = '<';
constexpr uint8_t kTextEnd = '>';
constexpr uint8_t kValueStart = 0x02;
constexpr uint8_t kValueEnd = 0x03;

bool IsHexDigit(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
}
}  // namespace

void TEvPacketExtractor::Append(const void* bytes, size_t count) {
  // Consumed bytes leave the front lazily, once per append instead of once per packet.
  if (head_ > 0) {
    input_.DeleteRange(0, static_cast<ptrdiff_t>(head_));
    head_ = 0;
  }
  input_.Append(bytes, count);
}

void TEvPacketExtractor::NoteError(int32_t code) {
  if (errors_.empty() || errors_.back() != code) errors_.push_back(code);
}

bool TEvPacketExtractor::NextPacket() {
  errors_.clear();
  const uint8_t* data = input_.Data();
  const size_t len = input_.Length();
  size_t i = head_;
  size_t start = head_;  // a packet continued from an earlier call resumes at the front
  bool completed = false;

  while (i < len && !completed) {
    if (state_ == ExtractorState::Searching) {
      const uint8_t b = data[i++];
      if (b == kTextStart || b == kValueStart) {
        state_ = b == kTextStart ? ExtractorState::InTextPacket : ExtractorState::InValuePacket;
        packet_.Clear();
        start = i;
      } else {
        NoteError(1);
      }
      continue;
    }

    const bool text = state_ == ExtractorState::InTextPacket;
    // Advance over the packet's bytes, but never past the size limit plus one.
    const size_t budget = kMaxPacketBytes - std::min(packet_.Length(), kMaxPacketBytes);
    const size_t stop = std::min(len, start + budget + 1);
    if (text) {
      while (i < stop && IsHexDigit(data[i])) ++i;
    } else {
      // Eight bytes at a time while all of them have the high bit set.
      while (i + 8 <= stop) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        if ((word & 0x8080808080808080ull) != 0x8080808080808080ull) break;
        i += 8;
      }
      while (i < stop && (data[i] & 0x80) != 0) ++i;
    }
    const bool oversized = i - start > budget;
    if (oversized) {
      NoteError(-static_cast<int32_t>(packet_.Length()));
      packet_.Clear();
      state_ = ExtractorState::Searching;
      continue;  // the rest of the long packet is skipped as garbage
    }
    if (i == len) {
      // Cut by the end of the input: keep what we have; the next append continues it.
      packet_.Append(data + start, i - start);
      break;
    }
    const uint8_t b = data[i];
    if (b == kTextStart || b == kValueStart) {
      NoteError(2);
      state_ = ExtractorState::Searching;  // the marker starts the next packet
    } else if (b == (text ? kTextEnd : kValueEnd)) {
      packet_.Append(data + start, i - start);
      ++i;
      lastKind_ = text ? pfText : pfValue;
      state_ = ExtractorState::Searching;
      completed = true;
    } else {
      ++i;
      NoteError(3);
      state_ = ExtractorState::Searching;
    }
  }

  head_ = i;
  if (head_ == len) {
    input_.Clear();
    head_ = 0;
  }
  return completed;
}

}  // namespace eventlink
