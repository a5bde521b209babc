#pragma once
// The host side of the virtual bus tests: packets framed as the program frames them, sent and
// received byte by byte through the port, on a virtual clock the test moves by hand. Uses no
// program code: the bus must stand on its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bus/virtual_bus.h"

namespace sim::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

struct Reply {
  Bytes raw;        // everything that arrived
  Bytes data;       // the first L bytes
  int length = -1;  // L
  int status = -1;  // IEC status
  int echo = -1;
};

inline Bytes Packet(uint8_t opcode, int device, int sa, const Bytes& payload = {}) {
  Bytes packet{opcode, static_cast<uint8_t>(4 + payload.size()), static_cast<uint8_t>(device),
               static_cast<uint8_t>(sa)};
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}
inline Bytes OpenPacket(int device, int sa, std::string_view name) {
  return Packet(0x01, device, sa, ToBytes(name));
}
inline Bytes ClosePacket(int device, int sa) {
  return Packet(0x02, device, sa);
}
inline Bytes WritePacket(int device, int sa, const Bytes& data) {
  return Packet(0x03, device, sa, data);
}
inline Bytes ReadPacket(int device, int sa, int count) {
  return Packet(0x04, device, sa, {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)});
}
inline Bytes ResetPacket() {
  return {0xFF, 0x02};
}
inline Bytes JobPacket(uint8_t opcode, uint8_t sub, uint8_t p1 = 0, uint8_t p2 = 0) {
  return {opcode, 0x08, sub, p1, p2, 0, 0, 0xAA};
}

class TestLink {
 public:
  explicit TestLink(const std::string& description) {
    std::string error;
    bus_ = VirtualBus::FromDescription(
        description, [this] { return nowUs_; }, &error);
    EXPECT_NE(bus_, nullptr) << error;
    if (bus_) port_ = bus_->OpenPort();
  }

  VirtualBus& bus() { return *bus_; }
  dw::SerialPort& port() { return *port_; }
  void ClosePort() { port_.reset(); }
  bool Reopen() {
    port_ = bus_->OpenPort();
    return port_ != nullptr;
  }
  int64_t now() const { return nowUs_; }
  void Sleep(int64_t us) { nowUs_ += us; }
  void SleepUntil(int64_t us) { nowUs_ = std::max(nowUs_, us); }

  void BreakPulse() {
    port_->SetBreak(true);
    Sleep(1000);
    port_->SetBreak(false);
    Sleep(1000);
  }
  // What is waiting now, read one byte at a time.
  Bytes Drain() {
    Bytes bytes;
    uint8_t byte = 0;
    while (port_->BytesWaiting() > 0 && port_->Read(&byte, 1) == 1) bytes.push_back(byte);
    return bytes;
  }
  // The program's exchange: BREAK, discard, write, read in 1 ms steps until n + 4 bytes came
  // (at most timeoutUs), then take everything that arrived within `settleUs` more. The bytes
  // are read as they come: the port shows only 4095 at a time.
  Reply Exchange(const Bytes& packet, int n, int64_t timeoutUs = 5'000'000,
                 int64_t settleUs = 5000) {
    BreakPulse();
    Drain();
    EXPECT_EQ(port_->Write(packet.data(), static_cast<int>(packet.size())),
              static_cast<int>(packet.size()));
    Reply reply;
    for (int64_t waited = 0; waited < timeoutUs; waited += 1000) {
      Bytes arrived = Drain();
      reply.raw.insert(reply.raw.end(), arrived.begin(), arrived.end());
      if (static_cast<int>(reply.raw.size()) >= n + 4) break;
      Sleep(1000);
    }
    Sleep(settleUs);
    Bytes rest = Drain();
    reply.raw.insert(reply.raw.end(), rest.begin(), rest.end());
    size_t size = reply.raw.size();
    if (size >= 4) {
      reply.length = reply.raw[size - 4] | reply.raw[size - 3] << 8;
      reply.status = reply.raw[size - 2];
      reply.echo = reply.raw[size - 1];
      size_t length = std::min(static_cast<size_t>(reply.length), size - 4);
      reply.data.assign(reply.raw.begin(), reply.raw.begin() + static_cast<long>(length));
    }
    return reply;
  }

  // Channel 15 as the program uses it.
  Reply Command(int device, std::string_view text) {
    return Exchange(WritePacket(device, 15, ToBytes(text)), 16);
  }
  Reply ReadChannel(int device, int sa, int count) {
    return Exchange(ReadPacket(device, sa, count), count);
  }
  std::string ErrorChannel(int device) {
    Reply reply = ReadChannel(device, 15, 64);
    return std::string(reply.data.begin(), reply.data.end());
  }
  Bytes MemoryRead(int device, uint16_t address, int count) {
    Command(device, std::string("M-R") + static_cast<char>(address & 0xFF) +
                        static_cast<char>(address >> 8) + static_cast<char>(count));
    return ReadChannel(device, 15, 64).data;
  }

 private:
  int64_t nowUs_ = 0;
  std::unique_ptr<VirtualBus> bus_;
  std::unique_ptr<dw::SerialPort> port_;
};

// A disk image made by cc1541 (an independent tool) in the test's temp folder; empty when the
// tool is missing.
// Named after the running test too: ctest runs the tests side by side, and two of them making
// the same file would write it under each other's feet.
inline std::string MakeImage(const std::string& fileName, const std::string& id) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string owner =
      test == nullptr ? "" : std::string(test->test_suite_name()) + "." + test->name() + "_";
  // Parameterised tests are named "Suite/Case.Test/3": no folders, no blanks in the name.
  std::replace_if(
      owner.begin(), owner.end(), [](char c) { return c == '/' || c == ' '; }, '-');
  std::string path = testing::TempDir() + "/bus_" + owner + fileName;
  std::remove(path.c_str());
  std::string command = "cc1541 -q -n TESTDISK -i " + id + " '" + path + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return "";
  return path;
}

#define SKIP_WITHOUT_IMAGE(path) \
  if ((path).empty()) GTEST_SKIP() << "cc1541 is not installed (scripts/setup installs it)"

}  // namespace sim::test
