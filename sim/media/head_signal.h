#pragma once
// What the read/write head of a GCR drive makes of a raw track (raw_track.h) at a bit rate:
// the drive's bit clock is 4 MHz / (16 - zone), whatever the track was written at. Reading at
// the rate the track was written at gives its bits; reading at another rate samples the written
// bit cells at the wrong clock, so the bytes come out wrong while long runs of ones (syncs)
// survive. Bytes are aligned as the read electronics align them: from wherever the read
// starts in eight-bit steps, and after each sync the first zero bit starts a byte; the ones of
// a sync that do not fill a byte are dropped.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// Bytes one revolution holds at a zone's bit rate and a revolution time.
size_t RevolutionBytes(int zone, double revolutionUs);
// Microseconds one byte takes at a zone's bit rate.
int ZoneByteUs(int zone);

// byteCount bytes as the head reads them at readZone from a track written at writtenZone,
// starting at bit startBit of the track and wrapping around it.
std::vector<uint8_t> ReadAsHead(std::span<const uint8_t> track, int writtenZone, int readZone,
                                size_t startBit, size_t byteCount);

// The cells where a write current switched off: no flux change in them (eight zero bits).
inline constexpr uint8_t kSpliceByte = 0x00;

// Writes bytes at a zone's bit rate from a point of the revolution (0 <= startTurn < 1, the
// fraction of a turn from the track's bit 0), the disk taking revolutionUs for the turn. A write
// shorter than the turn leaves the old bits on the rest of it; a longer one goes on over its own
// first bytes (over and over again if it is longer still), so that the track holds exactly one
// turn of them, the last one written at each place. The eight bit cells right behind the last
// bit written are the splice (kSpliceByte). The track then holds the bits around the whole
// circle, bit 0 again at the start of the turn.
void WriteRevolution(std::vector<uint8_t>& track, int zone, double revolutionUs, double startTurn,
                     std::span<const uint8_t> bytes);

}  // namespace sim
