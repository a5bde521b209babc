// OPEN and CLOSE of data channels: "$" listings, files read by name, files written ("@"
// replaces: the old file stays in its entry until the new one is closed, then its blocks are
// freed), appended or read while still open ("M").

#include <algorithm>

#include "sim/media/dos_alloc.h"
#include "sim/media/dos_state.h"

namespace sim {
namespace {

constexpr uint8_t kDollar = '$';
constexpr uint8_t kHash = '#';
constexpr int kLoadChannel = 0;
constexpr int kSaveChannel = 1;

bool IsClosed(const DirEntry& entry) {
  return entry.type() & kTypeClosed;
}
int TypeNumber(const DirEntry& entry) {
  return entry.type() & kTypeMask;
}

DosStatus OpenListing(DosState& state, int sa, std::span<const uint8_t> text) {
  if (DosStatus status = state.LogIn(); !status.ok()) return status;
  Channel channel;
  if (sa == kLoadChannel) {
    channel.kind = Channel::Kind::kListing;
    const DosStatus status = BuildListing(*state.volume, state.kind, text.subspan(1),
                                          channel.listing, &channel.listingBlocks);
    if (channel.listing.size() <= 2) return status;
    state.channels[sa] = std::move(channel);
    return status;
  }
  // On other channels "$" reads the directory blocks themselves, header block first.
  channel.kind = Channel::Kind::kRead;
  if (DosStatus status = channel.reader.Open(*state.volume, state.volume->layout().header);
      !status.ok()) {
    return status;
  }
  state.channels[sa] = std::move(channel);
  return {};
}

DosStatus OpenForRead(DosState& state, int sa, const OpenRequest& request, uint8_t mode) {
  Volume& volume = *state.volume;
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  const std::optional<DirEntry> entry = FindEntry(entries, request.name);
  if (!entry) return DosFail(kDosFileNotFound);
  if (request.type && TypeOfLetter(request.type) != TypeNumber(*entry))
    return DosFail(kDosFileTypeMismatch);
  if (TypeNumber(*entry) == kRel) return DosFail(kDosFileTypeMismatch);
  if (!IsClosed(*entry) && mode != 'M') return DosFail(kDosWriteFileOpen);
  Channel channel;
  channel.kind = Channel::Kind::kRead;
  if (DosStatus status = channel.reader.Open(volume, entry->start()); !status.ok()) return status;
  state.channels[sa] = std::move(channel);
  return {};
}

DosStatus OpenForWrite(DosState& state, int sa, const OpenRequest& request) {
  Volume& volume = *state.volume;
  if (HasWildcards(request.name)) return DosFail(kDosSyntaxBadName);
  const int type = request.type ? *TypeOfLetter(request.type) : (sa == kSaveChannel ? kPrg : kSeq);
  if (type == kRel) return DosFail(kDosFileTypeMismatch);
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  const std::optional<DirEntry> existing = FindEntry(entries, request.name);
  if (existing && !request.replace) return DosFail(kDosFileExists);
  TrackSector first;
  if (DosStatus status = AllocateFirstBlock(volume.bam(), first); !status.ok()) return status;
  Channel channel;
  channel.kind = Channel::Kind::kWrite;
  channel.writer.Begin(first);
  if (existing) {
    channel.replacing = true;
    channel.entry = *existing;
    channel.entry.setType(existing->type() | kTypeReplacing);
    channel.entry.setReplacement(first);
    if (DosStatus status = WriteDirEntry(volume, channel.entry); !status.ok()) return status;
  } else {
    channel.entry.setType(static_cast<uint8_t>(type));
    channel.entry.setStart(first);
    channel.entry.setName(PadName(request.name));
    channel.entry.setBlocks(0);
    if (DosStatus status = AddDirEntry(volume, channel.entry); !status.ok()) return status;
  }
  state.channels[sa] = std::move(channel);
  return {};
}

DosStatus OpenForAppend(DosState& state, int sa, const OpenRequest& request) {
  Volume& volume = *state.volume;
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  const std::optional<DirEntry> existing = FindEntry(entries, request.name);
  if (!existing) return DosFail(kDosFileNotFound);
  if (!IsClosed(*existing)) return DosFail(kDosWriteFileOpen);
  if (TypeNumber(*existing) == kRel) return DosFail(kDosFileTypeMismatch);
  std::vector<TrackSector> chain;
  if (DosStatus status = FollowChain(volume, existing->start(), chain); !status.ok()) return status;
  if (chain.empty()) return DosFail(kDosIllegalTrackSector);
  SectorData last{};
  if (DosStatus status = volume.Read(chain.back(), last); !status.ok()) return status;
  Channel channel;
  channel.kind = Channel::Kind::kWrite;
  channel.writer.Continue(chain.back(), last, static_cast<int>(chain.size()));
  channel.entry = *existing;
  channel.entry.setType(existing->type() & ~kTypeClosed);
  if (DosStatus status = WriteDirEntry(volume, channel.entry); !status.ok()) return status;
  state.channels[sa] = std::move(channel);
  return {};
}

void FreeFile(Volume& volume, const DirEntry& entry) {
  std::vector<TrackSector> blocks;
  BlocksOfFile(volume, entry, blocks);  // a broken chain frees what could be followed
  for (const TrackSector& ts : blocks) volume.bam().Free(ts);
}

DosStatus FinishWrite(DosState& state, Channel& channel) {
  Volume& volume = *state.volume;
  DirEntry& entry = channel.entry;
  // A replacement that ran out of room is dropped: the old file stays as it was.
  if (channel.replacing && channel.failed) {
    for (const TrackSector& ts : channel.writer.allocated()) volume.bam().Free(ts);
    entry.setType(entry.type() & ~kTypeReplacing);
    entry.setReplacement({0, 0});
    if (DosStatus status = WriteDirEntry(volume, entry); !status.ok()) return status;
    return volume.WriteBam();
  }
  if (DosStatus status = channel.writer.Finish(volume); !status.ok()) return status;
  if (channel.replacing) {
    FreeFile(volume, entry);
    entry.setStart(channel.writer.first());
    entry.setReplacement({0, 0});
  }
  entry.setType((entry.type() & ~kTypeReplacing) | kTypeClosed);
  entry.setBlocks(channel.writer.blocks());
  if (DosStatus status = WriteDirEntry(volume, entry); !status.ok()) return status;
  return volume.WriteBam();
}

}  // namespace

DosStatus OpenChannel(DosState& state, int sa, std::span<const uint8_t> name) {
  if (state.channels.count(sa)) CloseChannel(state, sa);
  const Bytes text = WithoutCr(name);
  if (text.empty()) return DosFail(kDosSyntaxNoName);
  if (text.front() == kDollar) return OpenListing(state, sa, text);
  if (text.front() == kHash) return DosFail(kDosNoChannel);  // direct-access buffers: not modelled
  const OpenRequest request = ParseOpenRequest(text);
  if (request.drive != 0) return DosFail(kDosDriveNotReady);
  if (request.name.empty()) return DosFail(kDosSyntaxNoName);
  uint8_t mode = request.mode ? request.mode : 'R';
  if (sa == kLoadChannel) mode = 'R';
  if (sa == kSaveChannel) mode = 'W';
  if (DosStatus status = state.LogIn(); !status.ok()) return status;
  switch (mode) {
    case 'W':
      return OpenForWrite(state, sa, request);
    case 'A':
      return OpenForAppend(state, sa, request);
    default:
      return OpenForRead(state, sa, request, mode);
  }
}

DosStatus CloseChannel(DosState& state, int sa) {
  const auto it = state.channels.find(sa);
  if (it == state.channels.end()) return {};
  Channel channel = std::move(it->second);
  state.channels.erase(it);
  if (channel.kind != Channel::Kind::kWrite || !state.volume) return {};
  return FinishWrite(state, channel);
}

}  // namespace sim
