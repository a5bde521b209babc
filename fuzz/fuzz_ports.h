#pragma once
// Serial ports whose replies come from the fuzz input instead of an adapter.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/serial_port.h"

namespace dw::fuzz {

// Raw bytes, framed by nothing: when opened and after every packet written, the next segment of
// the input arrives (two length bytes, one piece-size byte, then the bytes) and is read in pieces
// of that size (0: all at once; 255: the port fails as an unplugged USB adapter does).
class PieceFedPort final : public SerialPort {
 public:
  explicit PieceFedPort(FuzzInput& input);
  int BytesWaiting() override;
  int Read(uint8_t* buffer, int maxBytes) override;
  int Write(const uint8_t* data, int count) override;
  void SetBreak(bool) override {}

 private:
  void ReleaseSegment();

  FuzzInput& input_;
  std::deque<uint8_t> waiting_;
  int pieceSize_ = 0;
  bool failing_ = false;
};

// What the adapter answers to one packet: the data bytes and the IEC status.
struct FramedReply {
  std::vector<uint8_t> data;
  uint8_t status = 0;
};
// No reply: the adapter stays silent.
using ReplySource = std::function<std::optional<FramedReply>(const std::vector<uint8_t>& packet)>;

// Answers every packet as the adapter frames its replies: the data, padded with zeros to the
// length the packet asks for, then the data length, the IEC status and the opcode's echo.
class FramedReplyPort final : public SerialPort {
 public:
  explicit FramedReplyPort(ReplySource source) : source_(std::move(source)) {}
  int BytesWaiting() override { return static_cast<int>(waiting_.size()); }
  int Read(uint8_t* buffer, int maxBytes) override;
  int Write(const uint8_t* data, int count) override;
  void SetBreak(bool) override {}

 private:
  ReplySource source_;
  std::deque<uint8_t> waiting_;
};

// Every reply from the input: a status byte, two length bytes, then the data; silence once the
// input is used up.
std::optional<FramedReply> TakeFramedReply(FuzzInput& input);

// Opens one port on COM0.
class SinglePortOpener final : public PortOpener {
 public:
  explicit SinglePortOpener(std::function<std::unique_ptr<SerialPort>()> make)
      : make_(std::move(make)) {}
  std::unique_ptr<SerialPort> Open(int number) override {
    return number == 0 && make_ ? make_() : nullptr;
  }

 private:
  std::function<std::unique_ptr<SerialPort>()> make_;
};

}  // namespace dw::fuzz
