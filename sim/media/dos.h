#pragma once
// The DOS of a virtual drive and the disk in it: what a real 1541, 1570, 1571 or 1581 does
// with the commands, file names and data it receives over the IEC bus. The bus side (the
// adapter, channel bookkeeping of the wire, drive RAM and I/O registers) lives in sim/bus.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class DriveKind { k1541, k1570, k1571, k1581 };

class Disk;  // sim/media/disk.h

// Where a format ("N:name,id", the burst format) stopped: its first `wholeTracks` tracks laid,
// the next one over `partOfNext` (0 to 1) of its turn; the DOS then reports `error` naming that
// track.
struct FormatCut {
  int wholeTracks = 0;
  double partOfNext = 0.0;
  int error = 0;
};

// "U0" and a burst format byte (bits 4-1 0011; bit 0 the drive, bit 7 a custom MFM layout). The
// 1581 carries the standard format (bit 7 clear) out as "N0:COPYRIGHT CBM,86": every track laid
// down afresh, then header, BAM and an empty directory. The custom format is not modelled.
bool IsBurstFormat(std::span<const uint8_t> command);
// "U0" and the 1581's dump command byte (F S x 1 1 1 0 1, usually $1D): the drive writes its
// track cache back to the disk (the bus does; the DOS answers 00, OK). The 1571 and the 1541
// family have no such command (31).
bool IsBurstDumpCache(std::span<const uint8_t> command);

// One drive's DOS. Every call leaves the drive's error message (read on channel 15) as the
// real DOS would.
class Dos {
 public:
  // A 1571 starts in 1541 mode, as after power-up with a C64, unless `starts1571Mode` (as when
  // a C128 switches it at once); "U0>M1" and "U0>M0" switch it, a restart brings it back to
  // its start. In 1541 mode it takes every disk as single-sided. Other drives ignore the flag.
  explicit Dos(DriveKind kind, bool starts1571Mode = false);
  ~Dos();
  Dos(const Dos&) = delete;
  Dos& operator=(const Dos&) = delete;

  // The disk in the drive; nullptr when the drive is empty. The disk is not owned. A disk taken
  // out while files are open leaves them open, as on the real drive: their next block read or
  // written fails with the DOS's no-disk error (21 READ ERROR on the GCR drives, 74 DRIVE NOT
  // READY on the 1581) naming that block.
  void SetDisk(Disk* disk);
  Disk* disk() const;

  // A command sent to channel 15 (not M-R, M-W, M-E: the bus side handles drive memory; they
  // leave the message as it is). A trailing CR is ignored. Understood: I, N, S, R, V, C, UJ,
  // U:, U0>M0/U0>M1 (1571: 1541 or 1571 mode), U0>S + byte (1570, 1571, 1581: file
  // interleave), and on a 1581 the burst format "U0" + $06 (see below) and the dump of the track
  // cache "U0" + $1D. Block and buffer commands (B-, U1, U2, P, &, D) and other burst command
  // bytes give 31.
  void Command(const std::vector<uint8_t>& bytes);
  // The same command when it is a format that was cut short; the directory is never written.
  void CommandCutShort(const std::vector<uint8_t>& bytes, const FormatCut& cut);
  // How many tracks a format lays down now (35, 70 on a 1571 in 1571 mode, 80 on a 1581).
  int FormatTracks() const;

  // The error channel: "NN,TEXT,TT,SS" + CR. Reading it resets the message to 00, OK.
  std::string TakeErrorMessage();
  // Sets the message as the DOS does after the given error (73 after power-on).
  void SetError(int code, int track, int sector);

  // Data channels 0..14: 0 loads ("$" gives the listing), 1 saves, 2..14 open by name.
  // Open returns false (with the error message set) when the DOS refuses. Open on 15 runs the
  // name as a command. "#" (direct-access buffers) and REL files are not modelled (70, 64).
  bool Open(int sa, const std::vector<uint8_t>& name);
  bool IsOpen(int sa) const;
  // Up to maxBytes of the channel's data; eoi is set when the last byte was delivered. No bytes
  // and no eoi: the drive has nothing to send (channel not open or for writing, file already
  // sent, or stopped by a read error, which the error channel then tells).
  std::vector<uint8_t> Read(int sa, size_t maxBytes, bool& eoi);
  // Appends data to a file open for writing; false (error set) on disk full or protection.
  bool Write(int sa, const std::vector<uint8_t>& bytes);
  // Finishes a file being written (directory entry, BAM). Closing 15 closes every channel, as
  // the drive does. A successful close leaves the error message as it was.
  void Close(int sa);

  // What the drive holds in RAM after the last initialise ("I", or a directory read): the
  // disk ID ($0012/$0013), the BAM sector (1541 family and 1570 keep it at $0700), and the
  // 1571's maximum track + 1 ($02AC: $24 single-sided, $47 double-sided).
  // The track the DOS had the head taken to since the last call (its log-in seek on the
  // directory track of a GCR disk), 0 when none: the drive moves its head there.
  int TakeSoughtTrack();

  std::array<uint8_t, 2> IdInRam() const;
  std::array<uint8_t, 256> BamInRam() const;
  uint8_t MaxTrackPlusOne() const;
  // A 1571 in 1571 mode; false in 1541 mode and on the other drives.
  bool In1571Mode() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace sim
