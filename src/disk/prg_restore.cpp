#include "disk/prg_restore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/both_sides.h"
#include "disk/error_after_transfer.h"
#include "disk/verify_image.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

// Secondary address 1 saves a program file, as SAVE does.
constexpr uint8_t kSaveChannel = 1;
constexpr int64_t kBlockDataBytes = 254;
// Payload bytes of one data packet, after the 4 header bytes.
constexpr size_t kPacketPayload = 250;
constexpr size_t kPayloadOffset = 4;
// Characters of a CBM file name.
constexpr size_t kCbmNameLength = 16;
constexpr size_t kReadChunk = 4096;
// Entry 1 of the 1571's open requester is "D71 Image".
constexpr int kD71OpenEntry = 1;

constexpr std::string_view kFreeBlocksText = "BLOCKS FREE.";
// The DOS reads these in the name of an OPEN as its own syntax: "," the file type and mode,
// ":" the drive number, "=" a copy, '"' the end of the name.
constexpr std::string_view kDosSyntaxCharacters = ",:=\"";

// The leading number of the listing's "BLOCKS FREE." line; none when the listing has no such
// line (no listing, or one that broke off), since a file line's number is no free figure.
std::optional<int64_t> FreeBlocks(Program& p) {
  for (int i = p.desk.DirectoryCount() - 1; i >= 0; --i) {
    std::string line = p.desk.DirectoryLine(i);
    size_t blank = line.find(' ');
    if (blank != std::string::npos &&
        line.compare(blank + 1, kFreeBlocksText.size(), kFreeBlocksText) == 0) {
      return std::max(0, std::atoi(line.c_str()));
    }
  }
  return std::nullopt;
}

// The block figure of the messages: a file of exactly 254 bytes is reported as 2 blocks.
int64_t ReportedBlocks(int64_t size) {
  return size / kBlockDataBytes + 1;
}

bool Fits(int64_t size, int64_t freeBlocks) {
  return size <= freeBlocks * kBlockDataBytes;
}

// A refused restore has stored nothing: the command must not end as if it had.
void Refuse(Program& p, const std::string& reason) {
  LogLine(p, reason);
  p.LinkState |= kLinkIecError;
}

void RefuseNoRoom(Program& p, int64_t size, int64_t freeBlocks) {
  Refuse(p, "Can't restore: " + std::to_string(ReportedBlocks(size)) +
                "PRG BLOCKS > 'BLOCKS FREE' " + std::to_string(freeBlocks));
}

// "game.old.prg" is saved as "GAME".
std::string CbmName(const std::string& path) {
  std::string name = AsciiUpper(FilePart(path));
  return name.substr(0, name.find('.'));
}

// What the drive is sent after "@0:".
std::string SentName(const std::string& cbmName) {
  return cbmName.substr(0, kCbmNameLength);
}

// Why the drive would not save the file under its name ("a,s,w.prg" would become a SEQ file
// named "A"); empty when it would.
std::string NameRefusal(const std::string& cbmName) {
  const std::string sent = SentName(cbmName);
  size_t syntax = sent.find_first_of(kDosSyntaxCharacters);
  if (syntax == std::string::npos) return std::string();
  return "Can't restore \"" + cbmName + "\": the drive reads '" + sent[syntax] +
         "' in a file name as DOS syntax; rename the PC file";
}

// The whole file, read before anything goes to the drive, so that a file that cannot be read
// never leaves a half-written file on the disk. At most limit bytes are read.
bool ReadWholeFile(PcFile& file, size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::vector<uint8_t> chunk(kReadChunk);
  while (bytes.size() < limit) {
    size_t want = std::min(chunk.size(), limit - bytes.size());
    size_t got = file.Read(std::span<uint8_t>(chunk.data(), want));
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return !file.ReadFailed();
}

// A drive that reports an error has not stored the file (disk full, write protected, disk
// pulled out): the command must not end as if it had.
void EndIfDriveRefused(Program& p) {
  if (p.DosErrorFlag != 0) p.LinkState |= kLinkIecError;
}

void SendFileBytes(Program& p, const std::vector<uint8_t>& bytes) {
  const int size = static_cast<int>(bytes.size());
  size_t position = 0;
  // After a timeout or an abort every write returns at once; the loop still runs to the end.
  while (position < bytes.size() && p.IecStatus == 0) {
    size_t count = std::min(kPacketPayload, bytes.size() - position);
    std::memcpy(p.CommandPacket.data() + kPayloadOffset, bytes.data() + position, count);
    WriteChannel(p, kSaveChannel, static_cast<int>(count));
    position += count;
    ShowProgress(p, static_cast<int>(position), 1, size);
  }
}

}  // namespace

void RestorePrg(Program& p, const std::string& path) {
  std::string name = CbmName(path);
  if (std::string refusal = NameRefusal(name); !refusal.empty()) {
    Refuse(p, refusal);
    return;
  }
  const std::optional<int64_t> listedFree = FreeBlocks(p);
  if (!listedFree) {
    Refuse(p, "Can't restore: no 'BLOCKS FREE' line in the directory listing");
    return;
  }
  const int64_t freeBlocks = *listedFree;
  if (int64_t size = PcFileSize(path); !Fits(size, freeBlocks)) {
    RefuseNoRoom(p, size, freeBlocks);
    return;
  }
  PcFile file = PcFile::OpenForReading(path);
  std::vector<uint8_t> bytes;
  // One byte past what fits tells a file that is larger than it said (a device, a pipe).
  size_t limit = static_cast<size_t>(freeBlocks * kBlockDataBytes) + 1;
  if (!file.IsOpen() || !ReadWholeFile(file, limit, bytes)) {
    ShowInfoBox(p, "Error: Can't read from file " + path);
    p.LinkState |= kLinkIecError;
    return;
  }
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (!Fits(size, freeBlocks)) {
    RefuseNoRoom(p, size, freeBlocks);
    return;
  }

  LogLine(p, "Restoring \"" + name + "\" [PRG]");
  // Save with replace: an existing file of that name gives way once the new one is closed.
  OpenChannel(p, kSaveChannel, ToIecString("@0:" + SentName(name)));
  ReadErrorChannel(p);
  if (p.DosErrorFlag != 0 || p.LinkState != 0) {
    EndIfDriveRefused(p);
    return;
  }

  LogLine(p, "Writing " + std::to_string(ReportedBlocks(size)) + " blocks; " +
                 std::to_string(size) + " bytes");
  p.IecStatus = 0;
  SendFileBytes(p, bytes);
  // The drive writes the last block and the directory entry when the file is closed.
  CloseChannel(p, kSaveChannel);
  ReadErrorChannelAfterTransfer(p);
  EndIfDriveRefused(p);
}

void VerifyFromFile(Program& p) {
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  DetectDiskFormat(p, true);
  ReachSecondSideOfDisk(p);
  if (p.LinkState != 0) return;
  bool doubleSided1571 = p.DriveFamily == kFamily1571 && p.DiskFormat == kDisk1571DoubleSided;
  std::string path = SelectImageFile(p, false, doubleSided1571 ? kD71OpenEntry : 0, std::string());
  if (path.empty()) return;
  if (UpperExtension(path) == "PRG") {
    LogLine(p, "PRG verify is not supported");
  } else {
    VerifyDiskImage(p, path);
  }
}

}  // namespace dw
