// A format run by the DOS ("N:name,id", the 1581's burst format) in time: once the bus is
// released the drive lays its tracks down one after the other, each in the first half of its
// share of the time and checked in the second; the directory and BAM are written at the end. A
// format cut short leaves the tracks it reached new, the one under the head part-way, the rest
// and the old directory as they were, and the DOS's error naming the track it stopped on.

#include <cmath>

#include "sim/bus/virtual_drive.h"
#include "sim/media/dos_errors.h"

namespace sim {

namespace {

class Format final : public DriveWork {
 public:
  Format(VirtualDrive& drive, std::vector<uint8_t> command, int64_t startUs, int64_t formatUs,
         int tracks)
      : DriveWork(drive, startUs, startUs + formatUs),
        command_(std::move(command)),
        trackUs_(static_cast<double>(formatUs) / std::max(tracks, 1)) {}

  void Finish() override { drive().LayFormat(command_, nullptr); }

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    // The drive does the work on its own: the adapter has nothing to do with it.
    if (what == Interruption::kAdapterGone) {
      cut.over = false;
      return cut;
    }
    const double tracks = static_cast<double>(atUs - startUs()) / trackUs_;
    FormatCut formatCut;
    formatCut.wholeTracks = static_cast<int>(std::floor(tracks));
    // A track is written in the first half of its time and checked in the second.
    formatCut.partOfNext = std::min(1.0, 2.0 * (tracks - formatCut.wholeTracks));
    formatCut.error = ErrorOf(what);
    drive().LayFormat(command_, &formatCut);
    drive().FreeFrom(atUs);
    return cut;
  }

 private:
  int ErrorOf(Interruption what) {
    if (what == Interruption::kProtected) return kDosWriteProtect;
    const bool is1581 = drive().model().kind == DriveKind::k1581;
    return is1581 ? kDosDriveNotReady : kDosReadErrorNoSync;
  }

  std::vector<uint8_t> command_;
  double trackUs_;
};

}  // namespace

void VirtualDrive::LayFormat(const std::vector<uint8_t>& command, const FormatCut* cut) {
  if (cut != nullptr) {
    dos_->CommandCutShort(command, *cut);
  } else {
    dos_->Command(command);
  }
  CopyDosStateToRam();
}

void VirtualDrive::StartFormat(std::span<const uint8_t> command, double revolutions) {
  const int64_t readyUs = DosStartUs();
  const auto formatUs = static_cast<int64_t>(
      std::llround(revolutions * static_cast<double>(RevolutionUsAt(readyUs))));
  const int64_t startUs = readyUs + MotorUpUs(readyUs, formatUs);
  afterReleaseUs_ += startUs - readyUs + formatUs;
  StartWork(std::make_unique<Format>(*this, std::vector<uint8_t>(command.begin(), command.end()),
                                     startUs, formatUs, dos_->FormatTracks()));
}

}  // namespace sim
