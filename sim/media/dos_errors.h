#pragma once
// The drive's error channel: the message texts per drive and the controller job codes behind
// read and write errors.

#include <string>

#include "sim/media/dos.h"

namespace sim {

enum DosError : int {
  kDosOk = 0,
  kDosFilesScratched = 1,
  kDosReadErrorNoSync = 21,
  kDosWriteProtect = 26,
  kDosSyntax = 30,
  kDosSyntaxUnknown = 31,
  kDosSyntaxLong = 32,
  kDosSyntaxBadName = 33,
  kDosSyntaxNoName = 34,
  kDosWriteFileOpen = 60,
  kDosFileNotFound = 62,
  kDosFileExists = 63,
  kDosFileTypeMismatch = 64,
  kDosIllegalTrackSector = 66,
  kDosNoChannel = 70,
  kDosDirError = 71,
  kDosDiskFull = 72,
  kDosVersion = 73,
  kDosDriveNotReady = 74,
};

// A DOS result: 0 for success, else an error number with the track and sector it names.
struct DosStatus {
  int code = kDosOk;
  int track = 0;
  int sector = 0;
  bool ok() const { return code == kDosOk; }
};

inline DosStatus DosFail(int code, int track = 0, int sector = 0) {
  return {code, track, sector};
}

// The error a job code becomes: the low nibble plus 18 for 2..11, 0 as 24, $F as 74.
int DosErrorOfJob(int jobCode);
// The text between the first and second comma, exactly as the drive sends it.
std::string DosErrorText(DriveKind kind, int code);
// "NN,TEXT,TT,SS" and CR.
std::string DosMessage(DriveKind kind, const DosStatus& status);

}  // namespace sim
