// Packets through the library's exports: text forms, framing, seven-bit encoding, checksums,
// gaps and abonents, including what happens when a caller breaks the record's limits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TesTools.h"

namespace {

TPacket MakePacket(const std::vector<uint8_t>& bytes) {
  TPacket p;
  p.Len = static_cast<int32_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), p.Data);
  return p;
}

std::vector<uint8_t> Bytes(const TPacket& p) { return std::vector<uint8_t>(p.Data, p.Data + std::max(0, p.Len)); }

}  // namespace

TEST(PacketText, ToStringWritesUpperHexWithTrailingUnderscore) {
  EXPECT_EQ(PacketToString(MakePacket({0x02, 0x1F, 0xA0})), "02_1F_A0_");
  TPacket empty = MakePacket({0x01});
  empty.Len = 0;
  EXPECT_EQ(PacketToString(empty), "");
  empty.Len = -5;
  EXPECT_EQ(PacketToString(empty), "");
}

TEST(PacketText, ToStringOfOversizedLenStopsAtTheDataArea) {
  TPacket p;
  p.Len = 100000;
  EXPECT_EQ(PacketToString(p).size(), 256u * 3);
}

TEST(PacketText, StringToPacketCases) {
  struct Case {
    std::string text;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"02 1f a0", {0x02, 0x1F, 0xA0}},
      {"02_1F_A0_", {0x02, 0x1F, 0xA0}},
      {"ABC", {0xAB, 0x0C}},
      {"xyz-+", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    TPacket p;
    p.Len = 99;
    StringToPacket(c.text, p);
    EXPECT_EQ(Bytes(p), c.bytes) << c.text;
  }
}

TEST(PacketText, RoundTripAndTheDigitLimit) {
  TPacket original;
  original.Len = 256;
  for (int i = 0; i < 256; ++i) original.Data[i] = static_cast<uint8_t>(255 - i);
  TPacket back;
  StringToPacket(PacketToString(original), back);
  EXPECT_EQ(Bytes(back), Bytes(original));

  // Digits past the 512 that fill the data area are ignored rather than written past it.
  TPacket clipped;
  StringToPacket(std::string(600, 'F') + "00", clipped);
  EXPECT_EQ(clipped.Len, 256);
  EXPECT_EQ(clipped.Data[255], 0xFF);
}

TEST(PacketText, OleStringCarriesTheWholeRecord) {
  TPacket p = MakePacket({1, 2, 3});
  const std::string raw = PacketToOleString(p);
  ASSERT_EQ(raw.size(), 260u);
  EXPECT_EQ(raw.substr(0, 7), std::string("\x03\x00\x00\x00\x01\x02\x03", 7));

  TPacket q = MakePacket({9, 9, 9, 9});
  OleStringToPacket(raw, q);
  EXPECT_EQ(Bytes(q), Bytes(p));

  TPacket unchanged = MakePacket({7});
  OleStringToPacket("", unchanged);
  EXPECT_EQ(Bytes(unchanged), std::vector<uint8_t>{7});

  // A longer string is cut at the record's end.
  TPacket big;
  std::string tooLong(300, '\x01');
  OleStringToPacket(tooLong, big);
  EXPECT_EQ(big.Len, 0x01010101);
  EXPECT_EQ(PacketToString(big).size(), 256u * 3);
}

TEST(PacketFile, ReadsAtMost255BytesAndReportsFailure) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string data(300, 'x');
  ASSERT_EQ(write(fds[1], data.data(), data.size()), 300);
  TPacket p;
  EXPECT_TRUE(ReadFromFileToPacket(fds[0], p));
  EXPECT_EQ(p.Len, 255);
  close(fds[0]);
  close(fds[1]);

  p.Len = 7;
  EXPECT_FALSE(ReadFromFileToPacket(fds[0], p));  // closed descriptor
  EXPECT_EQ(p.Len, 0);
}

TEST(PacketFrame, CommandFrameClearsTheRecord) {
  TPacket p;
  for (auto& b : p.Data) b = 0xEE;
  SetCommandInPacket(p, 0x0107, "AB");
  EXPECT_EQ(Bytes(p), (std::vector<uint8_t>{0x02, 0x01, 0x07, 0x41, 0x42, 0x03}));
  for (int i = 6; i < 256; ++i) ASSERT_EQ(p.Data[i], 0) << i;
}

TEST(PacketFrame, OverlongCommandTextIsCutTo252Bytes) {
  TPacket p;
  SetCommandInPacket(p, 0x0001, std::string(400, 'Q'));
  EXPECT_EQ(p.Len, 256);
  EXPECT_EQ(p.Data[254], 'Q');
  EXPECT_EQ(p.Data[255], 0x03);
}

TEST(PacketEncoding, PackAndUnpackCases) {
  struct Case {
    std::vector<uint8_t> plain, packed;
  } cases[] = {
      {{0x01, 0x82}, {0x81, 0x82, 0xA0}},
      {{0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86}, {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xFF}},
      {{0, 1, 2, 3, 4, 5, 6, 7}, {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x80, 0x87, 0x80}},
  };
  for (const Case& c : cases) {
    TPacket p = MakePacket(c.plain);
    PackPacket(p);
    EXPECT_EQ(Bytes(p), c.packed);
    UnPackPacket(p);
    EXPECT_EQ(Bytes(p), c.plain);
  }
}

TEST(PacketEncoding, LargestPackableLengthRoundTrips) {
  TPacket p;
  p.Len = 224;
  for (int i = 0; i < 224; ++i) p.Data[i] = static_cast<uint8_t>(i * 37);
  const std::vector<uint8_t> plain = Bytes(p);
  PackPacket(p);
  EXPECT_EQ(p.Len, 256);
  for (int i = 0; i < 256; ++i) ASSERT_NE(p.Data[i] & 0x80, 0) << i;
  UnPackPacket(p);
  EXPECT_EQ(Bytes(p), plain);
}

TEST(PacketEncoding, TooLongToPackIsLeftUnchanged) {
  TPacket p;
  p.Len = 225;
  for (int i = 0; i < 256; ++i) p.Data[i] = static_cast<uint8_t>(i);
  const TPacket before = p;
  PackPacket(p);
  EXPECT_EQ(PacketToOleString(p), PacketToOleString(before));
}

TEST(PacketEncoding, UnpackOfOversizedLenStaysInTheRecord) {
  TPacket p;
  p.Len = 5000;
  for (auto& b : p.Data) b = 0xFF;
  UnPackPacket(p);
  EXPECT_EQ(p.Len, 224);
}

TEST(PacketChecksum, Cases) {
  TPacket digits = MakePacket({'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  EXPECT_EQ(Calc16Crc(digits, 0, 9), 0xB1C3);
  EXPECT_EQ(CalcSum2Crc(digits, 0, 9), 0x81DD);
  EXPECT_EQ(Calc16Crc(digits, 0, 0), 0x8080);
  EXPECT_EQ(CalcSum2Crc(digits, 3, 0), 0x8080);
  // A range past the data area is clipped at its end.
  TPacket last;
  last.Data[255] = 0x05;
  EXPECT_EQ(CalcSum2Crc(last, 250, 255), 0x8085);
}

TEST(PacketGap, ShiftOpensAGapAndKeepsTheOldBytes) {
  TPacket p = MakePacket({1, 2, 3, 4, 5});
  ShiftBytesToRightInPacket(p, 1, 2);
  EXPECT_EQ(Bytes(p), (std::vector<uint8_t>{1, 2, 3, 2, 3, 4, 5}));
}

TEST(PacketGap, GapPastTheEndMovesNothingAndLenStaysInRange) {
  TPacket p;
  p.Len = 250;
  for (int i = 0; i < 256; ++i) p.Data[i] = static_cast<uint8_t>(i);
  ShiftBytesToRightInPacket(p, 200, 100);
  EXPECT_EQ(p.Len, 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p.Data[i], i);
}

TEST(PacketAbonent, TxMirrorsRxDoesNot) {
  TPacket p = MakePacket({0x02, 0x21, 0x43, 0x00, 0x03});
  EXPECT_EQ(GetAbonentFromTxPacket(p), 0x3412);
  EXPECT_EQ(GetAbonentFromRxPacket(p), 0x2143);
  p.Len = 4;
  EXPECT_EQ(GetAbonentFromTxPacket(p), 0);
  EXPECT_EQ(GetAbonentFromRxPacket(p), 0);
}
