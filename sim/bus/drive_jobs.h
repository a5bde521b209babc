#pragma once
// The jobs of the virtual drive code (drive_code.h), carried out by the drive that runs it:
//
//   $0D sub $00 / $01   read / write one byte of drive memory (address low, high, value)
//   $0E sub $05         raw track read: p1 pages from track p2 at density p3, then the two
//                       byte-rate bytes (low, high): the bytes of the track that pass the head
//                       in 35555.5556 us, its length over the reader's revolution, +-1
//   $0E sub $08         p1 pages of drive memory from an address (low, high), then two bytes
//   $0F sub $81         write the bytes loaded with $0B, up to their $00 end byte, onto track p2
//                       at density p3 from where the head is; past a revolution the write goes
//                       on over its own start
//   $10 sub $06         one revolution timed on track p1, in ticks of 1/1.8432 us (3 bytes)
//
// Density 0 is the zone of the track; bit 7 set takes the zone from bits 5-6. Tracks are the
// head's: 1 to 42; on a 1571 without bit 7 of the density, tracks 36-70 are tracks 1-35 of the
// second side. Every job costs the drive's time: packet, head steps and settling, the turn of
// the disk it reads or writes, and the bytes on the bus.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/bus/bus_timing.h"
#include "sim/bus/virtual_drive.h"

namespace sim {

struct JobAnswer {
  std::vector<uint8_t> data;
  int area = 0;         // the data area the reply is padded to
  bool answers = true;  // false: the code took the job but never answers it
};

// The reply area the program waits for with this job packet.
int JobReplyArea(std::span<const uint8_t> packet);

// nullopt when the code in the drive does not answer the packet: not ours, of another family
// or number, hung, or a sub-function it does not know.
std::optional<JobAnswer> RunDriveJob(VirtualDrive& drive, std::span<const uint8_t> packet,
                                     std::span<const uint8_t> loadedBytes, const BusTiming& timing);

// The byte-rate count of the drive's own clock at a zone: what it counts with no disk turning.
int ByteRateCount(int zone);
// The byte-rate count of a track: its bytes, as many as the writing drive laid down in one of
// its turns, pass the head in the reading drive's revolution (before the count's jitter).
int TrackByteRateCount(size_t trackBytes, double revolutionUs);

}  // namespace sim
