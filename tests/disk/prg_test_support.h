#pragma once
// A small stand-in for the adapter and one drive, for the directory and PRG tests: it answers
// the channel packets (open, close, write, read) the way the adapter frames them, serves
// named files and the "$" listing on secondary address 0, collects a file saved on secondary
// address 1, answers "M-R" on channel 15 and hands out queued error-channel messages. Every
// packet is recorded, so a test sees exactly what went to the drive. Faults: no reply for a
// chosen packet, a status byte for chosen write packets, a message after open or close.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/program.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "testkit/harness.h"
#include "testkit/scripted_desk.h"
#include "testkit/temp_folder.h"

namespace dw::fake {

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class Adapter {
 public:
  // Files on the disk by name (load address included); "$" is the listing.
  std::map<std::string, std::vector<uint8_t>> files;
  // The file written on secondary address 1, by the name after "@0:", once it was closed.
  std::map<std::string, std::vector<uint8_t>> saved;
  // Error channel text after an open of a file for writing ("" = "00, OK,00,00").
  std::string openWriteMessage;
  // Error channel text after closing the saved file.
  std::string closeWriteMessage;
  // Error channel text for a read on channel 15 (consumed; then "00, OK,00,00").
  std::deque<std::string> errorMessages;
  // Memory of the drive for "M-R" (address -> byte; others read 0).
  std::map<int, uint8_t> memory;
  // Status byte of the reply to the n-th write packet on secondary address 1 (from 1).
  std::map<int, uint8_t> writeStatus;
  // A load that breaks off (a disk pulled out): past this many bytes of the file the drive
  // sends nothing more, and the read answers with this status.
  size_t loadBreaksAfter = SIZE_MAX;
  uint8_t loadBreakStatus = 0x40;
  // Called with every packet; false: the adapter stays silent (the program times out).
  std::function<bool(const std::vector<uint8_t>&)> beforeReply;

  std::vector<std::vector<uint8_t>> packets;  // everything the program sent

  // Packets of one opcode and secondary address.
  std::vector<std::vector<uint8_t>> PacketsOf(uint8_t opcode, uint8_t sa) const {
    std::vector<std::vector<uint8_t>> found;
    for (const auto& packet : packets) {
      if (packet.size() >= 4 && packet[0] == opcode && packet[3] == sa) found.push_back(packet);
    }
    return found;
  }

  // One packet in, the framed reply out (nothing when silent).
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& packet) {
    packets.push_back(packet);
    if (beforeReply && !beforeReply(packet)) return {};
    if (packet.size() < 4) return {};
    uint8_t opcode = packet[0];
    uint8_t sa = packet[3];
    std::string text(packet.begin() + 4, packet.end());
    switch (opcode) {
      case 0x01:
        Open(sa, text);
        return Frame(opcode, {}, 16, 0x00);
      case 0x02:
        Close(sa);
        return Frame(opcode, {}, 16, 0x00);
      case 0x03:
        return Frame(opcode, {}, 16, Write(sa, text));
      case 0x04: {
        int count = packet[4] * 256 + packet[5];
        uint8_t status = 0;
        std::vector<uint8_t> data = Read(sa, count, status);
        return Frame(opcode, data, count, status);
      }
      default:
        return Frame(opcode, {}, 16, 0x00);
    }
  }

 private:
  static std::vector<uint8_t> Frame(uint8_t opcode, const std::vector<uint8_t>& data, int n,
                                    uint8_t status) {
    std::vector<uint8_t> reply = data;
    if (static_cast<int>(reply.size()) < n) reply.resize(n, 0);
    reply.push_back(static_cast<uint8_t>(data.size() & 0xFF));
    reply.push_back(static_cast<uint8_t>(data.size() >> 8));
    reply.push_back(status);
    reply.push_back(opcode);
    return reply;
  }

  void SetMessage(const std::string& text) {
    message_ = text.empty() ? "00, OK,00,00" : text;
    memoryReply_.clear();
  }

  void Open(uint8_t sa, const std::string& name) {
    if (sa == 0) {
      auto it = files.find(name);
      loading_ = it == files.end() ? std::vector<uint8_t>() : it->second;
      loadOpen_ = it != files.end();
      loadPos_ = 0;
      SetMessage(loadOpen_ ? "" : "62, FILE NOT FOUND,00,00");
    } else if (sa == 1) {
      saveName_ = name.rfind("@0:", 0) == 0 ? name.substr(3) : name;
      saving_.clear();
      saveOpen_ = openWriteMessage.empty();
      writePackets_ = 0;
      SetMessage(openWriteMessage);
    }
  }

  void Close(uint8_t sa) {
    if (sa == 0) loadOpen_ = false;
    if (sa == 1 && saveOpen_) {
      saved[saveName_] = saving_;
      saveOpen_ = false;
      SetMessage(closeWriteMessage);
    }
  }

  uint8_t Write(uint8_t sa, const std::string& bytes) {
    if (sa == 15 && bytes.rfind("M-R", 0) == 0 && bytes.size() >= 5) {
      int address = static_cast<uint8_t>(bytes[3]) + 256 * static_cast<uint8_t>(bytes[4]);
      int count = bytes.size() > 5 ? static_cast<uint8_t>(bytes[5]) : 1;
      memoryReply_.clear();
      for (int i = 0; i < count; ++i) memoryReply_.push_back(memory[address + i]);
      return 0;
    }
    if (sa == 1 && saveOpen_) {
      saving_.insert(saving_.end(), bytes.begin(), bytes.end());
      auto it = writeStatus.find(++writePackets_);
      return it == writeStatus.end() ? 0 : it->second;
    }
    return 0;
  }

  std::vector<uint8_t> Read(uint8_t sa, int count, uint8_t& status) {
    std::vector<uint8_t> data;
    if (sa == 15) {
      if (!memoryReply_.empty()) {
        data.swap(memoryReply_);
      } else {
        std::string text = message_;
        if (!errorMessages.empty()) {
          text = errorMessages.front();
          errorMessages.pop_front();
        }
        data = Bytes(text + "\r");
        message_ = "00, OK,00,00";
      }
      status = 0x40;
      return data;
    }
    if (sa != 0 || !loadOpen_ || loadPos_ >= loading_.size()) {
      // Nothing to send: the drive answers the talk request with end and timeout at once.
      status = 0x42;
      return data;
    }
    if (loadPos_ >= loadBreaksAfter) {
      status = loadBreakStatus;
      return data;
    }
    size_t take = std::min(
        {loading_.size() - loadPos_, static_cast<size_t>(count), loadBreaksAfter - loadPos_});
    auto from = loading_.begin() + static_cast<std::ptrdiff_t>(loadPos_);
    data.assign(from, from + static_cast<std::ptrdiff_t>(take));
    loadPos_ += take;
    status = loadPos_ == loading_.size() ? 0x40 : 0x00;
    return data;
  }

  std::string message_ = "00, OK,00,00";
  std::vector<uint8_t> memoryReply_;
  std::vector<uint8_t> loading_;
  size_t loadPos_ = 0;
  bool loadOpen_ = false;
  std::string saveName_;
  std::vector<uint8_t> saving_;
  bool saveOpen_ = false;
  int writePackets_ = 0;
};

// The adapter behind the link port: replies are complete as soon as a packet is written.
class Port final : public SerialPort {
 public:
  explicit Port(Adapter& adapter) : adapter_(adapter) {}
  int BytesWaiting() override { return static_cast<int>(pending_.size()); }
  int Read(uint8_t* buffer, int maxBytes) override {
    int count = std::min(maxBytes, static_cast<int>(pending_.size()));
    for (int i = 0; i < count; ++i) {
      buffer[i] = pending_.front();
      pending_.pop_front();
    }
    return count;
  }
  int Write(const uint8_t* data, int count) override {
    std::vector<uint8_t> reply = adapter_.Answer(std::vector<uint8_t>(data, data + count));
    pending_.insert(pending_.end(), reply.begin(), reply.end());
    return count;
  }
  void SetBreak(bool) override {}

 private:
  Adapter& adapter_;
  std::deque<uint8_t> pending_;
};

// A listing as the 1541 DOS sends it for LOAD "$": load address, header, file lines, the
// free-blocks line, two zero bytes.
struct ListedFile {
  int blocks = 0;
  std::string name;
  std::string type = "PRG";
};
inline std::vector<uint8_t> Listing(const std::string& diskName, const std::string& idAndType,
                                    const std::vector<ListedFile>& entries, int freeBlocks) {
  std::vector<uint8_t> bytes{0x01, 0x04};
  auto line = [&bytes](int number, const std::vector<uint8_t>& text) {
    bytes.insert(bytes.end(), {0x01, 0x01, static_cast<uint8_t>(number & 0xFF),
                               static_cast<uint8_t>(number >> 8)});
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  };
  std::string name = diskName;
  name.resize(16, ' ');
  std::vector<uint8_t> header{0x12};
  for (uint8_t b : Bytes("\"" + name + "\" " + idAndType)) header.push_back(b);
  line(0, header);
  for (const auto& entry : entries) {
    int lead = entry.blocks < 10 ? 3 : entry.blocks < 100 ? 2 : 1;
    std::string text(static_cast<size_t>(lead), ' ');
    text += "\"" + entry.name + "\"";
    text.resize(static_cast<size_t>(lead) + 18, ' ');
    text += " " + entry.type + " ";
    text.resize(27, ' ');
    line(entry.blocks, Bytes(text));
  }
  line(freeBlocks, Bytes("BLOCKS FREE.             "));
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

using TempDir = TempFolder;

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A PRG: load address, then count - 2 program bytes of a pattern.
inline std::vector<uint8_t> Prg(size_t count, uint16_t loadAddress = 0x0801) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  if (count > 0) bytes[0] = static_cast<uint8_t>(loadAddress & 0xFF);
  if (count > 1) bytes[1] = static_cast<uint8_t>(loadAddress >> 8);
  return bytes;
}

// No port answers: there is no adapter.
using NoPorts = VirtualPortOpener;

// A Program whose link port reaches the stand-in adapter, with a 1541-II selected.
struct Bench {
  Bench() {
    p.LinkPort = std::make_unique<Port>(drive);
    p.CurrentDevice = 8;
    p.DriveFamily = 0;
    p.DriveModelName = "1541-II+";
    p.FastSerialDriver = 1;
  }
  bool Logged(const std::string& text) const { return desk.Logged(text); }
  std::vector<std::string> Texts() const { return desk.logTexts(); }

  Adapter drive;
  VirtualClock clock;
  ScriptedDesk desk{clock};
  NoPorts ports;
  Program p{desk, clock, ports};
};

}  // namespace dw::fake
