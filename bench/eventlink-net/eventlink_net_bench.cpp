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
      // Time stamps a millisecond apart, as a real source gives them.
      const double time = kTime + i * platform::kOneMs;
      SendEventToES_Ex(1, i, 2, 3, 4, 5, "bench", time, time);
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

int ConnectRaw() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(Server().Port()));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void SendAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = send(fd, bytes, count, MSG_NOSIGNAL);
    if (n <= 0) std::abort();
    bytes += n;
    count -= static_cast<size_t>(n);
  }
}

// The same packet bytes the client sends, written by a bare socket: `perSend` packets a call.
void RawSocketRun(benchmark::State& state, int perSend) {
  eventlink::TEvRecord event{1, 0, 2, 3, 4, 5, kTime, kTime, kTime, "bench"};
  const auto packet = eventlink::BuildValuePacket(eventlink::MakeEventsPacket(event));
  eventlink::TDynArrayStream chunk;
  for (int i = 0; i < perSend; ++i) chunk.Append(packet.Data(), packet.Length());
  const int fd = ConnectRaw();
  if (fd < 0) {
    state.SkipWithError("connect failed");
    return;
  }
  uint64_t target = Server().Stats().events;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBatch; i += perSend) SendAll(fd, chunk.Data(), chunk.Length());
    target += kBatch;
    if (!AwaitArrivals(target)) state.SkipWithError("events did not arrive");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  close(fd);
}

// One send per packet, as the client did before it gathered bursts.
void BM_RawSocketSamePackets(benchmark::State& state) { RawSocketRun(state, 1); }
BENCHMARK(BM_RawSocketSamePackets)->UseManualTime()->Unit(benchmark::kMillisecond);

// 500 packets (about 50 KB) a send: the ceiling for this server on this machine.
void BM_RawSocketSamePacketsBatched(benchmark::State& state) { RawSocketRun(state, 500); }
BENCHMARK(BM_RawSocketSamePacketsBatched)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
