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

HeaderRead LastHeaderRead(Program& p) {
  HeaderRead header;
  header.id1 = DriveJob(p, kReadMemory, kHeaderReadAddress, 0, 0, 0);
  header.id2 = DriveJob(p, kReadMemory, kHeaderReadAddress + 1, 0, 0, 0);
  header.track = DriveJob(p, kReadMemory, kHeaderReadAddress + 2, 0, 0, 0);
  return header;
}

}  // namespace dw
