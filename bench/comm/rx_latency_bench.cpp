// Latency from a byte written at the far end of a pty to the owner's OnRxChar, through the
// event thread and the synchronous hand-over. Reports the median and the 99th percentile.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#include <vector>

#include "comm/comm.h"
#include "platform/message_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_ByteToOnRxChar(benchmark::State& state) {
  int master = -1, slave = -1;
  char name[128];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    state.SkipWithError("openpty failed");
    return;
  }
  close(slave);
  comm::TComm port;
  port.SetDeviceName(name);
  Clock::time_point arrived;
  bool got = false;
  port.OnRxChar = [&](comm::TCustomComm* s, int32_t count) {
    arrived = Clock::now();
    char buf[64];
    s->Read(buf, std::min<int32_t>(count, sizeof buf));
    got = true;
  };
  port.Open();
  auto& queue = platform::MessageQueue::ForCurrentThread();
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  for (auto _ : state) {
    got = false;
    const char byte = 'x';
    const auto sent = Clock::now();
    if (write(master, &byte, 1) != 1) {
      state.SkipWithError("write failed");
      break;
    }
    queue.PumpUntil([&] { return got; }, 1000);
    if (!got) {
      state.SkipWithError("no OnRxChar");
      break;
    }
    const double us = std::chrono::duration<double, std::micro>(arrived - sent).count();
    micros.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  port.Close();
  close(master);
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

BENCHMARK(BM_ByteToOnRxChar)->Iterations(3000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
