#pragma once
// The virtual bus's own drive code: eight pages, 1541_U0.h65 to 1541_U3.h65 and 157x_U0.h65 to
// 157x_U3.h65 (sim/drivecode/). A page starts with RTS, so a real drive that is given one
// returns at once and does nothing, then carries a readable signature naming its family and
// number. The virtual drive runs a job only for a page of its own family whose number serves
// the job; any other page knows nothing of the job and never answers it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sim/media/dos.h"

namespace sim {

enum class CodeFamily { k1541, k157x };

struct DriveCodeId {
  CodeFamily family;
  int number;  // 0 track reading, 1 track writing, 2 memory reading, 3 speed measuring
};

// The jobs the program asks of drive code (the function numbers of the job packets).
enum class JobKind {
  kMemoryRead = 1,
  kMemoryWrite = 2,
  kReadTrack = 5,
  kWriteTrack = 6,
  kMeasureSpeed = 7,
  kReadMemoryPages = 8
};

// The page's signature as the virtual drive code carries it: RTS, then this text.
std::string DriveCodeSignature(const DriveCodeId& id);
// Which of our pages this is; nullopt for any other code.
std::optional<DriveCodeId> IdentifyDriveCode(std::span<const uint8_t> page);
// The family of code a drive of this kind runs; nullopt for the 1581, which takes none.
std::optional<CodeFamily> CodeFamilyOf(DriveKind kind);
// True when the page started in a drive of this kind carries out the job.
bool CodeRunsJob(std::span<const uint8_t> page, DriveKind kind, JobKind job);

}  // namespace sim
