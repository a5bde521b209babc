#pragma once
// The host side of the drive-code tests: the virtual drive code read from its .h65 files (with
// a reader of its own), loaded and started as the program does it, and the job packets.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <string>

#include "sim/media/gcr_disk.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/geometry.h"
#include "tests/sim/bus_test_link.h"

namespace sim::test {

// The 256 code bytes of a .h65 file: per line an address, a separator, then up to 16 bytes of
// two hex digits each, one character apart.
inline Bytes ReadH65(const std::string& path) {
  std::ifstream file(path);
  EXPECT_TRUE(file.good()) << path;
  Bytes bytes;
  std::string line;
  while (std::getline(file, line)) {
    for (size_t at = 5; at + 2 <= line.size(); at += 3) {
      bytes.push_back(static_cast<uint8_t>(std::stoi(line.substr(at, 2), nullptr, 16)));
    }
  }
  return bytes;
}

inline std::string DriveCodeSource(const std::string& name) {
  return std::string(DISKWRIGHT_SOURCE_DIR) + "/sim/drivecode/" + name + ".h65";
}

inline Bytes LoadPagesPacket(const Bytes& bytes) {
  const size_t pages = bytes.size() / 256 + (bytes.size() % 256 != 0 ? 1 : 0);
  Bytes packet{0x0B, 0x00, static_cast<uint8_t>(pages)};
  packet.insert(packet.end(), bytes.begin(), bytes.end());
  packet.resize(3 + pages * 256, 0x00);
  return packet;
}

// Loads the page into the adapter and starts it in the drive; the IEC status of the start.
inline int StartCodeOnly(TestLink& link, int device, const Bytes& page) {
  link.Exchange(LoadPagesPacket(page), 16);
  return link.Exchange(Bytes{0x0C, 0x08, static_cast<uint8_t>(device), 0x0F, 0, 0, 0, 0xAA}, 16)
      .status;
}
// The same in a drive whose DOS knows the track the head is on ($0022), as after a DOS command
// on the disk: the code's jobs take the head where they are asked to.
inline int StartCode(TestLink& link, int device, const Bytes& page) {
  VirtualDrive& drive = *link.bus().drive(device);
  drive.memory().Write(0x0022, static_cast<uint8_t>(drive.mechanics().headTrack()));
  return StartCodeOnly(link, device, page);
}
inline int StartCode(TestLink& link, int device, const std::string& name) {
  return StartCode(link, device, ReadH65(DriveCodeSource(name)));
}

inline Bytes JobBytes(uint8_t opcode, uint8_t sub, uint8_t p1, uint8_t p2, uint8_t p3) {
  return {opcode, 0x08, sub, p1, p2, p3, 0x00, 0xAA};
}
inline Reply ReadTrackJob(TestLink& link, int pages, int track, int density = 0) {
  return link.Exchange(JobBytes(0x0E, 0x05, static_cast<uint8_t>(pages),
                                static_cast<uint8_t>(track), static_cast<uint8_t>(density)),
                       pages * 256 + 2);
}
inline Reply WriteTrackJob(TestLink& link, int track, int density = 0) {
  return link.Exchange(
      JobBytes(0x0F, 0x81, 2, static_cast<uint8_t>(track), static_cast<uint8_t>(density)), 16);
}
inline Reply MemoryJob(TestLink& link, uint16_t address, std::optional<uint8_t> write = {}) {
  return link.Exchange(JobBytes(0x0D, write ? 0x01 : 0x00, static_cast<uint8_t>(address & 0xFF),
                                static_cast<uint8_t>(address >> 8), write.value_or(0)),
                       16);
}

// The raw GCR bytes of a reply to a track read (the two byte-rate bytes cut off) and the count.
inline Bytes RawBytes(const Reply& reply) {
  return Bytes(reply.data.begin(), reply.data.end() - 2);
}
inline int ByteRate(const Reply& reply) {
  return reply.data[reply.data.size() - 2] | reply.data[reply.data.size() - 1] << 8;
}
// The byte-rate count of a track of so many bytes read in a revolution of revolutionUs: the
// bytes that pass the head in 35555.6 us. The drive's count lies within one of it.
inline int TrackCount(size_t trackBytes, double revolutionUs = 200'000.0) {
  return static_cast<int>(std::lround(static_cast<double>(trackBytes) * 35555.5556 / revolutionUs));
}

inline std::vector<SectorPlan> PatternSectors(int count, int seed) {
  std::vector<SectorPlan> plans(static_cast<size_t>(count));
  for (size_t s = 0; s < plans.size(); ++s) {
    for (size_t i = 0; i < 256; ++i) {
      plans[s].data[i] = static_cast<uint8_t>(seed * 31 + s * 7 + i * 13 + (i >> 3));
    }
  }
  return plans;
}

// Lays a formatted track with pattern sectors on a side of the drive's disk.
inline std::vector<SectorPlan> LayPatternTrack(TestLink& link, int device, int side, int track,
                                               int seed) {
  auto& disk = static_cast<GcrDisk&>(*link.bus().disk(device));
  auto plans = PatternSectors(GcrSectorsOnTrack(track), seed);
  disk.LayTrack(side, track, DiskId{'J', 'B'}, plans);
  return plans;
}

// A whole track as the program builds it: sectors without interleave, a closing $00 byte.
inline Bytes BuiltTrack(int track, const std::vector<SectorPlan>& plans, size_t length) {
  Bytes bytes = BuildGcrTrack(track, DiskId{'J', 'B'}, plans, 4, length);
  bytes.push_back(0x00);
  return bytes;
}

// How many sectors of a track a raw read holds intact (header track as laid).
inline int GoodSectors(const Bytes& raw, int headerTrack, const std::vector<SectorPlan>& plans) {
  int good = 0;
  const DiskId id{'J', 'B'};
  for (size_t s = 0; s < plans.size(); ++s) {
    SectorData data{};
    if (ReadGcrSector(raw, headerTrack, static_cast<int>(s), &id, data) == kJobOk &&
        data == plans[s].data) {
      ++good;
    }
  }
  return good;
}

}  // namespace sim::test
