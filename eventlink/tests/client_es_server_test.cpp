// The client against the reference event server: routing between connections, data and the
// monitor, and events that survive server restarts.
#include <mutex>

#include "client_test_support.h"
#include "es_server_thread.h"
#include "platform/datetime.h"

using namespace clienttest;

namespace {

const double kJanuary = platform::EncodeDateTime(2024, 1, 15, 12, 0, 0, 0);

class EsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    esserver::ServerOptions options;
    options.port = 0;
    options.protocolPort = -1;
    server_ = std::make_unique<esserver::TEsServerThread>(options);
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
    FreshPool(server_->Port());
  }
  void TearDown() override {
    eventlink::RecreateProcessPool();
    server_.reset();
  }
  std::unique_ptr<esserver::TEsServerThread> server_;
};

std::vector<std::pair<int32_t, std::string>> g_events;
void RecordEvent(void*, int32_t evCode, int32_t k1, int32_t, int32_t, int32_t, int32_t, const char* text, double, double) {
  g_events.emplace_back(evCode + k1, text);
}

TEST_F(EsServerTest, EventsAreRoutedToTheConnectionsThatSubscribed) {
  g_events.clear();
  ConnectToES_Ex("sender");
  ConnectToES_Multiple("receiver", "", "localhost", server_->Port());
  EvSubscribe_Multiple("LOCALHOST", 7, -1, -1, -1, -1, 1, RecordEvent, nullptr);
  ASSERT_TRUE(Pump([&] { return server_->Stats().clientsConnected == 2 && ESClientConnected(); }));
  // Wait for the receiver's subscription to be in place, then send both framings.
  ASSERT_TRUE(Pump([&] { return server_->Stats().packets >= 12; }));
  SendEventToES_Ex(100, 7, 0, 5, 0, 0, "первое", kJanuary, kJanuary);
  SendEventToES_Ex(100, 8, 0, 5, 0, 0, "not routed", kJanuary, kJanuary);
  SendEventToES_Ex(100, 7, 0, 5, 0, 0, "второе", kJanuary, kJanuary);
  ASSERT_TRUE(Pump([] { return g_events.size() >= 2; }));
  PumpFor(30);
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0], std::make_pair(107, std::string("первое")));
  EXPECT_EQ(g_events[1].second, "второе");
}

std::vector<std::pair<int32_t, std::string>> g_burst;
void RecordBurst(void*, int32_t, int32_t, int32_t k2, int32_t, int32_t, int32_t, const char* text, double, double) {
  g_burst.emplace_back(k2, text);
}

std::string BurstText(int i) { return (i % 3 == 0 ? "событие " : "event ") + std::to_string(i); }

// Events sent back to back go out gathered; the server reads and routes them straight from
// the bytes, and the receiving connection reads them the same way.
TEST_F(EsServerTest, ABurstArrivesWholeAndInOrderAndATailStillGoesOutOnDisconnect) {
  g_burst.clear();
  ConnectToES_Ex("sender");
  ConnectToES_Multiple("receiver", "", "localhost", server_->Port());
  EvSubscribe_Multiple("LOCALHOST", 7, -1, -1, -1, -1, 1, RecordBurst, nullptr);
  ASSERT_TRUE(Pump([&] { return server_->Stats().clientsConnected == 2 && ESClientConnected(); }));
  ASSERT_TRUE(Pump([&] { return server_->Stats().packets >= 12; }));
  const uint64_t before = server_->Stats().events;
  constexpr int kBurst = 20000;
  for (int i = 0; i < kBurst; ++i)
    ASSERT_EQ(SendEventToES_Ex(1, 7, i, 5, 0, 0, BurstText(i).c_str(), kJanuary, kJanuary), 0);
  ASSERT_TRUE(Pump([] { return g_burst.size() >= kBurst; }, 10000)) << g_burst.size();
  PumpFor(20);
  ASSERT_EQ(g_burst.size(), static_cast<size_t>(kBurst));
  for (int i = 0; i < kBurst; ++i) {
    ASSERT_EQ(g_burst[i].first, i);
    ASSERT_EQ(g_burst[i].second, BurstText(i));
  }
  EXPECT_EQ(server_->Stats().events, before + kBurst);

  // A short burst and a disconnect at once, with no message pumped in between.
  for (int i = 0; i < 50; ++i) SendEventToES_Ex(1, 8, i, 5, 0, 0, "tail", kJanuary, kJanuary);
  DisconnectFromES_Ex();
  EXPECT_TRUE(Pump([&] { return server_->Stats().events == before + kBurst + 50; }));
}

std::vector<double> g_values;
void RecordData(void* tag, int64_t, int32_t k1, int32_t k2, int32_t k3, int32_t k4, double, double, double v1,
                double, int32_t) {
  if (k1 == 10 && k2 == 20 && k3 == 30 && k4 == 40) g_values.push_back(v1 + (tag ? 1000 : 0));
}

TEST_F(EsServerTest, DataComeBackToTheSubscriptionAndTheMonitor) {
  g_values.clear();
  ConnectToES_Ex("data");
  DataSubscribe(10, 20, 30, 40, 1, RecordData, nullptr);
  DataMonitorSubscribe(RecordData, &g_values);
  ASSERT_TRUE(Pump([&] { return ESClientConnected() && server_->Stats().packets >= 8; }));
  SendDataToEs_Ex(5, 10, 20, 30, 40, kJanuary, kJanuary, 1.5, 0);
  SendDataToEs_Ex(5, 10, 30, 20, 40, kJanuary, kJanuary, 2.5, 0);  // only the monitor
  ASSERT_TRUE(Pump([] { return g_values.size() >= 2; }));
  PumpFor(30);
  EXPECT_EQ(g_values, (std::vector<double>{1.5, 1001.5}));
}

TEST_F(EsServerTest, EveryEventSurvivesFiveServerRestarts) {
  std::mutex mutex;
  std::vector<int32_t> arrived;
  server_->Stop();
  server_->SetPacketHook([&](const esserver::ReceivedPacket& packet) {
    std::lock_guard lock(mutex);
    if (packet.text && packet.kind == 5) arrived.push_back(packet.textRecord.Key1);
    if (!packet.text && packet.kind == 5)
      for (const auto& e : eventlink::ParseEventsPacket(packet.value)) arrived.push_back(e.Key1);
  });
  std::string error;
  ASSERT_TRUE(server_->Start(error)) << error;
  ConnectToES_Ex("faults");
  ASSERT_TRUE(Pump([] { return ESClientConnected(); }));

  constexpr int kTotal = 100000, kCycles = 5, kPerPhase = kTotal / (2 * kCycles);
  std::vector<int32_t> whileDown;
  int next = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    for (int i = 0; i < kPerPhase; ++i) {
      ASSERT_EQ(SendEventToES_Ex(1, next++, 0, 5, 0, 0, "f", kJanuary, kJanuary), 0);
      if (i % 256 == 0) ESProcessMessages(0);
    }
    server_->Stop();
    ASSERT_TRUE(Pump([] { return !ESClientConnected(); }));
    for (int i = 0; i < kPerPhase; ++i) {
      whileDown.push_back(next);
      ASSERT_EQ(SendEventToES_Ex(1, next++, 0, 5, 0, 0, "f", kJanuary, kJanuary), 0);
    }
    ASSERT_TRUE(server_->Start(error)) << error;
    ASSERT_TRUE(Pump([] { return ESClientConnected(); }));
  }
  auto count = [&] {
    std::lock_guard lock(mutex);
    return arrived.size();
  };
  Pump([&] { return count() >= static_cast<size_t>(kTotal); }, 60000);
  PumpFor(100);
  std::lock_guard lock(mutex);
  std::printf("fault test: %zu of %d events arrived across %d restarts\n", arrived.size(), kTotal, kCycles);
  // No duplicates, in order, and nothing accepted while the server was down is missing.
  for (size_t i = 1; i < arrived.size(); ++i) ASSERT_LT(arrived[i - 1], arrived[i]) << i;
  std::vector<int32_t> missing;
  std::set_difference(whileDown.begin(), whileDown.end(), arrived.begin(), arrived.end(), std::back_inserter(missing));
  EXPECT_TRUE(missing.empty()) << missing.size() << " events queued while down were lost";
  EXPECT_EQ(arrived.size(), static_cast<size_t>(kTotal));
}

}  // namespace
