// The client connection against a scripted peer on loopback: announce, replay, send buffer,
// events in both framings, receive dispatch and callbacks.
#include <thread>

#include "client_test_support.h"
#include "client/connection_config.h"
#include "platform/datetime.h"

using namespace clienttest;
using eventlink::Variant;

namespace {

const double kJanuary = platform::EncodeDateTime(2024, 1, 15, 12, 0, 0, 0);
const double kJuly = platform::EncodeDateTime(2024, 7, 15, 12, 0, 0, 0);

std::shared_ptr<eventlink::TTCPClientSocket> Default() { return eventlink::ProcessPool().DefaultConnection(); }

std::vector<Packet> PacketsOf(const ScriptedPeer& peer, size_t connection) {
  return SplitPackets(peer.Received(connection));
}

bool HasPackets(const ScriptedPeer& peer, size_t connection, size_t count) {
  return peer.Connections() > connection && SplitPackets(peer.Received(connection)).size() >= count;
}

struct EventSeen {
  int32_t evCode, key1, key2, key3, key4, key5;
  std::string text;
  double time1, time2;
  std::thread::id thread;
};
std::vector<EventSeen> g_events;
std::vector<std::string> g_order;

void RecordEvent(void* userData, int32_t evCode, int32_t k1, int32_t k2, int32_t k3, int32_t k4, int32_t k5,
                 const char* text, double t1, double t2) {
  g_events.push_back({evCode, k1, k2, k3, k4, k5, text, t1, t2, std::this_thread::get_id()});
  if (userData) g_order.push_back(static_cast<const char*>(userData));
}

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    g_order.clear();
    FreshPool(peer_.Port());
  }
  void TearDown() override {
    DisconnectFromES_Ex();
    eventlink::ProcessSettings() = eventlink::TProcessSettings{};
  }
  // Connects the default and waits for the announce (hello, identity, monitor, clears).
  void ConnectAndAnnounce(const char* name = "Client-A") {
    ConnectToES_Ex1(name, "user1");
    ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, 5); }));
  }
  ScriptedPeer peer_;
};

TEST_F(ConnectionTest, AnnounceGoesOutInOrderByteForByteBeforeOlderPendingPackets) {
  ConnectToES_Ex1("Client-A", "user1");
  // Queued before the first connect: they replay in the announce and go out again after it.
  EvSubscribe(1, -1, -1, -1, -1, 9, RecordEvent, nullptr);
  DataSubscribe(10, 20, 30, 40, 2, nullptr, nullptr);
  SendEventToES_Ex(100, 1, 2, 3, 4, 5, "first", kJanuary, kJanuary);

  const std::string name = "Client-A";
  std::string expected = eventlink::BuildTextPacket(eventlink::MakeHelloRecord(name));
  expected += ValueBytes(eventlink::MakeIdentityPacket(name, eventlink::LocalComputerName(),
                                                       eventlink::RunningProgramPath(), "user1"));
  expected += ValueBytes(eventlink::MakeBarePacket(eventlink::pkMonitorOff));
  expected += ValueBytes(eventlink::MakeBarePacket(eventlink::pkEvSubscribeClear));
  const std::string evSub = ValueBytes(eventlink::MakeEvSubscribePacket(eventlink::pkEvSubscribe, {1, -1, -1, -1, -1}, 9));
  const std::string dataSub = ValueBytes(eventlink::MakeDataSubscribePacket(eventlink::pkDataSubscribe, 10, 20, 30, 40, 2));
  expected += evSub;
  expected += ValueBytes(eventlink::MakeBarePacket(eventlink::pkDataSubscribeClear));
  expected += dataSub;
  expected += evSub + dataSub;
  eventlink::TEvRecord event{100, 1, 2, 3, 4, 5, kJanuary, kJanuary, kJanuary, "first"};
  expected += eventlink::BuildTextPacket(eventlink::MakeEventTextRecord(event));

  ASSERT_TRUE(Pump([&] { return peer_.Connections() == 1 && peer_.Received(0).size() >= expected.size(); }));
  EXPECT_EQ(peer_.Received(0), expected);
  EXPECT_TRUE(ESClientConnected());
}

TEST_F(ConnectionTest, ReconnectReplaysSubscriptionsThenEventsQueuedWhileDownInOrder) {
  ConnectAndAnnounce();
  EvSubscribe(7, 7, 7, 7, 7, 1, RecordEvent, nullptr);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, 6); }));
  peer_.CloseCurrent();
  ASSERT_TRUE(Pump([] { return !ESClientConnected(); }));
  // Whatever the client manages to queue before it notices, and after: all must follow the announce.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SendEventToES_Ex(1, 100 + i, 0, 5, 0, 0, "down", kJanuary, kJanuary), 0);

  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 1, 9); }));
  auto packets = PacketsOf(peer_, 1);
  std::vector<int32_t> kinds;
  for (auto& p : packets) kinds.push_back(p.kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{1, 16, 19, 4, 3, 9, 5, 5, 5}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(packets[6 + i].record.Key1, 100 + i);
}

TEST_F(ConnectionTest, RefreshAnnounceRepeatsIdentityAndSubscriptionsWithoutClears) {
  ConnectAndAnnounce();
  EvSubscribe(7, 7, 7, 7, 7, 1, RecordEvent, nullptr);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, 6); }));
  const size_t before = PacketsOf(peer_, 0).size();
  Default()->OnRefreshTimer();
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, before + 4); }));
  auto packets = PacketsOf(peer_, 0);
  std::vector<int32_t> kinds;
  for (size_t i = before; i < packets.size(); ++i) kinds.push_back(packets[i].kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{1, 16, 19, 3}));
}

TEST_F(ConnectionTest, FullSendBufferRefusesEventsFromTheLimitOn) {
  // No server: point the defaults at a port nobody listens on.
  int freePort;
  {
    ScriptedPeer gone;
    freePort = gone.Port();
  }
  FreshPool(freePort);
  eventlink::ProcessSettings().ClientBufSize = 1000;
  ConnectToES_Ex("buffered");
  std::vector<int32_t> results;
  // Text events are 230 bytes: 0, 230, 460, 690 and 920 are under the limit, 1150 is not.
  for (int i = 0; i < 7; ++i) results.push_back(SendEventToES_Ex(1, i, 0, 5, 0, 0, "x", kJanuary, kJanuary));
  EXPECT_EQ(results, (std::vector<int32_t>{0, 0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(Default()->PendingLength(), 5 * 230);
}

TEST_F(ConnectionTest, Key2AndKey3SubstitutionFollowsTheConnectionSettings) {
  WriteEventServerValue("OBJChangeCode", 7);
  WriteEventServerValue("bIKMEventMode", 1);
  eventlink::RecreateProcessPool();
  ConnectAndAnnounce();
  struct Case { int32_t key2, key3, wantKey2, wantKey3; };
  const Case cases[] = {{1500, 0, 500, 7}, {1000, 0, 1000, 7}, {2001, 0, 2001, 7}, {2000, 0, 1000, 7}, {1500, 3, 1500, 3}};
  const size_t before = PacketsOf(peer_, 0).size();
  for (const auto& c : cases) SendEventToES_Ex(1, 0, c.key2, c.key3, 0, 0, "", kJanuary, kJanuary);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, before + std::size(cases)); }));
  auto packets = PacketsOf(peer_, 0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(packets[before + i].record.Key2, cases[i].wantKey2);
    EXPECT_EQ(packets[before + i].record.Key3, cases[i].wantKey3);
  }
}

TEST_F(ConnectionTest, DaylightBitFollowsTheFirstTimeStamp) {
  ConnectAndAnnounce();
  const size_t before = PacketsOf(peer_, 0).size();
  SendEventToES_Ex(1, 0, 0, 5, 0, 0, "", kJuly, kJanuary);
  SendEventToES_Ex(1 | 0x40000, 0, 0, 5, 0, 0, "", kJanuary, kJuly);
  SendDataToEs_Ex(int64_t{1} << 40 | 1, 1, 2, 3, 4, kJuly, kJuly, 1.5, 2.5);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, before + 3); }));
  auto packets = PacketsOf(peer_, 0);
  EXPECT_EQ(packets[before].record.EvCode, 1 | 0x40000);
  EXPECT_EQ(packets[before + 1].record.EvCode, 1);
  auto data = eventlink::ParseDataPacket(packets[before + 2].value);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->DataCode, (int64_t{1} << 40) | 1 | 0x40000);
  EXPECT_EQ(data->Tag, 4023);
  EXPECT_EQ(data->Key2, 2);
  EXPECT_EQ(data->Key3, 3);
}

Variant ServerInfo(bool valueEvents) {
  return Variant::ArrayOf({Variant::Integer(17), Variant::Boolean(valueEvents), Variant::String("extra")});
}

int g_serverInfoCalls = 0;
void RecordServerInfo(void* userData, const ESVariant* info) {
  ++g_serverInfoCalls;
  *static_cast<Variant*>(userData) = *info;
}

TEST_F(ConnectionTest, ServerInfoSwitchesEventsBetweenTextAndValuePackets) {
  ConnectAndAnnounce();
  Variant seen;
  g_serverInfoCalls = 0;
  ServerInfoSubscribe(RecordServerInfo, &seen);
  size_t before = PacketsOf(peer_, 0).size();
  SendEventToES_Ex(1, 11, 0, 5, 0, 0, "text", kJanuary, kJanuary);
  peer_.Send(ValueBytes(ServerInfo(true)));
  ASSERT_TRUE(Pump([] { return g_serverInfoCalls == 1; }));
  EXPECT_EQ(seen, ServerInfo(true));
  SendEventToES_Ex(1, 12, 0, 5, 0, 0, "value", kJanuary, kJanuary + 0.5);
  peer_.Send(ValueBytes(ServerInfo(false)));
  ASSERT_TRUE(Pump([] { return g_serverInfoCalls == 2; }));
  SendEventToES_Ex(1, 13, 0, 5, 0, 0, "text again", kJanuary, kJanuary);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, before + 3); }));
  auto packets = PacketsOf(peer_, 0);
  EXPECT_TRUE(packets[before].text);
  EXPECT_EQ(packets[before].record.Key1, 11);
  ASSERT_FALSE(packets[before + 1].text);
  auto events = eventlink::ParseEventsPacket(packets[before + 1].value);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Key1, 12);
  EXPECT_EQ(events[0].Text, "value");
  EXPECT_DOUBLE_EQ(events[0].Time3, events[0].Time2);
  EXPECT_TRUE(packets[before + 2].text);
}

std::string EventsBytes(std::initializer_list<int32_t> key1s) {
  std::string out;
  for (int32_t k : key1s)
    out += ValueBytes(eventlink::MakeEventsPacket({42, k, 2, 3, 4, 5, kJanuary, kJanuary, kJanuary, "из сервера"}));
  return out;
}

TEST_F(ConnectionTest, ReceivedEventsReachMatchingSubscriptionsOnTheCreatingThread) {
  ConnectAndAnnounce();
  static const char kWild[] = "wild", kExact[] = "exact";
  EvSubscribe(1, 2, 3, 4, 5, 1, RecordEvent, const_cast<char*>(kExact));
  EvSubscribe(1, -1, -1, -1, -1, 1, RecordEvent, const_cast<char*>(kWild));
  EvSubscribe(9, -1, -1, -1, -1, 1, RecordEvent, const_cast<char*>(kWild));
  peer_.Send(EventsBytes({1, 8}));
  ASSERT_TRUE(Pump([] { return g_events.size() >= 2; }));
  PumpFor(20);
  EXPECT_EQ(g_order, (std::vector<std::string>{"wild", "exact"}));
  EXPECT_EQ(g_events[0].evCode, 42);
  EXPECT_EQ(g_events[0].text, "из сервера");
  EXPECT_EQ(g_events[0].thread, std::this_thread::get_id());
}

struct DataSeen {
  int64_t code;
  int32_t k1, k2, k3, k4, tag;
  double v1;
};
std::vector<std::pair<std::string, DataSeen>> g_data;
void RecordData(void* userData, int64_t code, int32_t k1, int32_t k2, int32_t k3, int32_t k4, double, double,
                double v1, double, int32_t tag) {
  g_data.push_back({static_cast<const char*>(userData), {code, k1, k2, k3, k4, tag, v1}});
}

TEST_F(ConnectionTest, ReceivedDataReachSubscriptionsAndThenTheMonitor) {
  ConnectAndAnnounce();
  g_data.clear();
  static const char kSub[] = "sub", kMonitor[] = "monitor";
  DataSubscribe(10, 20, 30, 40, 1, RecordData, const_cast<char*>(kSub));
  DataMonitorSubscribe(RecordData, const_cast<char*>(kMonitor));
  eventlink::TDataRecord data;
  data.DataCode = 77;
  data.Key1 = 10, data.Key2 = 20, data.Key3 = 30, data.Key4 = 40;
  data.Value1 = 3.25;
  data.Tag = 5;
  peer_.Send(ValueBytes(eventlink::MakeDataPacket(data)));
  ASSERT_TRUE(Pump([] { return g_data.size() >= 2; }));
  EXPECT_EQ(g_data[0].first, "sub");
  EXPECT_EQ(g_data[1].first, "monitor");
  EXPECT_EQ(g_data[0].second.k2, 20);
  EXPECT_EQ(g_data[0].second.k3, 30);
  EXPECT_EQ(g_data[0].second.v1, 3.25);
  // The monitor state went to the server as [18].
  auto packets = PacketsOf(peer_, 0);
  EXPECT_EQ(packets.back().kind, eventlink::pkMonitorOn);
}

void SendFromCallback(void*, int32_t, int32_t k1, int32_t, int32_t, int32_t, int32_t, const char*, double, double) {
  g_events.push_back({});
  SendEventToES_Ex(2, k1 + 1000, 0, 5, 0, 0, "reply", kJanuary, kJanuary);
  EvSubscribe(55, 55, 55, 55, 55, 3, RecordEvent, nullptr);
}

TEST_F(ConnectionTest, CallbacksMayCallExportsOfTheirOwnConnection) {
  ConnectAndAnnounce();
  EvSubscribe(1, -1, -1, -1, -1, 1, SendFromCallback, nullptr);
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, 6); }));
  const size_t before = PacketsOf(peer_, 0).size();
  peer_.Send(EventsBytes({1}));
  ASSERT_TRUE(Pump([&] { return HasPackets(peer_, 0, before + 2); }));
  auto packets = PacketsOf(peer_, 0);
  EXPECT_EQ(packets[before].record.Key1, 1001);
  EXPECT_EQ(packets[before + 1].kind, eventlink::pkEvSubscribe);
}

int g_stateCalls = 0;
void CountState() { ++g_stateCalls; }
void DisconnectFromCallback(void*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, double, double) {
  g_events.push_back({});
  DisconnectFromES_Ex();
}

TEST_F(ConnectionTest, DisconnectInsideACallbackEndsTheDispatchAndLaterCallbacks) {
  ConnectAndAnnounce();
  g_stateCalls = 0;
  ESStateSubscribe(CountState, true);
  EvSubscribe(1, -1, -1, -1, -1, 1, DisconnectFromCallback, nullptr);
  EvSubscribe(-1, -1, -1, -1, -1, 2, DisconnectFromCallback, nullptr);
  std::weak_ptr<eventlink::TTCPClientSocket> weak = Default();
  // Two matching subscriptions and a second event in the same read: only the first call runs.
  peer_.Send(EventsBytes({1, 1}));
  ASSERT_TRUE(Pump([] { return !g_events.empty(); }));
  PumpFor(50);
  EXPECT_EQ(g_events.size(), 1u);
  EXPECT_FALSE(ESClientConnected());
  EXPECT_EQ(g_stateCalls, 0);
  // Freed once the dispatch had returned.
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(Pump([&] { return !peer_.Connected(); }));
}

TEST_F(ConnectionTest, PartlySentPacketGoesOutWholeAfterTheReconnectAnnounce) {
  ConnectAndAnnounce();
  peer_.SetReading(false);
  auto connection = Default();
  // Fill the socket until the client has to keep bytes back; the kernel took part of a packet.
  int sent = 0;
  while (!connection->WaitingForSocket() && sent < 2000000)
    SendEventToES_Ex(1, sent++, 0, 5, 0, 0, "fill", kJanuary, kJanuary);
  for (int i = 0; i < 10; ++i) SendEventToES_Ex(1, sent++, 0, 5, 0, 0, "fill", kJanuary, kJanuary);
  // What the peer got before hanging up, then the second connection's whole stream.
  peer_.SetReading(true);
  peer_.Drain();
  peer_.CloseCurrent();
  ASSERT_TRUE(Pump([&] { return peer_.Connections() == 2 && Default()->PendingLength() == 0; }, 10000));
  PumpFor(50);
  peer_.Drain();

  std::vector<int32_t> keys;
  for (auto& p : PacketsOf(peer_, 0))
    if (p.kind == 5) keys.push_back(p.record.Key1);
  size_t errors = 0;
  auto second = SplitPackets(peer_.Received(1), &errors);
  EXPECT_EQ(errors, 0u) << "the second stream must start and stay on packet boundaries";
  ASSERT_GE(second.size(), 4u);
  EXPECT_EQ(second[0].kind, 1);
  for (auto& p : second)
    if (p.kind == 5) keys.push_back(p.record.Key1);
  ASSERT_EQ(keys.size(), static_cast<size_t>(sent));
  for (int i = 0; i < sent; ++i) ASSERT_EQ(keys[i], i);
}

TEST_F(ConnectionTest, AConnectionToItselfIsClosedAndRetried) {
  int freePort;
  {
    ScriptedPeer gone;
    freePort = gone.Port();
  }
  FreshPool(freePort);
  g_stateCalls = 0;
  ConnectToES_Ex("self");
  ESStateSubscribe(CountState, true);
  Default()->SetLocalPortForTests(static_cast<uint16_t>(freePort));
  ASSERT_TRUE(Pump([] { return g_stateCalls >= 2; }, 3000));
  EXPECT_FALSE(ESClientConnected());
  EXPECT_EQ(Default()->PendingLength(), 0);
}

TEST_F(ConnectionTest, APeerThatHangsUpAtOnceGivesStateNotificationsEachCycle) {
  ConnectAndAnnounce();
  g_stateCalls = 0;
  ESStateSubscribe(CountState, true);
  peer_.SetAcceptClose(true);
  peer_.CloseCurrent();
  ASSERT_TRUE(Pump([&] { return peer_.Connections() >= 4; }, 3000));
  PumpFor(30);
  EXPECT_GE(g_stateCalls, 4);
}

}  // namespace
