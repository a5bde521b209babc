// The GCR codec at the pace of whole tracks: decoding every sector of a raw zone-3 track the
// way the track decoder does, and encoding one track's worth of headers and data blocks the
// way the track builder does.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "disk/geometry.h"
#include "gcr/codec.h"
#include "platform/clock.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr int kTrack = 1;  // zone 3: 21 sectors

struct Bench {
  Bench() {
    FillGcrTables(p);
    p.DriveFamily = kFamily1541;
    SelectGeometry(p, false);
  }

  // Header and data block of every sector of the track, encoded at GcrWritePos.
  void EncodeTrack(const std::vector<uint8_t>& sectorData) {
    const TrackRecord& r = p.TrackTable[kTrack];
    p.GcrWritePos = 0;
    for (int s = 0; s < r.sectorCount; ++s) {
      const auto sector = static_cast<uint8_t>(s);
      p.PlainBuffer = {r.headerBlockId,
                       static_cast<uint8_t>(sector ^ kTrack ^ 'A' ^ 'B'),
                       sector,
                       kTrack,
                       'B',
                       'A',
                       r.headerFill[0],
                       r.headerFill[1]};
      GcrEncode(p, 8);
      p.PlainBuffer.assign(262, 0);
      p.PlainBuffer[0] = r.dataBlockId;
      uint8_t checksum = 0;
      for (int i = 0; i < 256; ++i) {
        const uint8_t b = sectorData[static_cast<size_t>(s * 256 + i)];
        p.PlainBuffer[static_cast<size_t>(i + 1)] = b;
        checksum ^= b;
      }
      p.PlainBuffer[257] = checksum;
      GcrEncode(p, 260);
    }
  }

  // A formatted zone-3 track as the drive reads it: sectors with syncs and gaps, the rest of
  // the revolution $55, read from a point inside sector 7, then the byte-rate count.
  void MakeRawTrack() {
    std::mt19937 rng(7);
    std::vector<uint8_t> data(21 * 256);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    EncodeTrack(data);
    const TrackRecord& r = p.TrackTable[kTrack];
    std::vector<uint8_t> track;
    for (int s = 0; s < r.sectorCount; ++s) {
      const auto header = p.GcrOutBuffer.begin() + s * (10 + 325);
      track.insert(track.end(), 5, 0xFF);
      track.insert(track.end(), header, header + 10);
      track.insert(track.end(), 9, 0x55);
      track.insert(track.end(), 6, 0xFF);
      track.insert(track.end(), header + 10, header + 335);
      track.insert(track.end(), r.tailGapLength, 0x55);
    }
    track.resize(static_cast<size_t>(r.capacity), 0x55);
    const size_t start = 7 * 359 + 100;
    p.ReplyData.clear();
    for (int i = 0; i < r.gcrPages * 256; ++i) {
      p.ReplyData.push_back(track[(start + static_cast<size_t>(i)) % track.size()]);
    }
    p.ReplyData.push_back(1368 & 0xFF);
    p.ReplyData.push_back(1368 >> 8);
  }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  VirtualPortOpener ports;
  Program p{desk, clock, ports};
};

void BM_DecodeZone3Track(benchmark::State& state) {
  Bench bench;
  Program& p = bench.p;
  bench.MakeRawTrack();
  int found = 0;
  for (auto _ : state) {
    found = 0;
    for (int s = 0; s < p.TrackTable[kTrack].sectorCount; ++s) {
      if (FindSectorHeader(p, kTrack, s) != kHeaderFound) continue;
      SeekSyncEnd(p);
      GcrDecode(p, 260);
      found += p.PlainBuffer[0] == p.TrackTable[kTrack].dataBlockId;
    }
    benchmark::DoNotOptimize(p.PlainBuffer.data());
  }
  if (found != 21) state.SkipWithError("not every sector was found");
  state.counters["sectors"] = found;
}
BENCHMARK(BM_DecodeZone3Track)->Unit(benchmark::kMicrosecond);

void BM_EncodeZone3Track(benchmark::State& state) {
  Bench bench;
  std::vector<uint8_t> data(21 * 256);
  std::mt19937 rng(11);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  for (auto _ : state) {
    bench.EncodeTrack(data);
    benchmark::DoNotOptimize(bench.p.GcrOutBuffer.data());
  }
  state.counters["gcrBytes"] = static_cast<double>(bench.p.GcrWritePos);
}
BENCHMARK(BM_EncodeZone3Track)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace dw
