#pragma once
// Everything one drive's DOS holds: the disk, the logged-in volume, the open channels and the
// error message. The command and channel procedures work on it.

#include <map>
#include <optional>

#include "sim/media/dos_listing.h"
#include "sim/media/dos_stream.h"

namespace sim {

struct Channel {
  enum class Kind { kListing, kRead, kWrite };
  Kind kind = Kind::kRead;
  Bytes listing;
  size_t listingPos = 0;
  std::vector<ListingBlock> listingBlocks;  // still to be read while the listing goes out
  size_t listingBlocksRead = 0;
  ReadStream reader;
  WriteStream writer;
  DirEntry entry;          // the file being written
  bool replacing = false;  // "@": the entry keeps the old file until the close
  bool failed = false;     // stopped by an error: takes or sends no more data
};

struct DosState {
  DosState(DriveKind driveKind, bool starts1571Mode);

  // Logs the disk in again unless files are open (then the BAM in RAM is the one that counts).
  DosStatus LogIn();
  DosStatus ForceLogIn();
  // Closes every channel as CLOSE does (files being written are finished).
  DosStatus CloseAll();
  // Forgets every channel, as a reset or a disk change does.
  void DropAll();
  int FileInterleave() const;

  DriveKind kind;
  Disk* disk = nullptr;
  DosStatus message;
  std::optional<Volume> volume;
  bool startMode;              // the 1571's mode after power-up and reset: true for 1571 mode
  bool doubleSidedMode;        // 1571 mode (U0>M1); 1541 mode (U0>M0) takes one side only
  int interleaveOverride = 0;  // U0>S
  std::array<uint8_t, 2> idInRam = {0, 0};
  SectorData bamInRam{};
  uint8_t maxTrackPlusOne;
  std::map<int, Channel> channels;
  std::optional<FormatCut> formatCut;  // set while a format that was cut short is laid down
  // The track the controller last took the head to for the DOS (its log-in seek on the
  // directory track), 0 when it has not moved it since the drive last asked.
  int soughtTrack = 0;
};

DosStatus OpenChannel(DosState& state, int sa, std::span<const uint8_t> name);
DosStatus CloseChannel(DosState& state, int sa);
// nullopt: a memory command, which the bus side answers.
std::optional<DosStatus> RunCommand(DosState& state, std::span<const uint8_t> command);

DosStatus FormatCommand(DosState& state, std::span<const uint8_t> args);
// The layout a format gives the disk in this drive.
const DiskLayout& FormatLayout(const DosState& state);
DosStatus ValidateCommand(DosState& state, std::span<const uint8_t> args);
DosStatus CopyCommand(DosState& state, std::span<const uint8_t> args);

}  // namespace sim
