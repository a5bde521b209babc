#pragma once
#include <cstdint>

namespace dw {

// Where a track's sectors lie in the image and how the track is laid out on a GCR disk.
struct TrackRecord {
  uint8_t sectorCount = 0;
  int32_t imageOffset = 0;  // offset of sector 0 in the image; sector s at + s * 256
  int32_t capacity = 0;     // raw bytes in one revolution at 300 rpm
  int32_t gcrPages = 0;     // 256-byte pages requested for a raw read
  uint8_t zoneBits = 0;     // bit-rate zone in bits 5 and 6
  uint8_t headerBlockId = 0;
  uint8_t dataBlockId = 0;
  uint8_t dataSyncLength = 0;
  uint8_t headerFill[2] = {0, 0};
  uint8_t headerGapByte = 0;
  uint8_t headerGapLength = 0;
  uint8_t headerSyncLength = 0;
  uint8_t tailGapByte = 0;
  uint8_t tailGapLength = 0;
  uint8_t formatType = 0;
};

}  // namespace dw
