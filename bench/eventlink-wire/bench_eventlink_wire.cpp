// Codec and matching throughput of the event-server client core.
#include <benchmark/benchmark.h>

#include <random>

#include "filters/ev_filters.h"
#include "platform/datetime.h"
#include "wire/event_packet.h"
#include "wire/packet_extractor.h"
#include "wire/packets.h"
#include "wire/value_packet.h"

namespace {

using namespace eventlink;

TEvRecord SampleEvent() {
  TEvRecord e;
  e.EvCode = 0x40000 | 1201;
  e.Key1 = 12;
  e.Key2 = 3400;
  e.Key3 = 7;
  e.Key4 = 1;
  e.Key5 = 0;
  e.Time1 = platform::EncodeDateTime(2024, 7, 15, 12, 30, 1, 250);
  e.Time2 = e.Time1 + platform::kOneMs;
  e.Time3 = e.Time2;
  e.Text = "Отказ канала связи 3";
  return e;
}

// Building one event's value packet, as SendEvent does: straight from the record.
void BM_BuildEventPacket(benchmark::State& state) {
  const TEvRecord event = SampleEvent();
  TDynArrayStream out;
  for (auto _ : state) {
    out.Clear();
    AppendEventPacket(event, out);
    benchmark::DoNotOptimize(out.Data());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes"] = static_cast<double>(out.Length());
}
BENCHMARK(BM_BuildEventPacket);

// The same packet through a Variant tree and the general encoder (every other packet kind).
void BM_BuildEventPacketGeneral(benchmark::State& state) {
  const TEvRecord event = SampleEvent();
  TDynArrayStream out;
  for (auto _ : state) {
    out.Clear();
    AppendValuePacket(MakeEventsPacket(event), out);
    benchmark::DoNotOptimize(out.Data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildEventPacketGeneral);

TDynArrayStream SampleStream(int packets) {
  TDynArrayStream stream;
  for (int i = 0; i < packets; ++i) {
    TEvRecord event = SampleEvent();
    event.Key1 = i;  // events differ, as they do on a real link
    event.Time1 += i * platform::kOneMs;
    AppendEventPacket(event, stream);
  }
  return stream;
}

// Extracting and decoding event packets that arrive 64 to a read, as es-server and the
// client's receive path do: straight into records.
void BM_ExtractAndDecodeEventPackets(benchmark::State& state) {
  constexpr int kPerRead = 64;
  const TDynArrayStream stream = SampleStream(kPerRead);
  TEvPacketExtractor extractor;
  std::vector<TEvRecord> events;
  int64_t count = 0;
  for (auto _ : state) {
    extractor.Append(stream.Data(), stream.Length());
    while (extractor.NextPacket()) {
      if (!DecodeEventsPayload(extractor.PacketBuffer().Data(), extractor.PacketBuffer().Length(), events)) break;
      count += static_cast<int64_t>(events.size());
    }
  }
  if (count != state.iterations() * kPerRead) state.SkipWithError("events lost");
  state.SetItemsProcessed(count);
}
BENCHMARK(BM_ExtractAndDecodeEventPackets);

// The same through the general decoder and a Variant tree.
void BM_ExtractAndDecodeEventPacketsGeneral(benchmark::State& state) {
  constexpr int kPerRead = 64;
  const TDynArrayStream stream = SampleStream(kPerRead);
  TEvPacketExtractor extractor;
  int64_t events = 0;
  for (auto _ : state) {
    extractor.Append(stream.Data(), stream.Length());
    while (extractor.NextPacket()) {
      const ReceivedPacket packet = ClassifyReceivedPacket(DecodeValuePayload(extractor.PacketBuffer()));
      events += static_cast<int64_t>(packet.events.size());
    }
  }
  if (events != state.iterations() * kPerRead) state.SkipWithError("events lost");
  state.SetItemsProcessed(events);
}
BENCHMARK(BM_ExtractAndDecodeEventPacketsGeneral);

void Callback() {}

// Matching one event against 10,000 exact and 100 wildcard subscriptions.
void BM_MatchEvent(benchmark::State& state) {
  const auto exactCount = static_cast<int>(state.range(0));
  TFilterStorage store;
  std::mt19937 random(42);
  for (int i = 0; i < exactCount; ++i)
    store.AddEvFilter({i % 100, i / 100, 7, 1, i % 3}, 1, Callback, 0);
  for (int i = 0; i < 100; ++i) store.AddEvFilter({-1, 1000 + i, -1, -1, -1}, 1, Callback, 0);
  int64_t matches = 0;
  int64_t i = 0;
  for (auto _ : state) {
    const int k = static_cast<int>((i++ * 7919) % exactCount);
    matches += static_cast<int64_t>(store.CollectEvMatches({k % 100, k / 100, 7, 1, k % 3}).size());
  }
  if (matches != state.iterations()) state.SkipWithError("wrong match count");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MatchEvent)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
