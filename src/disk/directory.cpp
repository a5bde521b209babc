#include "disk/directory.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "core/log.h"
#include "disk/load_channel.h"
#include "link/detect.h"
#include "link/exchange.h"

namespace dw {

namespace {

// A 1581 listing runs to 296 file lines of 32 bytes, so it is read in pieces until the drive
// marks its end with EOI; the bound stops a drive that never does.
constexpr int kListingChunk = 8000;
constexpr size_t kListingLimit = 8 * kListingChunk;
// A reply this short holds no listing (an empty disk's listing is 60 bytes and more).
constexpr size_t kShortestListing = 20;

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

// The listing after its load address, up to the drive's EOI.
std::vector<uint8_t> ReadListing(Program& p) {
  std::vector<uint8_t> listing;
  while (listing.size() < kListingLimit) {
    int want = static_cast<int>(std::min<size_t>(kListingChunk, kListingLimit - listing.size()));
    int n = ReadChannel(p, kLoadChannel, want, kLoadTimeoutSeconds);
    n = std::clamp(n, 0, static_cast<int>(p.ReplyData.size()));
    listing.insert(listing.end(), p.ReplyData.begin(), p.ReplyData.begin() + n);
    // The drive marks the last byte with EOI ($40); any other status means nothing more comes.
    if (n == 0 || p.LinkState != 0 || p.IecStatus != 0) return listing;
  }
  LogLine(p, "Directory listing cut at " + std::to_string(kListingLimit) + " bytes");
  return listing;
}

}  // namespace

void ShowDirectory(Program& p) {
  p.desk.ClearDirectory();
  OpenChannel(p, kLoadChannel, u"$");
  // The listing's load address; not used. When it did not come, the drive still holds it, and
  // what it sends next is no listing from its start.
  ReadChannel(p, kLoadChannel, 2, kLoadTimeoutSeconds);
  ReadErrorChannel(p);
  if (p.DosErrorFlag == 0 && p.LinkState == 0) {
    std::vector<uint8_t> listing = ReadListing(p);
    if (listing.size() > kShortestListing) {
      AddListingLines(p, listing);
      ReadErrorChannel(p);
      if (p.DosErrorFlag == 0) {
        std::string format = DetectDiskFormat(p, false);
        if (p.desk.DirectoryCount() > 0) p.desk.SetDirectoryNote(0, " (" + format + ")");
      }
    }
  }
  CloseChannel(p, kLoadChannel);
}

}  // namespace dw
