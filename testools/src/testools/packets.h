#pragma once
// The 260-byte packet record: its text forms, its raw-string form, the command frame, gaps
// and the abonent number. Every operation stays inside the record whatever Len holds.
#include <cstdint>
#include <string>

#include "TesTools.h"

namespace testools {

constexpr int kPacketDataSize = 256;
constexpr int kCommandTextLimit = 252;  // 0x02, two command bytes and 0x03 take the rest
constexpr int kReadChunkLimit = 255;

// Len limited to 0..256, for reading.
int UsedLength(const TPacket& packet);

std::string PacketToString(const TPacket& packet);
void StringToPacket(const std::string& text, TPacket& packet);
std::string PacketToOleString(const TPacket& packet);
void OleStringToPacket(const std::string& bytes, TPacket& packet);
bool ReadFromFileToPacket(int fd, TPacket& packet);
void SetCommandInPacket(TPacket& packet, uint16_t command, const std::string& text);
void ShiftBytesToRightInPacket(TPacket& packet, uint8_t position, uint8_t count);
uint16_t GetAbonentFromTxPacket(const TPacket& packet);
uint16_t GetAbonentFromRxPacket(const TPacket& packet);

}  // namespace testools
