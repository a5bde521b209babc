#include "tools/rom_dump.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/read_track.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

constexpr int kPageBytes = 256;
// Entry of the save requester's type list asked for; past the end, so the last one (all
// files) is preselected.
constexpr int kRomFileEntry = 4;

struct RomRange {
  uint32_t start;
  int pages;
};

// The 1571 and the 1581 carry 32 KB of ROM from $8000; the others 16 KB from $C000.
RomRange RomRangeOf(uint8_t driveFamily) {
  if (driveFamily == kFamily1571 || driveFamily == kFamily1581) return {0x8000, 0x80};
  return {0xC000, 0x40};
}

// The 1581 has no drive code: the adapter reads its memory with a burst command.
constexpr int kMemoryReadPacketLength = 6;
constexpr uint8_t kMemoryReadTimeoutSeconds = 4;
// The drive code sends two more bytes behind the memory.
constexpr size_t kDriveCodeTrailingBytes = 2;

void DownloadFrom1581(Program& p, const RomRange& range) {
  const uint8_t packet[kMemoryReadPacketLength] = {kOpMemoryDownload,
                                                   kMemoryReadPacketLength,
                                                   static_cast<uint8_t>(p.CurrentDevice & 0x1F),
                                                   0x0F,
                                                   static_cast<uint8_t>(range.start / kPageBytes),
                                                   static_cast<uint8_t>(range.pages)};
  std::copy(std::begin(packet), std::end(packet), p.CommandPacket.begin());
  AdapterExchange(p, kMemoryReadPacketLength, range.pages * kPageBytes, kMemoryReadTimeoutSeconds);
}

// The ROM is the model's; the "+" of a drive with the fast serial driver is not part of it.
std::string RomModelName(const Program& p) {
  std::string name = p.DriveModelName;
  if (!name.empty() && name.back() == '+') name.pop_back();
  return name;
}

}  // namespace

void DumpRom(Program& p) {
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  const RomRange range = RomRangeOf(p.DriveFamily);
  const std::string proposed = RomModelName(p) + "_" + UpperHex(range.start) + "_ROM.bin";
  const std::string path = SelectImageFile(p, true, kRomFileEntry, proposed);
  if (path.empty()) return;

  const uint32_t bytes = static_cast<uint32_t>(range.pages) * kPageBytes;
  LogLine(p,
          "Memory download $" + UpperHex(range.start) + "-$" + UpperHex(range.start + bytes - 1));
  size_t properReply = bytes;
  if (p.DriveFamily == kFamily1581) {
    DownloadFrom1581(p, range);
  } else {
    StartSectorTransfer(p, kCodeRomDump, true);
    DriveJob(p, 8, range.pages, static_cast<int>(range.start), 0, 0);
    properReply += kDriveCodeTrailingBytes;
  }
  // A proper reply holds exactly the data its trailer counts: the range and nothing else. A
  // short one, or one the link garbled ("Response Error": the bytes as they came, trailer and
  // all), is no ROM. The file gets every byte of the range or none.
  if (p.LinkState != 0 || p.ReplyData.size() != properReply) {
    LogLine(p, "Download failed");
    // A garbled reply leaves the link as it was; the command failed all the same.
    if (p.LinkState == 0) p.LinkState = kLinkIecError;
    return;
  }
  LogLine(p, "Saving ROM image: " + path);
  // The file is made only now and whole, so a failed download never costs an older file.
  if (!WriteWholeFile(path, std::span<const uint8_t>(p.ReplyData).first(bytes))) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    p.LinkState |= kLinkIecError;
  }
}

}  // namespace dw
