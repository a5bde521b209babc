#pragma once
// Directory blocks: a chain from 18/1 (1581: 40/3), 8 entries of 32 bytes each.
//   $00-$01 link (first entry of a block only)   $02 type: bits 0-3 DEL SEQ PRG USR REL (CBM),
//   bit 5 being replaced, bit 6 locked, bit 7 closed   $03-$04 first data block
//   $05-$14 name padded with $A0   $15-$16 REL side sectors   $17 record length
//   $1C-$1D replacement file's first block during "@" save   $1E-$1F blocks, low first

#include <array>
#include <optional>
#include <vector>

#include "sim/media/dos_names.h"
#include "sim/media/dos_volume.h"

namespace sim {

inline constexpr int kEntriesPerBlock = 8;
inline constexpr int kEntrySize = 32;

enum FileTypeBits : uint8_t {
  kTypeMask = 0x0F,
  kTypeReplacing = 0x20,
  kTypeLocked = 0x40,
  kTypeClosed = 0x80,
};

enum FileType : int { kDel = 0, kSeq = 1, kPrg = 2, kUsr = 3, kRel = 4, kCbm = 5 };

struct DirEntry {
  TrackSector block;  // where the entry lives
  int index = 0;      // 0..7 within the block
  std::array<uint8_t, kEntrySize> raw{};

  uint8_t type() const { return raw[2]; }
  bool used() const { return raw[2] != 0; }
  TrackSector start() const { return {raw[3], raw[4]}; }
  TrackSector sideSectors() const { return {raw[0x15], raw[0x16]}; }
  std::span<const uint8_t> name() const { return std::span(raw).subspan(5, 16); }
  int blocks() const { return raw[0x1E] | (raw[0x1F] << 8); }

  void setType(uint8_t type) { raw[2] = type; }
  void setStart(const TrackSector& ts);
  void setName(const PaddedName& name);
  void setBlocks(int blocks);
  void setReplacement(const TrackSector& ts);
  TrackSector replacement() const { return {raw[0x1C], raw[0x1D]}; }
};

// Every entry slot of the chain in order, empty ones included.
DosStatus ReadDirectory(Volume& volume, std::vector<DirEntry>& entries);
// The chain's blocks in order.
DosStatus DirectoryBlocks(Volume& volume, std::vector<TrackSector>& blocks);
DosStatus WriteDirEntry(Volume& volume, const DirEntry& entry);
// Puts entry into the first empty slot, adding a directory block when all are taken (72 when
// the directory track is full). entry.block and entry.index are set.
DosStatus AddDirEntry(Volume& volume, DirEntry& entry);
// The first used entry whose name matches.
std::optional<DirEntry> FindEntry(const std::vector<DirEntry>& entries,
                                  std::span<const uint8_t> pattern);
// The blocks of a chain from start; 66 for a link to a block that does not exist.
DosStatus FollowChain(Volume& volume, const TrackSector& start, std::vector<TrackSector>& blocks);
// Every block a file holds: its chain, a REL file's side sectors too; a 1581 partition (CBM)
// is the run of blocks from its first one, as many as its size says.
DosStatus BlocksOfFile(Volume& volume, const DirEntry& entry, std::vector<TrackSector>& blocks);

}  // namespace sim
