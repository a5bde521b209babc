#include "link/drive_job.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

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

std::optional<uint8_t> ParseHexField(const std::string& line, size_t column) {
  if (column >= line.size()) return std::nullopt;
  std::string field = line.substr(column, 2);
  while (!field.empty() && std::isspace(static_cast<unsigned char>(field.back()))) field.pop_back();
  if (field.empty()) return std::nullopt;
  int value = 0;
  for (char c : field) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
  }
  return static_cast<uint8_t>(value);
}

std::string CodePrefix(const Program& p) {
  return p.DriveFamily == kFamily1541 ? "1541" : "157x";
}

}  // namespace

int LoadDriveCodeFile(Program& p, const std::string& name, int offset) {
  std::string fileName = name + ".h65";
  std::ifstream file(std::filesystem::current_path() / fileName);
  if (!file) {
    ShowInfoBox(p, "Error: Can't read from file " + fileName);
    return offset;
  }
  int stored = 0;
  std::string line;
  const int capacity = static_cast<int>(p.CommandPacket.size());
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= 4) continue;
    int count = 0;
    // Columns 6, 9, 12, ... (counted from 1) hold the bytes; the address in columns 1-4 only
    // documents where they go, the bytes are placed in file order.
    for (int j = 0; j < kBytesPerLine; ++j) {
      std::optional<uint8_t> value = ParseHexField(line, 5 + 3 * j);
      if (!value) continue;
      int at = offset + stored + j;
      if (at < capacity) p.CommandPacket[at] = *value;
      ++count;
    }
    stored += count;
  }
  // Not a single code byte (an empty file, text that is no drive code): as useless as a file
  // that is missing, and the operation that wanted it ends without a word otherwise.
  if (stored == 0) ShowInfoBox(p, "Error: Can't read from file " + fileName);
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
