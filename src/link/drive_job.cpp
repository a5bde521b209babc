#include "link/drive_job.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "core/log.h"
#include "link/exchange.h"

namespace dw {

namespace {

constexpr int kPageSize = 256;
constexpr int kBytesPerLine = 16;
constexpr int kJobPacketLength = 8;
constexpr uint8_t kJobPacketEnd = 0xAA;

struct JobPacket {
  uint8_t opcode;
  uint8_t subFunction;
};

// Opcode and sub-function byte of each job the drive code carries out.
std::optional<JobPacket> JobFor(int function) {
  switch (function) {
    case 1:
      return JobPacket{kOpMemoryJob, 0x00};
    case 2:
      return JobPacket{kOpMemoryJob, 0x01};
    case 5:
      return JobPacket{kOpReadJob, 0x05};
    case 6:
      return JobPacket{kOpWriteTrackJob, 0x81};
    case 7:
      return JobPacket{kOpSpeedJob, 0x06};
    case 8:
      return JobPacket{kOpReadJob, 0x08};
    default:
      return std::nullopt;
  }
}

// One byte field of a record line. Absent past the line's end or where the line holds only
// blanks; text there that is no hexadecimal byte makes the record unreadable.
struct HexField {
  enum Kind { kAbsent, kByte, kNotHex } kind = kAbsent;
  uint8_t value = 0;
};

HexField ParseHexField(const std::string& line, size_t column) {
  if (column >= line.size()) return {};
  std::string field = line.substr(column, 2);
  while (!field.empty() && std::isspace(static_cast<unsigned char>(field.back()))) field.pop_back();
  if (field.empty()) return {};
  int value = 0;
  for (char c : field) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {HexField::kNotHex};
    value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
  }
  return {HexField::kByte, static_cast<uint8_t>(value)};
}

// The bytes of one record line, or nothing when a field is no byte or a byte follows a gap:
// either would move every later byte of the code away from the place it was written for.
std::optional<std::vector<uint8_t>> RecordBytes(const std::string& line) {
  std::vector<uint8_t> bytes;
  bool gap = false;
  // Columns 6, 9, 12, ... (counted from 1) hold the bytes.
  for (int j = 0; j < kBytesPerLine; ++j) {
    const HexField field = ParseHexField(line, static_cast<size_t>(5 + 3 * j));
    if (field.kind == HexField::kAbsent) {
      gap = true;
      continue;
    }
    if (field.kind == HexField::kNotHex || gap) return std::nullopt;
    bytes.push_back(field.value);
  }
  return bytes;
}

int RefuseCodeFile(Program& p, const std::string& fileName, int offset) {
  ShowInfoBox(p, "Error: Can't read from file " + fileName);
  return offset;
}

std::string CodePrefix(const Program& p) {
  return p.DriveFamily == kFamily1541 ? "1541" : "157x";
}

}  // namespace

int LoadDriveCodeFile(Program& p, const std::string& name, int offset) {
  const std::string fileName = name + ".h65";
  // The working folder may have been removed under the program.
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  if (error) return RefuseCodeFile(p, fileName, offset);
  std::ifstream file(folder / fileName);
  if (!file) return RefuseCodeFile(p, fileName, offset);
  int stored = 0;
  std::string line;
  const int capacity = static_cast<int>(p.CommandPacket.size());
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= 4) continue;
    // The address in columns 1-4 only documents where the bytes go; they are placed in file
    // order.
    const std::optional<std::vector<uint8_t>> bytes = RecordBytes(line);
    if (!bytes) return RefuseCodeFile(p, fileName, offset);
    for (uint8_t value : *bytes) {
      if (offset + stored < capacity) p.CommandPacket[static_cast<size_t>(offset + stored)] = value;
      ++stored;
    }
  }
  // Not a single code byte (an empty file, text that is no drive code): as useless as a file
  // that is missing, and the operation that wanted it ends without a word otherwise.
  if (stored == 0) return RefuseCodeFile(p, fileName, offset);
  return offset + stored;
}

void UploadPages(Program& p, std::span<const uint8_t> bytes, int pages) {
  const int capacity = static_cast<int>(p.CommandPacket.size()) - 3;
  pages = std::clamp(pages, 0, capacity / kPageSize);
  const size_t fits = std::min(bytes.size(), static_cast<size_t>(pages * kPageSize));
  // The bytes may already lie in the packet (read there from a file).
  if (bytes.data() != p.CommandPacket.data() + 3) {
    std::copy_n(bytes.begin(), fits, p.CommandPacket.begin() + 3);
  }
  p.CommandPacket[0] = kOpLoadPages;
  p.CommandPacket[1] = 0x00;
  p.CommandPacket[2] = static_cast<uint8_t>(pages);
  AdapterExchange(p, pages * kPageSize + 3, 16, 200);
}

bool DiskWriteProtected(Program& p) {
  constexpr int kDiskControllerPort = 0x1C00;
  constexpr uint8_t kWriteProtectSense = 0x10;
  const uint8_t port = DriveJob(p, 1, kDiskControllerPort, 0, 0, 0);
  return p.LinkState == 0 && (port & kWriteProtectSense) == 0;
}

uint8_t DriveJob(Program& p, int function, int p1, int p2, int p3, int p4) {
  if (p.LinkState != 0) return 0;
  int replyLength = 16;
  std::vector<uint8_t>& packet = p.CommandPacket;
  if (function == 0) {
    const int codeStart = 3;
    // Never load or start a page whose bytes did not come from the file. The operation that
    // wanted the code ends at once: its jobs would only wait for an answer that never comes.
    if (LoadDriveCodeFile(p, CodePrefix(p) + "_U" + std::to_string(p1), codeStart) == codeStart) {
      p.LinkState |= kLinkIecError;
      return 0;
    }
    packet[0] = kOpLoadPages;
    packet[1] = 0x00;
    packet[2] = 0x01;
    AdapterExchange(p, codeStart + kPageSize, 16, 200);
    packet[0] = kOpStartCode;
    packet[2] = p.CurrentDevice;
    packet[3] = 0x0F;
  } else {
    std::optional<JobPacket> job = JobFor(function);
    if (!job) return 0;
    packet[0] = job->opcode;
    packet[2] = job->subFunction;
    switch (function) {
      case 1:
      case 2:
        packet[3] = static_cast<uint8_t>(p1 & 0xFF);
        packet[4] = static_cast<uint8_t>(p1 / 256);
        if (function == 2) packet[5] = static_cast<uint8_t>(p2);
        break;
      case 5:
        packet[3] = static_cast<uint8_t>(p1);
        packet[4] = static_cast<uint8_t>(p2);
        packet[5] = static_cast<uint8_t>(p3);
        packet[6] = static_cast<uint8_t>(p4);
        replyLength = p1 * kPageSize + 2;
        break;
      case 6:
        packet[3] = static_cast<uint8_t>(p1);
        packet[4] = static_cast<uint8_t>(p2);
        packet[5] = static_cast<uint8_t>(p3);
        break;
      case 7:
        packet[3] = static_cast<uint8_t>(p1);
        break;
      case 8:
        packet[3] = static_cast<uint8_t>(p1);
        packet[4] = static_cast<uint8_t>(p2 & 0xFF);
        packet[5] = static_cast<uint8_t>(p2 / 256);
        replyLength = p1 * kPageSize + 2;
        break;
      default:
        break;
    }
  }
  packet[1] = kJobPacketLength;
  packet[7] = kJobPacketEnd;
  AdapterExchange(p, kJobPacketLength, replyLength, 3);
  return p.ReplyData.empty() ? 0 : p.ReplyData[0];
}

}  // namespace dw
