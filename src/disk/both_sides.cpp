#include "disk/both_sides.h"

#include "disk/read_track.h"
#include "link/detect.h"

namespace dw {

namespace {

bool ReportsOneSide(const Program& p) {
  return p.DriveFamily == kFamily1571 && p.DiskFormat == kDisk1541 && p.LinkState == 0;
}

}  // namespace

bool ReachSecondSideOfDisk(Program& p) {
  // A disk the DOS could not log in has no header to read the mark from.
  if (!ReportsOneSide(p) || p.DosErrorFlag != 0) return false;
  if (!DirectoryHeaderMarksTwoSides(p)) return false;
  SwitchTo1571Mode(p, "Double-sided disk");
  DetectDiskFormat(p, true);
  return true;
}

void ReachSecondSide(Program& p, const std::string& why) {
  if (ReportsOneSide(p)) SwitchTo1571Mode(p, why);
}

}  // namespace dw
