// Micro-benchmarks: the CRC and frame sealing that every distinct frame
// costs, with bytes per second.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/frame.h"

static void BM_CrcOfFrame(benchmark::State& state) {
  std::uint8_t data[kOffCrc];
  for (std::size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<std::uint8_t>(i * 13);
  for (auto _ : state) benchmark::DoNotOptimize(get_CRC(data, sizeof data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kOffCrc);
}
BENCHMARK(BM_CrcOfFrame);

static void BM_LoadAndSealDataFrame(benchmark::State& state) {
  UploadFrame f;
  frameBuildReset(f, 0xFFFF);
  frameMakeData(f);
  std::uint8_t chunk[kPayloadSize];
  std::memset(chunk, 0x5A, sizeof chunk);
  for (auto _ : state) {
    frameLoadChunk(f, chunk, sizeof chunk);
    frameSeal(f);
    frameAdvance(f);
    benchmark::DoNotOptimize(f.bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPayloadSize);
}
BENCHMARK(BM_LoadAndSealDataFrame);
