#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "EventLink.h"
#include "client/sockets_pool.h"
#include "es_server_thread.h"
#include "platform/datetime.h"
#include "platform/registry.h"
#include "wire/packets.h"
#include "wire/value_packet.h"

namespace {

constexpr int kBatch = 200000;
const double kTime = platform::EncodeDateTime(2024, 1, 15, 12, 0, 0, 0);

esserver::TEsServerThread& Server() {
  static esserver::TEsServerThread* server = [] {
    esserver::ServerOptions options;
    options.port = 0;
    options.protocolPort = -1;
    auto* s = new esserver::TEsServerThread(options);
    std::string error;
    if (!s->Start(error)) std::abort();
    return s;
  }();
  return *server;
}

// Waits until the server has counted `target` events; false after 30 s.
bool AwaitArrivals(uint64_t target) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Server().Stats().events < target) {
    ESProcessMessages(1);
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
  return true;
}

void BM_SendEventToES(benchmark::State& state) {
  auto dir = std::filesystem::temp_directory_path() / ("eventlink-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("TESSARO_REGISTRY_DIR", dir.c_str(), 1);
  {
    platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
    reg.OpenKey("\\Software\\Korvex\\EventServer", true);
    reg.WriteInteger("ServerPort", Server().Port());
  }
  eventlink::RecreateProcessPool();
  ConnectToES_Ex("bench");
  auto connection = eventlink::ProcessPool().DefaultConnection();
  while (!connection->ValueEvents()) ESProcessMessages(5);
  uint64_t target = Server().Stats().events;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBatch; ++i) {
      SendEventToES_Ex(1, i, 2, 3, 4, 5, "bench", kTime, kTime);
      if ((i & 1023) == 0) ESProcessMessages(0);
    }
    target += kBatch;
    if (!AwaitArrivals(target)) state.SkipWithError("events did not arrive");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  DisconnectFromES_Ex();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SendEventToES)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RawSocketSamePackets(benchmark::State& state) {
  eventlink::TEvRecord event{1, 0, 2, 3, 4, 5, kTime, kTime, kTime, "bench"};
  const auto packet = eventlink::BuildValuePacket(eventlink::MakeEventsPacket(event));
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(Server().Port()));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  uint64_t target = Server().Stats().events;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBatch; ++i)
      if (send(fd, packet.Data(), packet.Length(), MSG_NOSIGNAL) != static_cast<ssize_t>(packet.Length())) std::abort();
    target += kBatch;
    if (!AwaitArrivals(target)) state.SkipWithError("events did not arrive");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  close(fd);
}
BENCHMARK(BM_RawSocketSamePackets)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
