#include "testools/packets.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "testools/routes.h"

namespace testools {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int UsedLength(const TPacket& packet) { return std::clamp(packet.Len, 0, kPacketDataSize); }

std::string PacketToString(const TPacket& packet) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  const int len = UsedLength(packet);
  text.reserve(static_cast<size_t>(len) * 3);
  for (int i = 0; i < len; ++i) {
    text += kHex[packet.Data[i] >> 4];
    text += kHex[packet.Data[i] & 0x0F];
    text += '_';
  }
  return text;
}

void StringToPacket(const std::string& text, TPacket& packet) {
  // Digits beyond the 512 that fill the data area are ignored.
  std::string digits;
  for (char c : text) {
    if (HexDigitValue(c) >= 0 && digits.size() < 2 * kPacketDataSize) digits += c;
  }
  packet.Len = static_cast<int32_t>((digits.size() + 1) / 2);
  for (int i = 0; i < packet.Len; ++i) {
    const size_t first = static_cast<size_t>(2 * i);
    if (first + 1 < digits.size()) {
      packet.Data[i] = static_cast<uint8_t>(HexDigitValue(digits[first]) * 16 + HexDigitValue(digits[first + 1]));
    } else {
      packet.Data[i] = static_cast<uint8_t>(HexDigitValue(digits[first]));
    }
  }
}

std::string PacketToOleString(const TPacket& packet) {
  return std::string(reinterpret_cast<const char*>(&packet), sizeof(TPacket));
}

void OleStringToPacket(const std::string& bytes, TPacket& packet) {
  std::memcpy(&packet, bytes.data(), std::min(bytes.size(), sizeof(TPacket)));
}

bool ReadFromFileToPacket(int fd, TPacket& packet) {
  ssize_t got;
  do {
    got = ::read(fd, packet.Data, kReadChunkLimit);
  } while (got < 0 && errno == EINTR);
  packet.Len = got < 0 ? 0 : static_cast<int32_t>(got);
  return got >= 0;
}

void SetCommandInPacket(TPacket& packet, uint16_t command, const std::string& text) {
  packet = TPacket{};
  const size_t textLen = std::min(text.size(), static_cast<size_t>(kCommandTextLimit));
  packet.Data[0] = 0x02;
  packet.Data[1] = static_cast<uint8_t>(command >> 8);
  packet.Data[2] = static_cast<uint8_t>(command & 0xFF);
  std::memcpy(packet.Data + 3, text.data(), textLen);
  packet.Data[3 + textLen] = 0x03;
  packet.Len = static_cast<int32_t>(textLen + 4);
}

void ShiftBytesToRightInPacket(TPacket& packet, uint8_t position, uint8_t count) {
  // The bytes up to index 254 move; a gap that reaches past them moves nothing.
  const int moved = 255 - position - count;
  if (moved > 0) std::memmove(packet.Data + position + count, packet.Data + position, static_cast<size_t>(moved));
  packet.Len = std::min(packet.Len + count, kPacketDataSize);
}

uint16_t GetAbonentFromRxPacket(const TPacket& packet) {
  if (packet.Len <= 4) return 0;
  return static_cast<uint16_t>(packet.Data[1] * 256 + packet.Data[2]);
}

uint16_t GetAbonentFromTxPacket(const TPacket& packet) {
  if (packet.Len <= 4) return 0;
  return MirrRoute(testools::GetAbonentFromRxPacket(packet));
}

}  // namespace testools
