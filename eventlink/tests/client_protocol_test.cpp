// The remote-protocol channel: frames, request ids, answers and the two-minute expiry.
#include "client_test_support.h"
#include "es_server_thread.h"
#include "platform/clock.h"
#include "wire/check_value.h"
#include "wire/seven_bit.h"

using namespace clienttest;
using eventlink::Variant;

namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& frame) {
  eventlink::TDynArrayStream out;
  eventlink::SevenBitDecode(frame.data() + 1, frame.size() - 2, out);
  return {out.Data(), out.Data() + out.Length()};
}

TEST(ProtocolFrameTest, ACommandWithoutDataIsAnEighteenByteFrame) {
  const auto frame = eventlink::BuildS50Frame(1, 0x12, 5807, 1, nullptr, 0);
  ASSERT_EQ(frame.size(), 18u);
  EXPECT_EQ(frame.front(), 0x02);
  EXPECT_EQ(frame.back(), 0x03);
  for (size_t i = 1; i + 1 < frame.size(); ++i) EXPECT_TRUE(frame[i] & 0x80) << i;
  const auto plain = Decode(frame);
  const std::vector<uint8_t> header{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x80, 0x12, 0xAF, 0x16, 0x01};
  ASSERT_EQ(plain.size(), 14u);
  EXPECT_EQ(std::vector<uint8_t>(plain.begin(), plain.begin() + 12), header);
  const uint16_t crc = eventlink::Crc16Xmodem(plain.data(), 12);
  EXPECT_EQ(plain[12], crc & 0xFF);
  EXPECT_EQ(plain[13], crc >> 8);
}

struct Answer {
  std::vector<uint8_t> bytes;
  std::vector<Variant> params;
};
std::vector<Answer> g_answers;
void RecordAnswer(void*, const uint8_t* answer, int32_t count, const ESVariant* params, int32_t high) {
  Answer a;
  a.bytes.assign(answer, answer + count);
  for (int32_t i = 0; i <= high; ++i) a.params.push_back(params[i]);
  g_answers.push_back(a);
}

int32_t IdOf(const std::vector<uint8_t>& frame) {
  const auto plain = Decode(frame);
  int32_t id;
  std::memcpy(&id, plain.data() + 3, 4);
  return id;
}

std::vector<std::vector<uint8_t>> Frames(const std::string& stream) {
  std::vector<std::vector<uint8_t>> frames;
  size_t start = 0;
  while ((start = stream.find('\x02', start)) != std::string::npos) {
    const size_t end = stream.find('\x03', start);
    if (end == std::string::npos) break;
    frames.emplace_back(stream.begin() + static_cast<ptrdiff_t>(start), stream.begin() + static_cast<ptrdiff_t>(end) + 1);
    start = end + 1;
  }
  return frames;
}

TEST(ProtocolChannelTest, RequestIdsCountAcrossChannelsAndAnswersMatchById) {
  eventlink::ResetRequestIdsForTests();
  g_answers.clear();
  ScriptedPeer peerA, peerB;
  eventlink::TTCPProtocolS50 a("127.0.0.1", peerA.Port(), 3, 0x1234, 4096);
  eventlink::TTCPProtocolS50 b("127.0.0.1", peerB.Port(), 3, 0x1234, 4096);
  const uint8_t data[] = {0xAA, 0x02, 0x03};
  const Variant param = Variant::String("p");
  a.SendCommand(0x21, data, 3, RecordAnswer, nullptr, &param, 0);
  b.SendCommand(0x22, nullptr, 0, RecordAnswer, nullptr, nullptr, -1);
  a.SendCommand(0x23, nullptr, 0, nullptr, nullptr, nullptr, -1);
  ASSERT_TRUE(Pump([&] {
    return peerA.Connections() && peerB.Connections() && Frames(peerA.Last()).size() == 2 && !peerB.Last().empty();
  }));
  const auto framesA = Frames(peerA.Last());
  EXPECT_EQ(IdOf(framesA[0]), 1);
  EXPECT_EQ(IdOf(Frames(peerB.Last())[0]), 2);
  EXPECT_EQ(IdOf(framesA[1]), 3);

  // Echoed answers: the first is delivered once, a repeat finds no task.
  const std::string echo(framesA[0].begin(), framesA[0].end());
  peerA.Send("junk" + echo + echo);
  ASSERT_TRUE(Pump([] { return !g_answers.empty(); }));
  PumpFor(30);
  ASSERT_EQ(g_answers.size(), 1u);
  EXPECT_EQ(g_answers[0].bytes, (std::vector<uint8_t>{0x21, 0x34, 0x12, 3, 0xAA, 0x02, 0x03}));
  ASSERT_EQ(g_answers[0].params.size(), 1u);
  EXPECT_EQ(g_answers[0].params[0], param);
  EXPECT_EQ(a.TaskCount(), 1u);
}

TEST(ProtocolChannelTest, UnansweredRequestsExpireAfterTwoMinutesWithoutACall) {
  platform::FakeClock clock(platform::EncodeDateTime(2024, 3, 1, 10, 0, 0, 0));
  platform::ScopedClock scoped(clock);
  g_answers.clear();
  int freePort;
  {
    ScriptedPeer gone;
    freePort = gone.Port();
  }
  eventlink::TTCPProtocolS50 channel("127.0.0.1", freePort, 1, 5807, 1024);
  channel.SendCommand(0x12, nullptr, 0, RecordAnswer, nullptr, nullptr, -1);
  const int32_t id = eventlink::NextRequestId() - 1;  // the one just used
  clock.Advance(120000);
  channel.ServiceTick();
  EXPECT_EQ(channel.TaskCount(), 1u) << "exactly two minutes is not yet too old";
  clock.Advance(1);
  channel.ServiceTick();
  EXPECT_EQ(channel.TaskCount(), 0u);
  // Its answer arriving late is ignored.
  for (uint8_t byte : eventlink::BuildS50Frame(id, 0x12, 5807, 1, nullptr, 0)) channel.ReceiveByte(byte);
  EXPECT_TRUE(g_answers.empty());
}

TEST(ProtocolChannelTest, ShortFramesAndBytesBeforeAStartAreDiscarded) {
  g_answers.clear();
  eventlink::TTCPProtocolS50 channel("127.0.0.1", 1, 1, 5807, 64);
  channel.SendCommand(0x12, nullptr, 0, RecordAnswer, nullptr, nullptr, -1);
  const int32_t id = eventlink::NextRequestId() - 1;
  for (uint8_t byte : {0x02, 0x81, 0x82, 0x03}) channel.ReceiveByte(byte);
  EXPECT_TRUE(g_answers.empty());
  // A buffer that fills without an end wraps; the next frame still gets through.
  for (int i = 0; i < 100; ++i) channel.ReceiveByte(0x85);
  for (uint8_t byte : eventlink::BuildS50Frame(id, 0x12, 5807, 1, nullptr, 0)) channel.ReceiveByte(byte);
  EXPECT_EQ(g_answers.size(), 1u);
}

TEST(ProtocolExportTest, TheDefaultsChannelTalksToTheServersEchoPort) {
  esserver::ServerOptions options;
  options.port = 0;
  options.protocolPort = 0;
  esserver::TEsServerThread server(options);
  std::string error;
  ASSERT_TRUE(server.Start(error)) << error;
  FreshPool(server.Port());
  g_answers.clear();
  ConnectToES_Ex("protocol");
  EXPECT_EQ(SendRemoteProtocolS50Command(0x12, nullptr, 0, RecordAnswer, nullptr, nullptr, -1), -1);
  ASSERT_EQ(ChangeESParams(("ServerPort=" + std::to_string(server.Port()) + "\nProtocolPort=" +
                            std::to_string(server.ProtocolPort()) + "\nProtocolOperatorId=9")
                               .c_str()),
            0);
  const char data[] = "hi";
  ESVariant* param = ESVariantCreateInteger(5);
  EXPECT_EQ(SendRemoteProtocolS50Command(0x112, data, 2, RecordAnswer, nullptr, param, 0), 0);
  ESVariantFree(param);
  ASSERT_TRUE(Pump([] { return !g_answers.empty(); }));
  EXPECT_EQ(g_answers[0].bytes, (std::vector<uint8_t>{0x12, 0xAF, 0x16, 9, 'h', 'i'}));
  EXPECT_EQ(g_answers[0].params.at(0), Variant::Integer(5));
  DisconnectFromES_Ex();
}

}  // namespace
