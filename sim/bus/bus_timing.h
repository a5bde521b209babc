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
  int64_t fastSerialByteUs = 40;
  int64_t busResetUs = 100000;

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

// Revolutions of the disk a DOS command needs (seeks, reads and writes on the disk). A format
// ("N:name,id", the 1581's burst format) lays down every track only on a disk it can write:
// without one it fails at its first track.
double DosCommandRevolutions(std::span<const uint8_t> command, bool is1581, bool canFormat);

}  // namespace sim
