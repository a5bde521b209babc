#include "link/detect.h"

#include <array>

#include "core/log.h"
#include "link/exchange.h"

namespace dw {

namespace {

struct DriveModel {
  uint8_t romByte;  // the byte at $FF40 of the drive's ROM
  const char* name;
  uint8_t family;
};

constexpr std::array<DriveModel, 8> kDriveModels{{
    {0xD7, "1570", kFamily1570},
    {0xAC, "1571", kFamily1571},
    {0xBA, "1581", kFamily1581},
    {0xAA, "1541", kFamily1541},
    {0x18, "1541-C", kFamily1541},
    {0x0F, "1541-II", kFamily1541},
    {0x85, "1541-JIFFY", kFamily1541},
    {0x10, "1541-SDOS", kFamily1541},
}};

constexpr uint8_t kCommandChannel = 15;

uint8_t ReplyByte(const Program& p, size_t index) {
  return index < p.ReplyData.size() ? p.ReplyData[index] : 0;
}

void SendCommand(Program& p, const IecString& command) {
  SendIecString(p, kCommandChannel, command, false, 2);
}

// Sends a memory read on the command channel and reads the answer into ReplyData.
void ReadDriveMemory(Program& p, const IecString& memoryRead) {
  SendCommand(p, memoryRead);
  ReadChannel(p, kCommandChannel, 64, 200);
}

}  // namespace

void DetectDriveModel(Program& p) {
  OpenChannel(p, kCommandChannel, u"M-R\x40\xFF");
  if (p.LinkState != 0) return;
  ReadChannel(p, kCommandChannel, 64, 200);
  p.DriveModelByte = ReplyByte(p, 0);
  p.DriveModelName = "UNKNOWN";
  p.DriveFamily = kFamilyUnknown;
  for (const DriveModel& model : kDriveModels) {
    if (model.romByte == p.DriveModelByte) {
      p.DriveModelName = model.name;
      p.DriveFamily = model.family;
      break;
    }
  }

  if (p.Status20Flag == 1) {
    // A drive with a CIA: one byte $02 to $4004, the low byte of its timer A.
    SendCommand(p, u"M-W\x04\x40\x01\x02");
    return;
  }
  // $21 into the peripheral control register of VIA 1 at $180C; the fast serial driver's
  // 6522 then shows bit 3 in the interrupt flag register at $180D. The "M-R" carries only the
  // low address byte: the DOS takes the high byte from its command buffer, where the "M-W"
  // left $18.
  SendCommand(p, u"M-W\x0C\x18\x01\x21");
  ReadDriveMemory(p, u"M-R\x0D");
  if (ReplyByte(p, 0) & 0x08) {
    p.DriveModelName += "+";
    p.FastSerialDriver = 1;
  } else {
    p.FastSerialDriver = 0;
  }
}

bool RequireKnownDriveModel(Program& p) {
  if (p.DriveFamily != kFamilyUnknown) return true;
  LogLine(p, "Not supported on an unknown drive (model byte $" + UpperHex(p.DriveModelByte) +
                 " at $FF40)");
  p.LinkState |= kLinkIecError;
  return false;
}

std::string DetectDiskFormat(Program& p, bool initialise) {
  p.DiskFormat = kDisk1541;
  std::string text = "1541 DISK";
  if (initialise) {
    SendCommand(p, u"I");
    CloseChannel(p, kCommandChannel);
    ReadErrorChannel(p);
    // Two bytes from $0012: the disk ID the initialise read from a sector header.
    ReadDriveMemory(p, IecString(u"M-R\x12") + kIecZero + u"\x02");
    p.DiskId[1] = ReplyByte(p, 0);
    p.DiskId[2] = ReplyByte(p, 1);
  }
  switch (p.DriveFamily) {
    case kFamily1541:
    case kFamily1570:
      // Byte 3 of the BAM, which the DOS keeps at $0700: $80 marks a double-sided disk.
      if (p.LinkState == 0 && p.DosErrorFlag == 0) {
        ReadDriveMemory(p, u"M-R\x03\x07");
        if (ReplyByte(p, 0) == 0x80) {
          p.DiskFormat = kDisk1571DoubleSided;
          text = "1571 DISK ???";
        }
      }
      break;
    case kFamily1571:
      // $02AC holds the highest track + 1: 71 ($47) when the disk is double-sided.
      if (p.LinkState == 0) {
        ReadDriveMemory(p, u"M-R\xAC\x02");
        if (ReplyByte(p, 0) == 0x47) {
          p.DiskFormat = kDisk1571DoubleSided;
          text = "1571 DISK";
        }
      }
      break;
    case kFamily1581:
      p.DiskFormat = kDisk1581;
      text = "1581 DISK";
      break;
    default:
      break;
  }
  return text;
}

void SwitchTo1571Mode(Program& p, const std::string& why) {
  LogLine(p, why + ": switching the 1571 to 1571 mode (U0>M1)");
  SendCommand(p, u"U0>M1");
}

}  // namespace dw
