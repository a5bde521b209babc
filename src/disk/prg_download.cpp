// DownloadPrg: a double-click on a file line of the listing copies that program file to the PC
// through the drive's own DOS, whole or not at all.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/directory.h"
#include "disk/error_after_transfer.h"
#include "disk/load_channel.h"
#include "disk/petscii.h"
#include "link/exchange.h"
#include "platform/staged_file.h"

namespace dw {

namespace {

// Data bytes of one CBM file block (the other two link the chain).
constexpr int kBlockDataBytes = 254;
// Every block of the largest disk, a 1581's 80 tracks of 40: no file can be longer, and a
// chain that loops back into itself ends here.
constexpr int64_t kLargestDownload = int64_t{80} * 40 * kBlockDataBytes;
// Entry 1 of every save requester is "PRG Image".
constexpr int kPrgRequesterEntry = 1;
// What a transfer that did not end whole leaves beside the chosen file, and the name the file
// is written under until it is whole.
constexpr std::string_view kPartSuffix = ".part";

// The drive reads these in a file name as a pattern and sends the first file that matches.
constexpr std::string_view kPatternCharacters = "*?";
// A file name starting with this is the directory listing to the drive.
constexpr char kDirectoryName = '$';

struct FileLine {
  std::string name;  // between the quotes; may be empty
  int blocks = 0;
};

// The header line has its quote at position 3 and the free-blocks line none, so only file
// lines give a name.
std::optional<FileLine> ParseFileLine(const std::string& line) {
  size_t q1 = line.find('"');
  if (q1 == std::string::npos || q1 + 1 < 5) return std::nullopt;
  size_t q2 = line.find('"', q1 + 1);
  if (q2 == std::string::npos) return std::nullopt;
  return FileLine{line.substr(q1 + 1, q2 - q1 - 1), std::atoi(line.c_str())};
}

// Why the drive would send something other than the file of that name; empty when it would not.
std::string PatternRefusal(const std::string& name) {
  const std::string refused = "Can't download \"" + PetsciiAscii(name) + "\": the drive reads ";
  size_t pattern = name.find_first_of(kPatternCharacters);
  if (pattern != std::string::npos) {
    return refused + "'" + name[pattern] + "' in a name as a pattern and may send another file";
  }
  if (!name.empty() && name.front() == kDirectoryName) {
    return refused + "a name starting with '" + kDirectoryName + "' as the directory";
  }
  return std::string();
}

// What reached the PC file during a download, and how the transfer ended.
struct Received {
  int64_t size = 0;
  std::array<uint8_t, 2> loadAddress{};
  bool writeFailed = false;
  bool garbled = false;
  bool endedWithEoi = false;
};

// The adapter fills the area of a read to the count asked for, and its data lie in that area. A
// reply the link did not take (a wrong echo, one too large to read) leaves no area, and a longer
// one holds bytes from elsewhere: junk on the line ahead of the reply takes the place of the
// block's first bytes and pushes its last ones out of the data. The drive has sent the block
// either way and cannot send it again on the open channel.
bool BlockArrivedWhole(const Program& p, int length) {
  return p.ReplyAreaSize == kBlockDataBytes && length <= kBlockDataBytes;
}

void ReceiveFile(Program& p, StagedFile& file, const std::string& path, int blocks,
                 Received& received) {
  int k = 0;
  while (p.LinkState == 0 && p.IecStatus == 0 && received.size < kLargestDownload) {
    int m = ReadChannel(p, kLoadChannel, kBlockDataBytes, kLoadTimeoutSeconds);
    if (!BlockArrivedWhole(p, m)) {
      // A timeout or an abort has been told by the link.
      if (p.LinkState < kLinkTimeout) {
        received.garbled = true;
        LogLine(p, "Garbled reply for the block from byte " + std::to_string(received.size + 1) +
                       " on; the drive cannot send it again");
      }
      return;
    }
    m = std::clamp<int64_t>(m, 0,
                            std::min<int64_t>(static_cast<int64_t>(p.ReplyData.size()),
                                              kLargestDownload - received.size));
    std::span<const uint8_t> bytes(p.ReplyData.data(), static_cast<size_t>(m));
    if (!file.Append(bytes)) {
      received.writeFailed = true;
      ShowWarningBox(p, "Error: Can't write to file " + path);
      return;
    }
    for (int i = 0; i < m && received.size + i < 2; ++i) {
      received.loadAddress[received.size + i] = bytes[i];
    }
    received.size += m;
    ShowProgress(p, k, 1, blocks);
    ++k;
  }
  received.endedWithEoi = p.IecStatus == kIecEndOfFile;
  if (received.size >= kLargestDownload && p.LinkState == 0 && p.IecStatus == 0) {
    LogLine(p, "Download stopped at " + std::to_string(kLargestDownload) +
                   " bytes, more than a disk can hold");
  }
}

int64_t BlocksOf(int64_t size) {
  return (size + kBlockDataBytes - 1) / kBlockDataBytes;
}

void LogDownloadSummary(Program& p, const Received& received) {
  const int64_t s = received.size;
  LogLine(p, "PRG image size: $" + UpperHex(static_cast<uint32_t>(s)) + " bytes");
  LogLine(p, "Blocks: " + std::to_string(BlocksOf(s)));
  if (s > 2) {
    uint32_t start = received.loadAddress[1] * 256u + received.loadAddress[0];
    LogLine(p, "Start address: $" + UpperHex(start));
    // The last program byte: the file holds the two address bytes before the program.
    LogLine(p, "End   address: $" + UpperHex(start + static_cast<uint32_t>(s) - 3));
  }
}

// Bit 0 ends the command as aborted without a reconnection; a timeout or an abort already
// ends it so.
void MarkFailed(Program& p) {
  if (p.LinkState < kLinkTimeout) p.LinkState |= kLinkIecError;
}

// The block count of a directory entry is only a number the DOS keeps (some disks set it on
// purpose); the drive's EOI tells where the file ends.
void SaveWholeFile(Program& p, StagedFile& file, const std::string& path, int64_t size,
                   int listedBlocks) {
  if (BlocksOf(size) != listedBlocks) {
    LogLine(p, "Warning: block count " + std::to_string(listedBlocks) +
                   " in the directory entry; the file of " + std::to_string(size) +
                   " bytes fills " + std::to_string(BlocksOf(size)));
  }
  if (!file.Commit()) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    MarkFailed(p);
  }
}

// A transfer that did not end whole leaves the chosen file as it was; the bytes received, each
// in its place, stay under the staging name.
void KeepWhatArrived(Program& p, StagedFile& file, const Received& received) {
  MarkFailed(p);
  if (received.writeFailed) return;  // told by its box; nothing of it is kept
  if (received.size == 0) {
    file.Discard();
    LogLine(p, "Incomplete file: no byte received");
  } else if (file.Keep()) {
    LogLine(p, "Incomplete file: received up to byte " + std::to_string(received.size) +
                   ", kept in " + file.stagingPath());
  } else {
    ShowWarningBox(p, "Error: Can't write to file " + file.stagingPath());
  }
}

}  // namespace

void DownloadPrg(Program& p) {
  int selected = p.desk.SelectedDirectoryLine();
  std::optional<FileLine> line;
  if (selected >= 0) line = ParseFileLine(p.desk.DirectoryLine(selected));
  if (!line) LogLine(p, "SELECTION NOT VALID!");
  p.desk.ClearDirectorySelection();
  if (!line || line->name.empty()) return;
  const std::string& name = line->name;
  if (std::string refusal = PatternRefusal(name); !refusal.empty()) {
    LogLine(p, refusal);
    MarkFailed(p);
    return;
  }

  // The log's texts are the PC's characters: the name's letters are told as plain ones.
  LogLine(p, "Open " + p.DriveModelName + " file: \"" + PetsciiAscii(name) + "\" [PRG]");
  // Probe: a file the drive cannot open ends the command before any PC file is made.
  OpenChannel(p, kLoadChannel, ToIecString(name));
  ReadErrorChannel(p);
  CloseChannel(p, kLoadChannel);
  if (p.DosErrorFlag == 1 || p.LinkState != 0) {
    // The drive's answer (a file not found) has been told; nothing was downloaded.
    MarkFailed(p);
    return;
  }

  std::string path = SelectImageFile(p, true, kPrgRequesterEntry, PetsciiPcName(name));
  if (path.empty()) return;
  StagedFile file(path, path + std::string(kPartSuffix));
  if (!file.IsOpen()) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    MarkFailed(p);
    return;
  }

  OpenChannel(p, kLoadChannel, ToIecString(name));
  Received received;
  ReceiveFile(p, file, path, line->blocks, received);
  LogDownloadSummary(p, received);
  ReadErrorChannelAfterTransfer(p);
  // The drive sends the last byte of a file with EOI, and reports no error for a file it read
  // whole.
  const bool whole = received.endedWithEoi && !received.garbled && !received.writeFailed &&
                     p.LinkState == 0 && p.DosErrorFlag == 0;
  CloseChannel(p, kLoadChannel);
  if (whole) {
    SaveWholeFile(p, file, path, received.size, line->blocks);
  } else {
    KeepWhatArrived(p, file, received);
  }
}

}  // namespace dw
