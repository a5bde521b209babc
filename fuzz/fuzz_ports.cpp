#include "fuzz/fuzz_ports.h"

#include <algorithm>

namespace dw::fuzz {

namespace {

constexpr int kFailingPiece = 255;
constexpr size_t kPlainReplyLength = 16;
constexpr size_t kPageSize = 256;
constexpr size_t kBurstReplyLength = 1 + 20 * kPageSize;

// The data length the program waits for after this packet; the adapter pads up to it.
size_t AskedLength(const std::vector<uint8_t>& packet) {
  if (packet[0] == 0x04 && packet.size() >= 6) {  // channel read: the count in bytes 4 and 5
    return packet[4] * kPageSize + packet[5];
  }
  if (packet[0] == 0x0E && packet.size() >= 4) {  // track read job: pages, the byte-rate count
    return packet[3] * kPageSize + 2;
  }
  if (packet[0] == 0x08) return kBurstReplyLength;  // 1581 burst read
  return kPlainReplyLength;
}

int HandOut(std::deque<uint8_t>& waiting, uint8_t* buffer, int maxBytes) {
  const int count = std::min(maxBytes, static_cast<int>(waiting.size()));
  std::copy_n(waiting.begin(), count, buffer);
  waiting.erase(waiting.begin(), waiting.begin() + count);
  return count;
}

}  // namespace

PieceFedPort::PieceFedPort(FuzzInput& input) : input_(input) {
  ReleaseSegment();
}

void PieceFedPort::ReleaseSegment() {
  if (input_.empty()) return;
  const int length = input_.Word();
  const int piece = input_.Byte();
  failing_ = piece == kFailingPiece;
  pieceSize_ = piece;
  for (uint8_t byte : input_.Bytes(static_cast<size_t>(length))) waiting_.push_back(byte);
}

int PieceFedPort::BytesWaiting() {
  return failing_ ? -1 : static_cast<int>(waiting_.size());
}

int PieceFedPort::Read(uint8_t* buffer, int maxBytes) {
  if (failing_) return -1;
  return HandOut(waiting_, buffer, pieceSize_ > 0 ? std::min(maxBytes, pieceSize_) : maxBytes);
}

int PieceFedPort::Write(const uint8_t*, int count) {
  ReleaseSegment();
  return count;
}

int FramedReplyPort::Read(uint8_t* buffer, int maxBytes) {
  return HandOut(waiting_, buffer, maxBytes);
}

int FramedReplyPort::Write(const uint8_t* data, int count) {
  const std::vector<uint8_t> packet(data, data + std::max(count, 0));
  if (packet.empty()) return count;
  std::optional<FramedReply> answer = source_(packet);
  if (!answer) return count;
  FramedReply& reply = *answer;
  const size_t length = std::min<size_t>(reply.data.size(), 0xFFFF);
  reply.data.resize(std::max(length, AskedLength(packet)), 0);
  waiting_.insert(waiting_.end(), reply.data.begin(), reply.data.end());
  waiting_.push_back(static_cast<uint8_t>(length & 0xFF));
  waiting_.push_back(static_cast<uint8_t>(length >> 8));
  waiting_.push_back(reply.status);
  waiting_.push_back(packet[0]);
  return count;
}

std::optional<FramedReply> TakeFramedReply(FuzzInput& input) {
  if (input.empty()) return std::nullopt;
  FramedReply reply;
  reply.status = input.Byte();
  const int length = input.Word();
  const auto bytes = input.Bytes(static_cast<size_t>(length));
  reply.data.assign(bytes.begin(), bytes.end());
  return reply;
}

}  // namespace dw::fuzz
