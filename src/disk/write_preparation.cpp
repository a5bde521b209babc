#include "disk/write_preparation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "disk/build_track.h"
#include "disk/read_track.h"
#include "disk/write_check.h"
#include "link/drive_job.h"
#include "link/revolution_timing.h"

namespace dw {

namespace {

constexpr int kTimingTrack = 1;
constexpr int kTimings = 3;
constexpr double kUsPerMinute = 60000000.0;

std::optional<RevolutionWindow> TimeTurns(Program& p) {
  StartSectorTransfer(p, kCodeRpmCheck, false);
  RevolutionWindow turn;
  for (int i = 0; i < kTimings; ++i) {
    const std::optional<int32_t> us = TimeOneRevolution(p, kTimingTrack);
    if (!us) return std::nullopt;
    turn.shortestUs = turn.shortestUs == 0 ? *us : std::min(turn.shortestUs, *us);
    turn.longestUs = std::max(turn.longestUs, *us);
  }
  return turn;
}

// A blank track 1 with the disk ID, for the timing code to find a sync on.
bool WriteTimingTrack(Program& p) {
  LogLine(p, "No recorded track to time the drive's speed on: track 1 is written first");
  StartSectorTransfer(p, kCodeTrackWrite, false);
  std::vector<uint8_t> codes;
  const int length = BuildGcrTrack(p, kTimingTrack, true, false, nullptr, &codes);
  UploadBuiltTrack(p, length);
  const uint8_t reply = DriveJob(p, 6, 2, kTimingTrack, 0, 0);
  return TrackWriteTook(p, kTimingTrack, reply, HeadersOfBuiltTrack(p, kTimingTrack, codes));
}

bool Refused(Program& p, const std::string& why) {
  LogLine(p, why);
  p.LinkState |= kLinkIecError;
  return false;
}

// Speeds with one decimal, the highest allowed rounded down so that it is never shown above
// a speed it refuses.
std::string HighestRpmText(int32_t shortestUs) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::floor(kUsPerMinute / shortestUs * 10) / 10);
  return text;
}

bool FitsTheTracks(Program& p, const RevolutionWindow& turn, int lastTrack) {
  const int32_t needed = ShortestRevolutionForTracks(p, lastTrack);
  if (turn.shortestUs < needed) {
    return Refused(p, "The drive turns too fast to write whole tracks: " +
                          RpmText(turn.shortestUs) + " RPM, at most " + HighestRpmText(needed) +
                          " RPM fits them (slow it down with RPM adjust)");
  }
  // The tracks still fit, but a drive that speeds up while it writes would lay the end of a
  // track over its first sector.
  if (turn.shortestUs * (1.0 - kWriteDrift) < needed) {
    LogLine(p, "Warning: at " + RpmText(turn.shortestUs) +
                   " RPM the tracks leave no room for the drive's speed to drift; a drive "
                   "turning nearer 300 RPM writes them more safely (RPM adjust)");
  }
  return true;
}

}  // namespace

std::optional<RevolutionWindow> PrepareTrackWrites(Program& p, int lastTrack) {
  std::optional<RevolutionWindow> turn = TimeTurns(p);
  if (!turn && p.LinkState == 0) {
    if (!WriteTimingTrack(p)) return std::nullopt;
    turn = TimeTurns(p);
  }
  if (p.LinkState != 0) return std::nullopt;
  if (!turn) {
    Refused(p, "The drive's speed could not be timed: no disk in the drive, or it does not turn");
    return std::nullopt;
  }
  LogLine(p,
          "Drive speed for writing: " + RpmText((turn->shortestUs + turn->longestUs) / 2) + " RPM");
  if (!FitsTheTracks(p, *turn, lastTrack)) return std::nullopt;
  StartSectorTransfer(p, kCodeTrackWrite, false);
  if (p.LinkState != 0) return std::nullopt;
  return turn;
}

}  // namespace dw
