#include "sim/bus/drive_code.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

constexpr uint8_t kReturnFromSubroutine = 0x60;
constexpr int kCodeNumbers = 4;

struct JobNeed {
  JobKind job;
  int number;  // the page the job needs; -1 when any of ours will do
};

constexpr std::array<JobNeed, 6> kJobNeeds{{
    {JobKind::kMemoryRead, -1},
    {JobKind::kMemoryWrite, -1},
    {JobKind::kReadTrack, 0},
    {JobKind::kWriteTrack, 1},
    {JobKind::kReadMemoryPages, 2},
    {JobKind::kMeasureSpeed, 3},
}};

}  // namespace

std::string DriveCodeSignature(const DriveCodeId& id) {
  std::string family = id.family == CodeFamily::k1541 ? "1541" : "157X";
  return "DISKWRIGHT VIRTUAL BUS DRIVE CODE " + family + " U" + std::to_string(id.number);
}

std::optional<DriveCodeId> IdentifyDriveCode(std::span<const uint8_t> page) {
  if (page.empty() || page[0] != kReturnFromSubroutine) return std::nullopt;
  for (CodeFamily family : {CodeFamily::k1541, CodeFamily::k157x}) {
    for (int number = 0; number < kCodeNumbers; ++number) {
      const DriveCodeId id{family, number};
      const std::string signature = DriveCodeSignature(id);
      // The text ends in a zero byte, so "U1" is not taken for the start of a longer name.
      if (page.size() < signature.size() + 2) continue;
      if (std::equal(signature.begin(), signature.end(), page.begin() + 1) &&
          page[signature.size() + 1] == 0) {
        return id;
      }
    }
  }
  return std::nullopt;
}

std::optional<CodeFamily> CodeFamilyOf(DriveKind kind) {
  switch (kind) {
    case DriveKind::k1541:
      return CodeFamily::k1541;
    case DriveKind::k1570:
    case DriveKind::k1571:
      return CodeFamily::k157x;
    case DriveKind::k1581:
      break;
  }
  return std::nullopt;
}

bool CodeRunsJob(std::span<const uint8_t> page, DriveKind kind, JobKind job) {
  const std::optional<DriveCodeId> id = IdentifyDriveCode(page);
  const std::optional<CodeFamily> family = CodeFamilyOf(kind);
  if (!id || !family || id->family != *family) return false;
  for (const JobNeed& need : kJobNeeds) {
    if (need.job == job) return need.number < 0 || need.number == id->number;
  }
  return false;
}

}  // namespace sim
