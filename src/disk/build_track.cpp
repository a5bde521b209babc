#include "disk/build_track.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>

#include "core/image_file.h"
#include "core/job_codes.h"
#include "core/log.h"
#include "disk/geometry.h"
#include "gcr/codec.h"
#include "link/drive_job.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr uint8_t kSyncByte = 0xFF;
// A sector built without syncs has gap bytes in their place.
constexpr uint8_t kNoSyncFill = 0x55;
constexpr int kBamTrack = 18;
constexpr int kHeaderPlainBytes = 8;
constexpr int kDataPlainBytes = 260;

void Append(Program& p, uint8_t byte, int count) {
  for (int i = 0; i < count && p.GcrWritePos < std::ssize(p.GcrOutBuffer); ++i) {
    p.GcrOutBuffer[static_cast<size_t>(p.GcrWritePos++)] = byte;
  }
}

uint8_t ReadErrorCode(Program& p, int track, int sector, std::FILE* image) {
  SeekImageFile(p, image, p.ImageDataSize + p.ErrorByteCursor, false);
  const int byte = image != nullptr ? std::fgetc(image) : EOF;
  const uint8_t code = byte == EOF ? 0 : static_cast<uint8_t>(byte & 0x0F);
  if (code > 1) {
    char place[16];
    std::snprintf(place, sizeof place, "T%02d, S%02d> ", track, sector);
    LogLine(p, std::string("Creating error: ") + place + StatusText(p, code, kJobCodeKind));
  }
  return code;
}

void EncodeHeader(Program& p, const TrackRecord& record, int track, int sector, uint8_t code) {
  uint8_t id1 = p.DiskId[1];
  const uint8_t id2 = p.DiskId[2];
  if (code == kJobDiskIdMismatch) ++id1;
  uint8_t checksum = static_cast<uint8_t>(sector ^ track ^ id2 ^ id1);
  if (code == kJobHeaderChecksum) ++checksum;
  p.PlainBuffer.assign(kHeaderPlainBytes, 0);
  p.PlainBuffer[0] = code == kJobHeaderNotFound ? 0x00 : record.headerBlockId;
  p.PlainBuffer[1] = checksum;
  p.PlainBuffer[2] = static_cast<uint8_t>(sector);
  p.PlainBuffer[3] = static_cast<uint8_t>(track);
  p.PlainBuffer[4] = id2;
  p.PlainBuffer[5] = id1;
  p.PlainBuffer[6] = record.headerFill[0];
  p.PlainBuffer[7] = record.headerFill[1];
  GcrEncode(p, kHeaderPlainBytes);
}

void EncodeData(Program& p, const TrackRecord& record, int track, int sector, uint8_t code,
                bool blank, bool bamMark, std::FILE* image) {
  p.PlainBuffer.assign(kDataPlainBytes + 2, 0);
  p.PlainBuffer[0] = record.dataBlockId;
  uint8_t checksum = 0;
  if (!blank) {
    SeekImageFile(p, image, record.imageOffset + sector * kSectorBytes, false);
    for (int i = 1; i <= kSectorBytes; ++i) {
      const int byte = image != nullptr ? std::fgetc(image) : EOF;
      p.PlainBuffer[static_cast<size_t>(i)] = byte == EOF ? 0 : static_cast<uint8_t>(byte);
      checksum ^= p.PlainBuffer[static_cast<size_t>(i)];
    }
  } else if (bamMark && track == kBamTrack && sector == 0) {
    // The DOS's "N:" without an ID accepts a disk whose BAM sector carries its format type.
    p.PlainBuffer[3] = record.formatType;
    checksum = record.formatType;
  }
  p.PlainBuffer[kSectorBytes + 1] = checksum;
  if (code == kJobDataBlockNotFound) p.PlainBuffer[0] = 0x00;
  if (code == kJobDataChecksum) ++p.PlainBuffer[kSectorBytes + 1];
  GcrEncode(p, kDataPlainBytes);
}

}  // namespace

int BuildGcrTrack(Program& p, int track, bool blank, bool bamMark, std::FILE* image,
                  std::vector<uint8_t>* cells, std::vector<uint8_t>* data) {
  p.GcrWritePos = 0;
  if (cells != nullptr) cells->clear();
  if (data != nullptr) data->clear();
  if (track == 1) p.ErrorByteCursor = 0;
  if (track < 1 || track >= kTrackTableSize) {
    p.GcrOutBuffer[0] = 0;
    return 1;
  }
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  for (int sector = 0; sector < record.sectorCount; ++sector) {
    const uint8_t code = !blank && p.ImageErrors ? ReadErrorCode(p, track, sector, image) : 0;
    const uint8_t sync = code == kJobNoSync ? kNoSyncFill : kSyncByte;
    Append(p, sync, record.headerSyncLength);
    EncodeHeader(p, record, track, sector, code);
    Append(p, record.headerGapByte, record.headerGapLength);
    Append(p, sync, record.dataSyncLength + 1);
    EncodeData(p, record, track, sector, code, blank, bamMark, image);
    if (data != nullptr) {
      data->insert(data->end(), p.PlainBuffer.begin() + 1,
                   p.PlainBuffer.begin() + 1 + kSectorBytes);
    }
    Append(p, record.tailGapByte, record.tailGapLength);
    if (cells != nullptr) cells->push_back(code > kMapGood ? code : kMapGood);
    ++p.ErrorByteCursor;
  }
  const int64_t end = std::min<int64_t>(p.GcrWritePos, std::ssize(p.GcrOutBuffer) - 1);
  p.GcrOutBuffer[static_cast<size_t>(end)] = 0;
  return static_cast<int>(end + 1);
}

void UploadBuiltTrack(Program& p, int length) {
  const size_t bytes =
      static_cast<size_t>(std::clamp(length, 0, static_cast<int>(p.GcrOutBuffer.size())));
  UploadPages(p, std::span<const uint8_t>(p.GcrOutBuffer).first(bytes), length / 256 + 1);
}

}  // namespace dw
