#include "sim/media/dos_errors.h"

#include <array>
#include <cstdio>

#include "sim/media/disk.h"

namespace sim {
namespace {

struct ErrorText {
  int code;
  const char* text;
};

// The 1541 table; token words bring a leading space. The 1570/1571 share it.
constexpr std::array<ErrorText, 36> kErrorTexts = {{
    {0, " OK"},
    {1, " FILES SCRATCHED"},
    {20, "READ ERROR"},
    {21, "READ ERROR"},
    {22, "READ ERROR"},
    {23, "READ ERROR"},
    {24, "READ ERROR"},
    {25, " WRITE ERROR"},
    {26, " WRITE PROTECT ON"},
    {27, "READ ERROR"},
    {28, " WRITE ERROR"},
    {29, " DISK ID MISMATCH"},
    {30, "SYNTAX ERROR"},
    {31, "SYNTAX ERROR"},
    {32, "SYNTAX ERROR"},
    {33, "SYNTAX ERROR"},
    {34, "SYNTAX ERROR"},
    {39, " FILE NOT FOUND"},
    {50, " RECORD NOT PRESENT"},
    {51, "OVERFLOW IN RECORD"},
    {52, " FILE TOO LARGE"},
    {60, " WRITE FILE OPEN"},
    {61, " FILE NOT OPEN"},
    {62, " FILE NOT FOUND"},
    {63, " FILE EXISTS"},
    {64, " FILE TYPE MISMATCH"},
    {65, "NO BLOCK"},
    {66, "ILLEGAL TRACK OR SECTOR"},
    {67, "ILLEGAL TRACK OR SECTOR"},
    {70, "NO CHANNEL"},
    {71, "DIR ERROR"},
    {72, " DISK FULL"},
    {74, "DRIVE NOT READY"},
    {75, "FORMAT ERROR"},
    {76, "CONTROLLER ERROR"},
    {77, "SELECTED PARTITION ILLEGAL"},
}};

constexpr std::array<ErrorText, 4> kVersionTexts = {{
    {static_cast<int>(DriveKind::k1541), "CBM DOS V2.6 1541"},
    {static_cast<int>(DriveKind::k1570), "CBM DOS V3.0 1571"},
    {static_cast<int>(DriveKind::k1571), "CBM DOS V3.0 1571"},
    {static_cast<int>(DriveKind::k1581), "COPYRIGHT CBM DOS V10 1581"},
}};

// Errors only the 1581 knows.
bool Only1581(int code) {
  return code == 2 || code >= 75;
}

}  // namespace

int DosErrorOfJob(int jobCode) {
  const int nibble = jobCode & 0x0F;
  if (nibble == kJobOk) return kDosOk;
  if (nibble == 0) return 24;
  if (nibble == kJobNoDisk) return kDosDriveNotReady;
  return nibble + 18;
}

std::string DosErrorText(DriveKind kind, int code) {
  if (code == kDosVersion) {
    for (const ErrorText& entry : kVersionTexts) {
      if (entry.code == static_cast<int>(kind)) return entry.text;
    }
  }
  if (code == 2 && kind == DriveKind::k1581) return " SELECTED PARTITION";
  if (Only1581(code) && kind != DriveKind::k1581) return "";
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return "";
}

std::string DosMessage(DriveKind kind, const DosStatus& status) {
  char numbers[3][4];
  std::snprintf(numbers[0], sizeof numbers[0], "%02d", status.code % 100);
  std::snprintf(numbers[1], sizeof numbers[1], "%02d", status.track % 100);
  std::snprintf(numbers[2], sizeof numbers[2], "%02d", status.sector % 100);
  return std::string(numbers[0]) + "," + DosErrorText(kind, status.code) + "," + numbers[1] + "," +
         numbers[2] + "\r";
}

}  // namespace sim
