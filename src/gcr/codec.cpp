#include "gcr/codec.h"

#include <algorithm>
#include <limits>
#include <span>

#include "gcr/gcr_group.h"

namespace dw {

namespace {

constexpr uint8_t kSyncByte = 0xFF;

// A track number outside the table has no record; its headers are searched for with the
// block id every GCR track uses.
uint8_t HeaderBlockIdOf(const Program& p, int track) {
  if (track < 1 || track >= kTrackTableSize) return kGcrHeaderBlockId;
  return p.TrackTable[static_cast<size_t>(track)].headerBlockId;
}

}  // namespace

static_assert(std::tuple_size_v<decltype(Program::GcrEncodeTable)> >= kGcrEncode.size());
static_assert(std::tuple_size_v<decltype(Program::GcrDecodeTable)> >= kGcrDecode.size());

void FillGcrTables(Program& p) {
  std::copy(kGcrEncode.begin(), kGcrEncode.end(), p.GcrEncodeTable.begin());
  std::copy(kGcrDecode.begin(), kGcrDecode.end(), p.GcrDecodeTable.begin());
}

// A group is decoded only while its five bytes end before the last two bytes of ReplyData:
// behind a raw track those are the drive's byte-rate count, not GCR.
void GcrDecode(Program& p, int count) {
  const size_t plainSize = static_cast<size_t>(std::max(count, 0)) + 1;
  p.PlainBuffer.assign(plainSize, 0);
  const std::span<const uint8_t> raw(p.ReplyData);
  const int64_t lastGroupStart = std::ssize(raw) - 7;
  for (size_t i = 0; i < static_cast<size_t>(std::max(count, 0)); i += kGcrGroupPlainBytes) {
    if (p.GcrReadPos < 0 || p.GcrReadPos > lastGroupStart) break;
    const auto plain = DecodeGcrGroup(
        raw.subspan(static_cast<size_t>(p.GcrReadPos)).first<kGcrGroupBytes>(), p.GcrDecodeTable);
    // A count that is not a multiple of 4 keeps only the part of the last group that fits.
    const size_t fits = std::min(plain.size(), plainSize - i);
    std::copy_n(plain.begin(), fits, p.PlainBuffer.begin() + static_cast<std::ptrdiff_t>(i));
    p.GcrReadPos += kGcrGroupBytes;
  }
}

// Plain bytes beyond the end of PlainBuffer are encoded as 0.
void GcrEncode(Program& p, int count) {
  const std::span<uint8_t> out(p.GcrOutBuffer);
  const int64_t lastGroupStart = std::ssize(out) - 7;
  for (size_t i = 0; i < static_cast<size_t>(std::max(count, 0)); i += kGcrGroupPlainBytes) {
    if (p.GcrWritePos < 0 || p.GcrWritePos > lastGroupStart) break;
    std::array<uint8_t, kGcrGroupPlainBytes> plain{};
    for (size_t k = 0; k < plain.size() && i + k < p.PlainBuffer.size(); ++k) {
      plain[k] = p.PlainBuffer[i + k];
    }
    const auto group = EncodeGcrGroup(plain, p.GcrEncodeTable);
    std::copy(group.begin(), group.end(), out.begin() + p.GcrWritePos);
    p.GcrWritePos += kGcrGroupBytes;
  }
}

// Steps at least one byte, then on to the first byte behind a $FF, or to the next to last
// byte of ReplyData. One $FF is enough here; the drive's own sync detector needs ten 1 bits.
void SeekSyncEnd(Program& p) {
  const std::span<const uint8_t> raw(p.ReplyData);
  const int64_t end = std::ssize(raw) - 1;
  int64_t pos = p.GcrReadPos;
  if (pos < std::numeric_limits<int64_t>::max()) ++pos;
  // No $FF lies before the first byte, so no sync end can come before position 1.
  pos = std::max(pos, std::min<int64_t>(1, end));
  while (pos < end) {
    const auto at = static_cast<size_t>(pos);
    if (raw[at - 1] == kSyncByte && raw[at] != kSyncByte) break;
    ++pos;
  }
  p.GcrReadPos = pos;
}

HeaderSearchResult FindSectorHeader(Program& p, int track, int sector) {
  return FindSectorHeaderFrom(p, track, sector, 0);
}

HeaderSearchResult FindSectorHeaderFrom(Program& p, int track, int sector, int64_t start) {
  const int64_t end = std::ssize(p.ReplyData) - 1;
  const uint8_t headerBlockId = HeaderBlockIdOf(p, track);
  p.GcrReadPos = std::max<int64_t>(start, 0);
  HeaderSearchResult result = kNoHeaderBlock;
  bool syncSeen = false;
  while (p.GcrReadPos < end && result < kHeaderChecksumBad) {
    SeekSyncEnd(p);
    GcrDecode(p, 8);
    // A decode that ran into the end of the reply saw no complete block behind the sync.
    if (p.GcrReadPos >= end) break;
    syncSeen = true;
    const std::span<const uint8_t> header(p.PlainBuffer);
    if (header[0] != headerBlockId) continue;
    result = kOtherHeadersOnly;
    if (header[2] != sector || header[3] != track) continue;
    result = kHeaderChecksumBad;
    // The checksum byte is the XOR of sector, track and the two ID bytes.
    if ((header[1] ^ header[2] ^ header[3] ^ header[4] ^ header[5]) == 0) result = kHeaderFound;
  }
  // A reply too short to search at all has no sync either.
  if (!syncSeen) result = kNoSyncAtAll;
  return result;
}

}  // namespace dw
