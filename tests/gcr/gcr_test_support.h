#pragma once
// What the GCR tests share: a Program on a scripted desk with no serial ports, and a small
// GCR writer of their own that builds raw tracks the way a 1541 formats them. The writer
// works from the bit patterns of the 4-to-5 code, one bit at a time, so that it shares no
// table and no packing with the codec it checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "disk/geometry.h"
#include "gcr/codec.h"
#include "testkit/harness.h"
#include "testkit/scripted_desk.h"

namespace dw::gcrtest {

// No port answers: there is no adapter.
using NoPorts = VirtualPortOpener;

// A Program at start-up with the code tables filled and the 35-track layout of a 1541.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    FillGcrTables(p);
    p.DriveFamily = kFamily1541;
    SelectGeometry(p, false);
  }

  void SetReply(std::vector<uint8_t> bytes) { p.ReplyData = std::move(bytes); }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  NoPorts ports;
  Program p{desk, clock, ports};
};

// The 4-to-5 code as bit patterns, nibble 0 first.
inline const char* const kCodeBits[16] = {
    "01010", "01011", "10010", "10011", "01110", "01111", "10110", "10111",
    "01001", "11001", "11010", "11011", "01101", "11101", "11110", "10101",
};

inline bool IsValidCode(unsigned code) {
  for (const char* bits : kCodeBits) {
    if (std::stoul(bits, nullptr, 2) == code) return true;
  }
  return false;
}

// Plain bytes (a multiple of 4) as GCR bytes, most significant bit first.
inline std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& plain) {
  std::string bits;
  for (uint8_t byte : plain) {
    bits += kCodeBits[byte >> 4];
    bits += kCodeBits[byte & 15];
  }
  std::vector<uint8_t> gcr;
  for (size_t at = 0; at + 8 <= bits.size(); at += 8) {
    gcr.push_back(static_cast<uint8_t>(std::stoul(bits.substr(at, 8), nullptr, 2)));
  }
  return gcr;
}

struct SectorLayout {
  size_t headerStart = 0;  // first GCR byte of the header block
  size_t dataStart = 0;    // first GCR byte of the data block
  size_t dataEnd = 0;      // one past the data block
};

// One track as the DOS formats it: per sector a 5-byte sync, the header block, 9 gap bytes,
// a 5-byte sync, the data block and a gap; the rest of the revolution is $55.
struct TrackImage {
  int track = 0;
  std::vector<uint8_t> gcr;  // one revolution
  std::vector<std::vector<uint8_t>> sectors;
  std::vector<SectorLayout> layout;
};

struct TrackShape {
  int sectors;
  int capacity;   // bytes in one revolution at 300 rpm
  int readBytes;  // raw bytes the program asks for
};

inline TrackShape ShapeOfTrack(int track) {
  if (track <= 17) return {21, 7692, 32 * 256};
  if (track <= 24) return {19, 7142, 30 * 256};
  if (track <= 30) return {18, 6666, 28 * 256};
  return {17, 6250, 27 * 256};
}

inline TrackImage BuildDosTrack(int track, std::mt19937& rng, uint8_t id1 = 'A',
                                uint8_t id2 = 'B') {
  const TrackShape shape = ShapeOfTrack(track);
  const int gap = (shape.capacity - 358 * shape.sectors) / shape.sectors;
  TrackImage image;
  image.track = track;
  auto append = [&image](const std::vector<uint8_t>& bytes) {
    image.gcr.insert(image.gcr.end(), bytes.begin(), bytes.end());
  };
  std::uniform_int_distribution<int> byte(0, 255);
  for (int s = 0; s < shape.sectors; ++s) {
    SectorLayout at;
    append(std::vector<uint8_t>(5, 0xFF));
    at.headerStart = image.gcr.size();
    const auto sector = static_cast<uint8_t>(s);
    const auto t = static_cast<uint8_t>(track);
    append(ReferenceEncode(
        {0x08, static_cast<uint8_t>(sector ^ t ^ id1 ^ id2), sector, t, id2, id1, 0x0F, 0x0F}));
    append(std::vector<uint8_t>(9, 0x55));
    append(std::vector<uint8_t>(5, 0xFF));
    std::vector<uint8_t> data(256);
    uint8_t checksum = 0;
    for (uint8_t& b : data) {
      b = static_cast<uint8_t>(byte(rng));
      checksum ^= b;
    }
    // $07, the data, the checksum, two $00.
    std::vector<uint8_t> block(260, 0x00);
    block[0] = 0x07;
    std::copy(data.begin(), data.end(), block.begin() + 1);
    block[257] = checksum;
    at.dataStart = image.gcr.size();
    append(ReferenceEncode(block));
    at.dataEnd = image.gcr.size();
    append(std::vector<uint8_t>(static_cast<size_t>(gap), 0x55));
    image.sectors.push_back(std::move(data));
    image.layout.push_back(at);
  }
  image.gcr.resize(static_cast<size_t>(shape.capacity), 0x55);
  return image;
}

// What the drive sends for a raw read starting at a point of the revolution: readBytes of
// the circular track, then the byte-rate count, low byte first.
inline std::vector<uint8_t> RawRead(const TrackImage& image, size_t rotation, size_t readBytes,
                                    uint16_t byteRateCount = 1368) {
  std::vector<uint8_t> raw;
  raw.reserve(readBytes + 2);
  for (size_t i = 0; i < readBytes; ++i) {
    raw.push_back(image.gcr[(rotation + i) % image.gcr.size()]);
  }
  raw.push_back(static_cast<uint8_t>(byteRateCount & 0xFF));
  raw.push_back(static_cast<uint8_t>(byteRateCount >> 8));
  return raw;
}

}  // namespace dw::gcrtest
