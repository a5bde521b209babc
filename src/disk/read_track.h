#pragma once
// Reading a disk one track at a time into ImageBuffer. On the 1541 family, the 1570 and the
// 1571 the drive code hands over the whole raw GCR track and the sectors are decoded here,
// each judged with a sector code; the 1581 sends 20 sectors at a time in burst mode.

#include <cstdint>
#include <vector>

#include "core/program.h"

namespace dw {

// Drive code numbers of the .h65 files.
enum DriveCodeNumber : int {
  kCodeTrackRead = 0,   // create, verify, track dump
  kCodeTrackWrite = 1,  // restore, format, G64 restore
  kCodeRomDump = 2,
  kCodeRpmCheck = 3,
};

// Loads the drive code into a GCR drive; for the reading code with the ruler flag set, logs
// the sector ruler above the track status lines. Nothing on a 1581 or an unknown drive.
void StartSectorTransfer(Program& p, int codeNumber, bool ruler);

// Reads one track (1..TrackCount) into ImageBuffer at its imageOffset and sets
// TrackHeadersFound. false at once for a track outside the layout or while LinkState is not 0.
// A 1581 half track whose reply came garbled is read again, twice at most; a half track that
// never came whole ends the operation (LinkState), since a D81 cannot mark sectors as lost.
// With retries, a track with a sector that is not good (a 1581: a half with a failing status)
// is read again that many times at most, and each sector keeps its best read
// (track_retries.h).
bool ReadTrack(Program& p, int track, int retries = 0);

// Decodes the sectors of the raw track in ReplyData into ImageBuffer (at the track's
// imageOffset; a sector without a data block keeps what was there): each sector's code, sector
// 0 first. Sets TrackHeadersFound; logs nothing.
std::vector<uint8_t> DecodeGcrSectors(Program& p, int track);

// Decodes the raw track in ReplyData into ImageBuffer, records each sector's code (and its
// error byte when ImageErrors is set) and logs the track status line. false when any sector
// is not good.
bool DecodeGcrTrack(Program& p, int track);

// 1571: loads the reading code and reads the directory header (18/0) off the raw track, the
// DOS's mode aside. true when it reads well and byte 3 carries the double-sided mark.
bool DirectoryHeaderMarksTwoSides(Program& p);

// 1581: the burst read of the 20 sectors of a track from firstSector (0 or 20) into ReplyData;
// returns the reply's length (1: the status byte alone; kBurstHalfReplyLength: the status and
// the sectors). A reply garbled on the way is asked for again, twice at most.
inline constexpr int kBurstHalfReplyLength = 1 + 20 * 256;
int BurstReadHalf(Program& p, int track, int firstSector);

// 1581: the status of a burst command tells of a disk put in since the drive's last command
// ($0B, disk changed), which the drive reports once, on the first command that finds it. Also
// reads the drive's error channel, where the drive has put the same news.
bool BurstReportsDiskChange(Program& p, uint8_t status);

}  // namespace dw
