// Exports: packet text forms, framing, encoding, checksums and abonents.
#include "TesTools.h"
#include "testools/checksums.h"
#include "testools/packets.h"
#include "testools/seven_bit_codec.h"

std::string PacketToString(const TPacket& packet) { return testools::PacketToString(packet); }
void StringToPacket(const std::string& text, TPacket& packet) { testools::StringToPacket(text, packet); }
std::string PacketToOleString(const TPacket& packet) { return testools::PacketToOleString(packet); }
void OleStringToPacket(const std::string& bytes, TPacket& packet) { testools::OleStringToPacket(bytes, packet); }
bool ReadFromFileToPacket(int fd, TPacket& packet) { return testools::ReadFromFileToPacket(fd, packet); }
void SetCommandInPacket(TPacket& packet, uint16_t command, const std::string& text) {
  testools::SetCommandInPacket(packet, command, text);
}
void PackPacket(TPacket& packet) { testools::PackPacket(packet); }
void UnPackPacket(TPacket& packet) { testools::UnPackPacket(packet); }
uint16_t Calc16Crc(const TPacket& packet, uint8_t start, uint8_t count) { return testools::Calc16Crc(packet, start, count); }
uint16_t CalcSum2Crc(const TPacket& packet, uint8_t start, uint8_t count) {
  return testools::CalcSum2Crc(packet, start, count);
}
void ShiftBytesToRightInPacket(TPacket& packet, uint8_t position, uint8_t count) {
  testools::ShiftBytesToRightInPacket(packet, position, count);
}
uint16_t GetAbonentFromTxPacket(const TPacket& packet) { return testools::GetAbonentFromTxPacket(packet); }
uint16_t GetAbonentFromRxPacket(const TPacket& packet) { return testools::GetAbonentFromRxPacket(packet); }
