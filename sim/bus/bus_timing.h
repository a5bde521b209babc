#pragma once
// How long things take on the virtual bus. Times are virtual: the bus reads a clock that it is
// given, so with the program's virtual clock any amount of bus time passes in no real time.

#include <cstdint>
#include <span>

namespace sim {

struct BusTiming {
  // The link: 460800 baud, 10 bits a byte (start, 8 data, stop).
  int baudRate = 460800;
  // Silence on the line after which the adapter takes the bytes since the BREAK as a packet.
  int64_t packetIdleUs = 200;
  // Two BREAKs are a double BREAK when the second starts within this time after the first ended.
  int64_t doubleBreakWindowUs = 10000;
  int64_t bannerDelayUs = 100;
  // From a packet to the first reply byte when no bus or drive work is needed.
  int64_t turnaroundUs = 50;

  // The IEC bus: the ATN sequence (LISTEN/TALK, secondary address) and its release.
  int64_t iecAddressUs = 1000;
  int64_t slowSerialByteUs = 400;
  // The fast serial line: eight bits through the drive's shift register at half its 1 MHz
  // clock (16 us) and the byte's handshake with the adapter. Faster than the disk gives bytes
  // (26 to 32 us), as it must be for code that passes a whole revolution on through 2 KB of RAM.
  int64_t fastSerialByteUs = 20;
  int64_t busResetUs = 100000;
  // A drive restarted (power-on, bus reset, "UJ") tests its ROM and RAM before it answers.
  int64_t selfTestUs = 300000;
  // The spindle motor: from standing to the speed the drive reads at, and how long it runs on
  // after the last work on the disk.
  int64_t spinUpUs = 500000;
  int64_t motorRunOnUs = 1000000;
  // The adapter's longest wait on the IEC bus (the busy wait the buswait fault puts it in).
  int64_t longestBusWaitUs = 2000000;

  // The DOS: parsing and running a command that does not touch the disk.
  int64_t dosCommandUs = 5000;
};

inline constexpr int64_t kNsPerUs = 1000;
inline constexpr int64_t kUsPerMinute = 60'000'000;
inline constexpr double kDefaultRpm = 300.0;

// Nanoseconds that `count` bytes take on the link.
inline int64_t LinkBytesNs(const BusTiming& timing, int64_t count) {
  return count * 10 * 1'000'000'000 / timing.baudRate;
}

// A command that lays every track down afresh: "N:name,id", and on a 1581 the burst format.
bool IsFullFormat(std::span<const uint8_t> command, bool is1581);

// Revolutions of the disk a DOS command needs (seeks, reads and writes on the disk). A format
// ("N:name,id", the 1581's burst format) lays down every track only on a disk it can write:
// without one it fails at its first track.
double DosCommandRevolutions(std::span<const uint8_t> command, bool is1581, bool canFormat);

}  // namespace sim
