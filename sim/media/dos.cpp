#include "sim/media/dos.h"

#include <algorithm>
#include <utility>

#include "sim/media/dos_state.h"

namespace sim {

struct Dos::State : DosState {
  using DosState::DosState;
};

namespace {

// Opens and commands end with 00, OK when they succeed, as the DOS's end-of-command does.
void Report(DosState& state, const DosStatus& status) {
  state.message = status;
}

// The listing goes out as the drive makes it: each further directory block is read when its
// lines are due, and one that cannot be read (the disk pulled out) ends the listing there,
// without EOI; the error channel names the block.
void SendListing(DosState& state, Channel& channel, size_t maxBytes, Bytes& out, bool& eoi) {
  const size_t end = channel.listing.size();
  while (!channel.failed && state.volume && out.size() < maxBytes && channel.listingPos < end) {
    size_t stop = end;
    if (channel.listingBlocksRead < channel.listingBlocks.size()) {
      const ListingBlock& next = channel.listingBlocks[channel.listingBlocksRead];
      if (next.offset <= channel.listingPos) {
        SectorData block{};
        if (const DosStatus status = state.volume->Read(next.block, block); !status.ok()) {
          channel.failed = true;
          Report(state, status);
          break;
        }
        ++channel.listingBlocksRead;
        continue;
      }
      stop = next.offset;
    }
    const size_t count = std::min(maxBytes - out.size(), stop - channel.listingPos);
    const auto begin = channel.listing.begin() + static_cast<std::ptrdiff_t>(channel.listingPos);
    out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(count));
    channel.listingPos += count;
  }
  eoi = !out.empty() && channel.listingPos == end;
}

}  // namespace

Dos::Dos(DriveKind kind, bool starts1571Mode)
    : state_(std::make_unique<State>(kind, starts1571Mode)) {}
Dos::~Dos() = default;

void Dos::SetDisk(Disk* disk) {
  state_->disk = disk;
  // Open files stay open when the disk changes: the DOS finds out at its next job.
  if (state_->channels.empty()) {
    state_->volume.reset();
  } else if (state_->volume) {
    state_->volume->SetDisk(disk);
  }
}

Disk* Dos::disk() const {
  return state_->disk;
}

void Dos::Command(const std::vector<uint8_t>& bytes) {
  if (const std::optional<DosStatus> status = RunCommand(*state_, bytes)) Report(*state_, *status);
}

void Dos::CommandCutShort(const std::vector<uint8_t>& bytes, const FormatCut& cut) {
  state_->formatCut = cut;
  Command(bytes);
  state_->formatCut.reset();
}

int Dos::FormatTracks() const {
  return FormatLayout(*state_).maxTrack;
}

std::string Dos::TakeErrorMessage() {
  const std::string message = DosMessage(state_->kind, state_->message);
  state_->message = {};
  return message;
}

void Dos::SetError(int code, int track, int sector) {
  state_->message = DosFail(code, track, sector);
}

bool Dos::Open(int sa, const std::vector<uint8_t>& name) {
  if (sa == 15) {
    Command(name);
    return true;
  }
  const DosStatus status = OpenChannel(*state_, sa, name);
  Report(*state_, status);
  return IsOpen(sa);
}

bool Dos::IsOpen(int sa) const {
  return state_->channels.count(sa) != 0;
}

std::vector<uint8_t> Dos::Read(int sa, size_t maxBytes, bool& eoi) {
  eoi = false;
  std::vector<uint8_t> out;
  const auto it = state_->channels.find(sa);
  if (it == state_->channels.end()) return out;
  Channel& channel = it->second;
  switch (channel.kind) {
    case Channel::Kind::kListing:
      SendListing(*state_, channel, maxBytes, out, eoi);
      break;
    case Channel::Kind::kRead:
      if (state_->volume) {
        const DosStatus status = channel.reader.Read(*state_->volume, maxBytes, out, eoi);
        if (!status.ok()) Report(*state_, status);
      }
      break;
    case Channel::Kind::kWrite:
      break;
  }
  return out;
}

bool Dos::Write(int sa, const std::vector<uint8_t>& bytes) {
  const auto it = state_->channels.find(sa);
  if (it == state_->channels.end() || it->second.kind != Channel::Kind::kWrite) return false;
  Channel& channel = it->second;
  if (channel.failed || !state_->volume) return false;
  const DosStatus status = channel.writer.Put(*state_->volume, bytes, state_->FileInterleave());
  if (status.ok()) return true;
  channel.failed = true;
  Report(*state_, status);
  return false;
}

void Dos::Close(int sa) {
  const DosStatus status = sa == 15 ? state_->CloseAll() : CloseChannel(*state_, sa);
  if (!status.ok()) Report(*state_, status);
}

int Dos::TakeSoughtTrack() {
  return std::exchange(state_->soughtTrack, 0);
}

std::array<uint8_t, 2> Dos::IdInRam() const {
  return state_->idInRam;
}

std::array<uint8_t, 256> Dos::BamInRam() const {
  if (state_->volume) return state_->volume->bam().blocks().front();
  return state_->bamInRam;
}

uint8_t Dos::MaxTrackPlusOne() const {
  return state_->maxTrackPlusOne;
}

bool Dos::In1571Mode() const {
  return state_->kind == DriveKind::k1571 && state_->doubleSidedMode;
}

}  // namespace sim
