#include "disk/directory.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/error_after_transfer.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

// Secondary address 0 loads a file, as LOAD does; "$" on it gives the listing.
constexpr uint8_t kLoadChannel = 0;
constexpr uint8_t kSlowTimeoutSeconds = 200;
// A 1581 listing runs to 296 file lines of 32 bytes, so it is read in pieces until the drive
// marks its end with EOI; the bound stops a drive that never does.
constexpr int kListingChunk = 8000;
constexpr size_t kListingLimit = 8 * kListingChunk;
// A reply this short holds no listing (an empty disk's listing is 60 bytes and more).
constexpr size_t kShortestListing = 20;
// Data bytes of one CBM file block (the other two link the chain).
constexpr int kBlockDataBytes = 254;
// Every block of the largest disk, a 1581's 80 tracks of 40: no file can be longer, and a
// chain that loops back into itself ends here.
constexpr int64_t kLargestDownload = int64_t{80} * 40 * kBlockDataBytes;
// Entry 1 of every save requester is "PRG Image".
constexpr int kPrgRequesterEntry = 1;

// Characters that a PC file name may not contain, besides control characters.
constexpr std::string_view kForbiddenInPcNames = "\"*/:<>?\\|";

// Listing bytes after the load address, per line: link (2, both 0 end the listing), line
// number (2, little-endian: drive number, block count or free blocks), text, 0.
void AddListingLines(Program& p, std::span<const uint8_t> bytes) {
  const int n = static_cast<int>(bytes.size());
  int pos = 0;
  while (pos < n - 5 && (bytes[pos] != 0 || bytes[pos + 1] != 0)) {
    int number = bytes[pos + 2] + 256 * bytes[pos + 3];
    pos += 4;
    // Bytes below 32 (the header's reverse-video code) are not shown.
    std::string text;
    uint8_t taken = 0;
    do {
      taken = bytes[pos++];
      if (taken > 31) text.push_back(static_cast<char>(taken));
    } while (taken != 0 && pos < n);
    p.desk.AddDirectoryLine(std::to_string(number) + " " + text);
    if (pos == n) break;
  }
}

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

std::string DefaultPcName(const std::string& cbmName) {
  for (unsigned char c : cbmName) {
    if (c < 32 || c == 127 || kForbiddenInPcNames.find(static_cast<char>(c)) != std::string::npos) {
      return std::string();
    }
  }
  return cbmName;
}

// What reached the PC file during a download.
struct Received {
  int64_t size = 0;
  std::array<uint8_t, 2> loadAddress{};
  bool writeFailed = false;
};

// The listing after its load address, up to the drive's EOI.
std::vector<uint8_t> ReadListing(Program& p) {
  std::vector<uint8_t> listing;
  while (listing.size() < kListingLimit) {
    int want = static_cast<int>(std::min<size_t>(kListingChunk, kListingLimit - listing.size()));
    int n = ReadChannel(p, kLoadChannel, want, kSlowTimeoutSeconds);
    n = std::clamp(n, 0, static_cast<int>(p.ReplyData.size()));
    listing.insert(listing.end(), p.ReplyData.begin(), p.ReplyData.begin() + n);
    // The drive marks the last byte with EOI ($40); any other status means nothing more comes.
    if (n == 0 || p.LinkState != 0 || p.IecStatus != 0) return listing;
  }
  LogLine(p, "Directory listing cut at " + std::to_string(kListingLimit) + " bytes");
  return listing;
}

void ReceiveFile(Program& p, PcFile& file, const std::string& path, int blocks,
                 Received& received) {
  int k = 0;
  while (p.LinkState == 0 && p.IecStatus == 0 && received.size < kLargestDownload) {
    int m = ReadChannel(p, kLoadChannel, kBlockDataBytes, kSlowTimeoutSeconds);
    m = std::clamp<int64_t>(m, 0,
                            std::min<int64_t>(static_cast<int64_t>(p.ReplyData.size()),
                                              kLargestDownload - received.size));
    std::span<const uint8_t> bytes(p.ReplyData.data(), static_cast<size_t>(m));
    if (!file.Append(bytes)) {
      received.writeFailed = true;
      ShowWarningBox(p, "Error: Can't write to file " + path);
      break;
    }
    for (int i = 0; i < m && received.size + i < 2; ++i) {
      received.loadAddress[received.size + i] = bytes[i];
    }
    received.size += m;
    ShowProgress(p, k, 1, blocks);
    ++k;
  }
}

void LogDownloadSummary(Program& p, const Received& received) {
  const int64_t s = received.size;
  LogLine(p, "PRG image size: $" + UpperHex(static_cast<uint32_t>(s)) + " bytes");
  LogLine(p, "Blocks: " + std::to_string((s + kBlockDataBytes - 1) / kBlockDataBytes));
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

// A file the drive ended early (a disk pulled out, a broken chain) or one that never ended is
// told, and the command ends as aborted; the bytes received stay in the PC file.
void CheckDownloadComplete(Program& p, const Received& received, int blocks) {
  if (received.writeFailed) return;
  if (received.size >= kLargestDownload && p.LinkState == 0 && p.IecStatus == 0) {
    LogLine(p, "Download stopped at " + std::to_string(kLargestDownload) +
                   " bytes, more than a disk can hold");
    MarkFailed(p);
    return;
  }
  // All blocks but the last are full; the last holds at least one byte.
  const int64_t shortest = (int64_t{blocks} - 1) * kBlockDataBytes + 1;
  if (blocks > 0 && received.size < shortest) {
    LogLine(p, "Incomplete file: " + std::to_string(received.size) + " bytes received, " +
                   std::to_string(blocks) + " blocks hold at least " + std::to_string(shortest) +
                   " bytes");
    MarkFailed(p);
  }
}

}  // namespace

void ShowDirectory(Program& p) {
  p.desk.ClearDirectory();
  OpenChannel(p, kLoadChannel, u"$");
  // The listing's load address; not used.
  ReadChannel(p, kLoadChannel, 2, kSlowTimeoutSeconds);
  ReadErrorChannel(p);
  if (p.DosErrorFlag == 0) {
    std::vector<uint8_t> listing = ReadListing(p);
    if (listing.size() > kShortestListing) {
      AddListingLines(p, listing);
      ReadErrorChannel(p);
      if (p.DosErrorFlag == 0) {
        std::string format = DetectDiskFormat(p, false);
        if (p.desk.DirectoryCount() > 0) {
          p.desk.SetDirectoryLine(0, p.desk.DirectoryLine(0) + " (" + format + ")");
        }
      }
    }
  }
  CloseChannel(p, kLoadChannel);
}

void DownloadPrg(Program& p) {
  int selected = p.desk.SelectedDirectoryLine();
  std::optional<FileLine> line;
  if (selected >= 0) line = ParseFileLine(p.desk.DirectoryLine(selected));
  if (!line) LogLine(p, "SELECTION NOT VALID!");
  p.desk.ClearDirectorySelection();
  if (!line || line->name.empty()) return;
  const std::string& name = line->name;

  LogLine(p, "Open " + p.DriveModelName + " file: \"" + name + "\" [PRG]");
  // Probe: a file the drive cannot open ends the command before any PC file is made.
  OpenChannel(p, kLoadChannel, ToIecString(name));
  ReadErrorChannel(p);
  CloseChannel(p, kLoadChannel);
  if (p.DosErrorFlag == 1 || p.LinkState != 0) return;

  std::string path = SelectImageFile(p, true, kPrgRequesterEntry, DefaultPcName(name));
  if (path.empty()) return;
  PcFile file = PcFile::Create(path);
  if (!file.IsOpen()) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    return;
  }

  OpenChannel(p, kLoadChannel, ToIecString(name));
  Received received;
  ReceiveFile(p, file, path, line->blocks, received);
  LogDownloadSummary(p, received);
  CheckDownloadComplete(p, received, line->blocks);
  ReadErrorChannelAfterTransfer(p);
  CloseChannel(p, kLoadChannel);
  if (!file.Close() && !received.writeFailed) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
  }
}

}  // namespace dw
