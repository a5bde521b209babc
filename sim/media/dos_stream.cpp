#include "sim/media/dos_stream.h"

#include "sim/media/dos_alloc.h"

namespace sim {
namespace {

constexpr size_t kFirstDataByte = 2;
constexpr size_t kBlockSize = 256;
constexpr uint8_t kCr = 0x0D;

}  // namespace

DosStatus ReadStream::Open(Volume& volume, const TrackSector& start) {
  blocksRead_ = 0;
  atEnd_ = false;
  const DosStatus status = Load(volume, start);
  if (!status.ok()) atEnd_ = true;
  return status;
}

DosStatus ReadStream::Load(Volume& volume, const TrackSector& ts) {
  if (!volume.layout().Valid(ts) ||
      blocksRead_ >= static_cast<size_t>(volume.layout().TotalBlocks())) {
    return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
  }
  if (DosStatus status = volume.Read(ts, block_); !status.ok()) return status;
  ++blocksRead_;
  current_ = ts;
  pos_ = kFirstDataByte;
  lastBlock_ = block_[0] == 0;
  // A last block claiming fewer than one byte still holds the one at offset 2.
  end_ = lastBlock_ ? std::max<size_t>(block_[1], kFirstDataByte) + 1 : kBlockSize;
  return {};
}

DosStatus ReadStream::Read(Volume& volume, size_t maxBytes, Bytes& out, bool& eoi) {
  eoi = false;
  while (!atEnd_ && out.size() < maxBytes) {
    if (pos_ == end_) {
      if (DosStatus status = Load(volume, {block_[0], block_[1]}); !status.ok()) {
        atEnd_ = true;
        return status;
      }
    }
    out.push_back(block_[pos_++]);
    if (pos_ == end_ && lastBlock_) {
      atEnd_ = true;
      eoi = true;
    }
  }
  return {};
}

void WriteStream::Begin(const TrackSector& first) {
  first_ = current_ = first;
  allocated_ = {first};
  block_.fill(0);
  fill_ = kFirstDataByte;
  blocks_ = 1;
  empty_ = true;
}

void WriteStream::Continue(const TrackSector& last, const SectorData& lastBlock, int blocks) {
  current_ = last;
  allocated_.clear();
  block_ = lastBlock;
  fill_ = std::max<size_t>(lastBlock[1], kFirstDataByte - 1) + 1;
  blocks_ = blocks;
  empty_ = false;
}

DosStatus WriteStream::Put(Volume& volume, std::span<const uint8_t> bytes, int interleave) {
  for (uint8_t byte : bytes) {
    if (fill_ == kBlockSize) {
      TrackSector next;
      if (DosStatus status = AllocateNextBlock(volume.bam(), current_, interleave, next);
          !status.ok()) {
        return status;
      }
      allocated_.push_back(next);
      block_[0] = static_cast<uint8_t>(next.track);
      block_[1] = static_cast<uint8_t>(next.sector);
      if (DosStatus status = volume.Write(current_, block_); !status.ok()) return status;
      current_ = next;
      block_.fill(0);
      fill_ = kFirstDataByte;
      ++blocks_;
    }
    block_[fill_++] = byte;
    empty_ = false;
  }
  return {};
}

DosStatus WriteStream::Finish(Volume& volume) {
  if (empty_) block_[fill_++] = kCr;
  empty_ = false;
  block_[0] = 0;
  block_[1] = static_cast<uint8_t>(fill_ - 1);
  return volume.Write(current_, block_);
}

}  // namespace sim
