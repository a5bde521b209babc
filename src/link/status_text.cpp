#include "link/status_text.h"

#include <array>
#include <utility>

#include "core/log.h"

namespace dw {

namespace {

// IEC status bytes that are errors; every other value reads "OK".
constexpr std::array<std::pair<uint8_t, const char*>, 6> kIecStatusTexts{{
    {0x02, "TIMEOUT (IEC IN)"},
    {0x03, "TIMEOUT (IEC OUT)"},
    {0x08, "TIMEOUT (READ TRACK)"},
    {0x04, "DEVICE NOT PRESENT"},
    {0x80, "DEVICE NOT PRESENT"},
    {0xFF, "DEVICE NOT PRESENT"},
}};

// Job result codes of the drive controller, by their low four bits. The 1581's controller
// reports MFM errors under the same numbers as the GCR drives.
constexpr std::array<const char*, 16> kGcrJobTexts{
    "OK",
    "OK",
    "SECTOR NOT FOUND",
    "NO SYNC",
    "DATA BLOCK NOT FOUND",
    "DATA BLOCK CHECKSUM ERROR",
    "FORMAT ERROR",
    "VERIFY ERROR",
    "WRITE PROTECT ERROR",
    "HEADER BLOCK CHECKSUM ERROR",
    "DATA EXTENDS INTO NEXT BLOCK",
    "DISK ID MISMATCH/DISK CHANGE",
    "OK",
    "OK",
    "SYNTAX ERROR",
    "NO DISK PRESENT",
};

constexpr std::array<const char*, 16> kMfmJobTexts{
    "OK",
    "OK",
    "SECTOR NOT FOUND",
    "NO ADDRESS MARK",
    "DATA BLOCK NOT PRESENT",
    "DATA CRC ERROR",
    "FORMAT ERROR",
    "VERIFY ERROR",
    "WRITE PROTECT ERROR",
    "HEADER BLOCK CRC ERROR",
    "OK",
    "DISK CHANGE",
    "DISK FORMAT NOT LOGICAL",
    "CONTROLLER ERROR",
    "SYNTAX ERROR",
    "NO DRIVE PRESENT",
};

}  // namespace

std::string StatusText(const Program& p, uint8_t code, uint8_t kind) {
  if (kind == kIecStatusKind) {
    for (const auto& [status, text] : kIecStatusTexts) {
      if (status == code) return text;
    }
    return "OK";
  }
  bool mfm = p.DriveFamily == kFamily1581;
  // Bit 7 set: the disk is of the other recording method.
  if (code & 0x80) return mfm ? "ALIEN DISK FORMAT" : "MFM DISK FORMAT";
  return (mfm ? kMfmJobTexts : kGcrJobTexts)[code & 0x0F];
}

bool RequireFastSerialDriver(Program& p) {
  if (p.FastSerialDriver == 1) return true;
  LogLine(p, "Not supported without 6522 Fast Serial Driver!");
  return false;
}

}  // namespace dw
