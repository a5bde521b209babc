#pragma once
// File data as chains of blocks: bytes 0-1 link to the next block; in the last block byte 0 is
// 0 and byte 1 the offset of the last valid byte, so it holds byte1 - 1 data bytes.

#include "sim/media/dos_directory.h"

namespace sim {

class ReadStream {
 public:
  // Reads the first block, as the DOS does when the file is opened.
  DosStatus Open(Volume& volume, const TrackSector& start);
  // Up to maxBytes more; eoi when the file's last byte is among them. On an unreadable block
  // the bytes before it are delivered and the error returned; the stream then stays at its end.
  DosStatus Read(Volume& volume, size_t maxBytes, Bytes& out, bool& eoi);
  bool atEnd() const { return atEnd_; }

 private:
  DosStatus Load(Volume& volume, const TrackSector& ts);

  SectorData block_{};
  TrackSector current_{};
  size_t pos_ = 2;
  size_t end_ = 2;  // one past the last data byte of the block
  bool lastBlock_ = false;
  bool atEnd_ = true;
  size_t blocksRead_ = 0;
};

class WriteStream {
 public:
  // Starts a new chain at an allocated block.
  void Begin(const TrackSector& first);
  // Continues a file after its last block (append); lastBlock holds its data.
  void Continue(const TrackSector& last, const SectorData& lastBlock, int blocks);
  // Appends bytes; a full block is written when the next byte needs room. 72 when no block is
  // left: the bytes that fit stay in the file.
  DosStatus Put(Volume& volume, std::span<const uint8_t> bytes, int interleave);
  // Writes the last block; a file with no byte at all gets one CR, as the DOS stores it.
  DosStatus Finish(Volume& volume);

  const TrackSector& first() const { return first_; }
  // Every block this stream took from the BAM, the one not yet written included.
  const std::vector<TrackSector>& allocated() const { return allocated_; }
  int blocks() const { return blocks_; }
  bool empty() const { return empty_; }

 private:
  TrackSector first_{};
  TrackSector current_{};
  std::vector<TrackSector> allocated_;
  SectorData block_{};
  size_t fill_ = 2;  // next free position in the block
  int blocks_ = 1;
  bool empty_ = true;
};

}  // namespace sim
