#pragma once
// Whether a track write took. The write drive code answers each write with a job code, but a
// 1541 has no sensor for a missing disk or a stopped motor, so a write onto nothing is
// answered as done, and so is one a write-protect tab stopped part-way. After each track the
// write-protect sense is read again, and the controller's seek job reads the first header that
// comes under the head: it must be one the new track carries.

#include <cstdint>
#include <span>
#include <vector>

#include "core/program.h"

namespace dw {

// The headers a track carries, as a seek can meet them.
struct TrackHeaders {
  struct Header {
    uint8_t track;
    uint8_t id1;
    uint8_t id2;
  };
  std::vector<Header> readable;  // headers with a good checksum
  bool badChecksum = false;      // a header whose checksum is bad
  bool sync = false;             // any sync mark at all
};

// The headers of a track built from each sector's code (1 good, else the error built in) with
// the disk ID of DiskId.
TrackHeaders HeadersOfBuiltTrack(const Program& p, int track, const std::vector<uint8_t>& codes);

// The headers found in a raw GCR track (a sync, then a header block), the track taken as a
// ring.
TrackHeaders HeadersOfRawTrack(const Program& p, std::span<const uint8_t> bytes);

// Checks the write of `track`: the write job's reply (`reply`), then, where the drive's
// controller reaches the track (1-35, and 36-70 as the second side of a double-sided disk), a
// seek that must meet one of `expected`'s headers. A track that did not take the write is
// logged as "Track N not written: " and why, and marks the command as failed (LinkState).
bool TrackWriteTook(Program& p, int track, uint8_t reply, const TrackHeaders& expected,
                    bool doubleSided = false);

}  // namespace dw
