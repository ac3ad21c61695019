// Micro-benchmarks: the CRC and frame sealing that every distinct frame
// costs, with bytes per second; and what one sleep and wake-up of the
// timing thread costs in CPU, the least a line of a node gap pays per pause.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "engine/clock.h"
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

// The timing thread's sleep to a step 600 µs ahead (the places of 16 lines
// of one node over an 11 ms pause are about that far apart), as the
// scheduler sleeps: the CPU column is the cost of one sleep and wake-up.
static void BM_SleepAndWake600us(benchmark::State& state) {
  Clock& clock = realClock();
  clock.uploadBegins();
  std::mutex m;
  std::condition_variable wake;
  std::unique_lock<std::mutex> lock(m);
  for (auto _ : state) {
    const std::int64_t deadline = clock.nowMicros() + 600;
    while (clock.nowMicros() < deadline) clock.waitUntil(deadline, wake, lock);
  }
  clock.uploadEnds();
}
BENCHMARK(BM_SleepAndWake600us);

#ifdef UPLOADER_HAVE_DEVICE
#include <string>
#include <vector>

#include "device/capture_reader.h"
#include "device/virtual_device.h"

// A capture of a whole 4 KiB upload in v1.2: 10 resets, 64 data frames,
// the first two 40 times, the rest 10 times.
static std::vector<std::uint8_t> captureOfUpload() {
  std::vector<std::uint8_t> out;
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put32(0xA1B2C3D4);
  put16(2);
  put16(4);
  put32(0);
  put32(0);
  put32(65535);
  put32(147);
  std::uint32_t usec = 0;
  auto record = [&](const UploadFrame& f) {
    put32(1700000000);
    put32(usec = (usec + 11000) % 1000000);
    put32(kFrameSize);
    put32(kFrameSize);
    out.insert(out.end(), f.bytes, f.bytes + kFrameSize);
  };
  UploadFrame f;
  frameBuildReset(f, 0xFFFF);
  frameSeal(f);
  for (int i = 0; i < 10; ++i) record(f);
  frameMakeData(f);
  std::uint8_t chunk[kPayloadSize];
  for (int n = 0; n < 64; ++n) {
    for (std::size_t i = 0; i < kPayloadSize; ++i) chunk[i] = static_cast<std::uint8_t>(n + i);
    frameLoadChunk(f, chunk, kPayloadSize);
    frameSeal(f);
    for (int i = 0; i < (n < 2 ? 40 : 10); ++i) record(f);
    frameAdvance(f);
  }
  return out;
}

static void BM_DecodeCapture(benchmark::State& state) {
  const std::vector<std::uint8_t> pcap = captureOfUpload();
  for (auto _ : state) {
    vdev::Capture capture;
    std::string error;
    if (!vdev::parseCapture(pcap.data(), pcap.size(), capture, error)) state.SkipWithError("parse");
    vdev::VirtualDevice device(7);
    for (const vdev::CaptureRecord& r : capture.records)
      device.receive(r.bytes.data(), r.bytes.size());
    benchmark::DoNotOptimize(device.distinctFrames());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pcap.size()));
}
BENCHMARK(BM_DecodeCapture);
#endif
