#include "link/controller_job.h"

#include "link/drive_job.h"

namespace dw {

namespace {

constexpr int kJobCodeAddress = 0x0000;
constexpr int kJobTrackAddress = 0x0006;
constexpr uint8_t kJobRunningAbove = 0x80;
// The last header read: ID1, ID2, track, sector, checksum.
constexpr int kHeaderReadAddress = 0x0016;
constexpr int kReadMemory = 1;
constexpr int kWriteMemory = 2;
// Reading the header under the head or bumping, stepping, then a revolution for the header of
// the track: well under a second.
constexpr int64_t kLocateLimitUs = 3'000'000;

}  // namespace

std::optional<uint8_t> RunControllerJob(Program& p, uint8_t jobCode, int track, int64_t limitUs) {
  DriveJob(p, kWriteMemory, kJobTrackAddress, track, 0, 0);
  DriveJob(p, kWriteMemory, kJobCodeAddress, jobCode, 0, 0);
  const int64_t start = p.clock.NowUs();
  for (;;) {
    const uint8_t slot = DriveJob(p, kReadMemory, kJobCodeAddress, 0, 0, 0);
    if (p.LinkState != 0) return std::nullopt;
    if (slot <= kJobRunningAbove) return slot;
    if (limitUs > 0 && p.clock.NowUs() - start > limitUs) return std::nullopt;
  }
}

void LocateHead(Program& p, int track) {
  RunControllerJob(p, kControllerSeekJob, track, kLocateLimitUs);
}

HeaderRead LastHeaderRead(Program& p) {
  HeaderRead header;
  header.id1 = DriveJob(p, kReadMemory, kHeaderReadAddress, 0, 0, 0);
  header.id2 = DriveJob(p, kReadMemory, kHeaderReadAddress + 1, 0, 0, 0);
  header.track = DriveJob(p, kReadMemory, kHeaderReadAddress + 2, 0, 0, 0);
  return header;
}

}  // namespace dw
