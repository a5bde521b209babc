#include "sim/bus/virtual_bus.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "sim/bus/track_faults.h"
#include "sim/bus/virtual_port.h"

namespace sim {

namespace {

constexpr int kPortFailed = -1;
// What the reply faults and the junk fault send.
constexpr size_t kOversizeReplyLength = 40008;
constexpr std::array<uint8_t, 5> kJunkBytes{0xFF, 0x13, 0x00, 0xA5, 0x5A};

// The adapter's answer to a double BREAK, zero bytes around the text.
std::vector<uint8_t> Banner() {
  const std::string text = std::string(2, '\0') + "\r\nBUSLINK V2.0 virtual adapter\r\n" + '\0';
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

VirtualBus::VirtualBus(NowUs nowUs, const BusTiming& timing)
    : nowUs_(std::move(nowUs)), timing_(timing), adapter_(drives_, timing_), line_(timing_) {
  nowNs_ = nowUs_() * kNsPerUs;
}

VirtualBus::~VirtualBus() {
  if (port_ != nullptr) port_->Detach();
}

std::unique_ptr<dw::SerialPort> VirtualBus::OpenPort() {
  Advance();
  if (!plugged_ || port_ != nullptr) return nullptr;
  auto port = std::make_unique<VirtualPort>(this);
  port_ = port.get();
  ResetLink();
  return port;
}

void VirtualBus::PortClosed(VirtualPort* port) {
  if (port_ != port) return;
  port_ = nullptr;
  ResetLink();
}

void VirtualBus::ResetLink() {
  line_.Clear();
  receiving_ = false;
  packet_.clear();
  breakOn_ = false;
  secondBreak_ = false;
  bytesSinceBreak_ = false;
  lastBreakEndNs_ = -1;
}

VirtualDrive* VirtualBus::AddDrive(int device, const DriveModel& model, bool fastSerialDriver,
                                   double rpm) {
  if (device < kFirstDevice || device > kLastDevice) return nullptr;
  drives_[device - kFirstDevice] =
      std::make_unique<VirtualDrive>(device, model, fastSerialDriver, rpm, timing_);
  return drives_[device - kFirstDevice].get();
}

VirtualDrive* VirtualBus::drive(int device) const {
  if (device < kFirstDevice || device > kLastDevice) return nullptr;
  return drives_[device - kFirstDevice].get();
}

Dos* VirtualBus::dos(int device) const {
  VirtualDrive* found = drive(device);
  return found != nullptr ? &found->dos() : nullptr;
}

Disk* VirtualBus::disk(int device) const {
  VirtualDrive* found = drive(device);
  return found != nullptr ? found->disk() : nullptr;
}

bool VirtualBus::SaveDisk(int device, const std::string& path, std::string* error) const {
  VirtualDrive* found = drive(device);
  if (found == nullptr || found->heldDisk() == nullptr) {
    *error = "drive " + std::to_string(device) + " holds no disk";
    return false;
  }
  return found->heldDisk()->Save(path, error);
}

bool VirtualBus::SaveDisks(std::string* error) const {
  for (const std::unique_ptr<VirtualDrive>& found : drives_) {
    if (found == nullptr || found->heldDisk() == nullptr || found->imagePath().empty()) continue;
    if (!found->heldDisk()->Save(found->imagePath(), error)) return false;
  }
  return true;
}

bool VirtualBus::Accepts(const Fault& fault) const {
  if (FaultNeedsDevice(fault.kind) && drive(fault.device) == nullptr) return false;
  return !FaultNeedsTrack(fault.kind) || HasGcrTrack(drive(fault.device)->heldDisk(), fault.track);
}

bool VirtualBus::Inject(const Fault& fault) {
  Advance();
  if (!Accepts(fault)) return false;
  ApplyFault(fault);
  return true;
}

bool VirtualBus::InjectAt(int64_t atUs, const Fault& fault) {
  if (!Accepts(fault)) return false;
  PendingFault pending{atUs * kNsPerUs, fault};
  auto later =
      std::upper_bound(faults_.begin(), faults_.end(), pending.atNs,
                       [](int64_t atNs, const PendingFault& other) { return atNs < other.atNs; });
  faults_.insert(later, pending);
  Advance();
  return true;
}

void VirtualBus::ApplyFault(const Fault& fault) {
  VirtualDrive* target = drive(fault.device);
  switch (fault.kind) {
    case FaultKind::kPowerOff:
      target->SetPower(false);
      break;
    case FaultKind::kPowerOn:
      target->SetPower(true);
      break;
    case FaultKind::kUnplug:
      plugged_ = false;
      if (port_ != nullptr) port_->Detach();
      port_ = nullptr;
      ResetLink();
      break;
    case FaultKind::kReplug:
      if (!plugged_) adapter_.Restart();
      plugged_ = true;
      break;
    case FaultKind::kEject:
      target->Eject();
      break;
    case FaultKind::kInsert:
      target->Reinsert();
      break;
    case FaultKind::kProtect:
      target->SetWriteProtected(true);
      break;
    case FaultKind::kUnprotect:
      target->SetWriteProtected(false);
      break;
    case FaultKind::kSilentReply:
      ++silentReplies_;
      break;
    case FaultKind::kWrongEcho:
      ++wrongEchoReplies_;
      break;
    case FaultKind::kOversizeReply:
      ++oversizeReplies_;
      break;
    case FaultKind::kJunkInInput:
      line_.Transmit(nowNs_, std::vector<uint8_t>(kJunkBytes.begin(), kJunkBytes.end()));
      break;
    case FaultKind::kJunkAheadReply:
      ++junkAheadReplies_;
      break;
    case FaultKind::kUnformatTrack:
      if (target->heldDisk() != nullptr) UnformatTrack(*target->heldDisk(), fault.track);
      break;
    case FaultKind::kWrongRateTrack:
      if (target->heldDisk() != nullptr) RecordTrackAtWrongRate(*target->heldDisk(), fault.track);
      break;
    case FaultKind::kPullDuringJob:
      target->mechanics().PullDiskDuringNextJob();
      break;
    case FaultKind::kCodeHang:
      target->mechanics().HangCode();
      break;
    case FaultKind::kMotorStop:
    case FaultKind::kMotorStart:
      target->mechanics().SetMotorStopped(fault.kind == FaultKind::kMotorStop);
      break;
  }
}

void VirtualBus::Advance() {
  nowNs_ = std::max(nowNs_, nowUs_() * kNsPerUs);
  constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
  for (;;) {
    int64_t faultAt = faults_.empty() ? kNever : faults_.front().atNs;
    bool packetWaiting = receiving_ && !breakOn_ && !packet_.empty();
    int64_t packetAt = packetWaiting ? packetEndNs_ + timing_.packetIdleUs * kNsPerUs : kNever;
    int64_t next = std::min(faultAt, packetAt);
    if (next > nowNs_) break;
    // Bytes that arrived before the event are in the PC's buffer before it happens.
    line_.Deliver(next);
    if (faultAt <= packetAt) {
      Fault fault = faults_.front().fault;
      faults_.erase(faults_.begin());
      ApplyFault(fault);
    } else {
      TakePacket(packetAt);
    }
  }
  line_.Deliver(nowNs_);
}

void VirtualBus::TakePacket(int64_t atNs) {
  receiving_ = false;
  std::vector<uint8_t> packet = std::move(packet_);
  packet_.clear();
  std::optional<AdapterReply> reply = adapter_.Handle(packet, atNs / kNsPerUs);
  if (!reply) return;
  SendReply(std::move(reply->bytes), atNs + (timing_.turnaroundUs + reply->workUs) * kNsPerUs);
}

void VirtualBus::SendReply(std::vector<uint8_t> bytes, int64_t startNs) {
  if (silentReplies_ > 0) {
    --silentReplies_;
    return;
  }
  if (wrongEchoReplies_ > 0) {
    --wrongEchoReplies_;
    bytes.back() = static_cast<uint8_t>(~bytes.back());
  }
  // Noise on the quiet line while the adapter works reaches the PC before the reply does.
  if (junkAheadReplies_ > 0) {
    --junkAheadReplies_;
    bytes.insert(bytes.begin(), kJunkBytes.begin(), kJunkBytes.end());
  }
  if (replyPadding_ > 0 && bytes.size() >= kReplyTrailerLength) {
    bytes.insert(bytes.end() - kReplyTrailerLength, static_cast<size_t>(replyPadding_), 0x00);
  }
  if (oversizeReplies_ > 0 && bytes.size() < kOversizeReplyLength) {
    --oversizeReplies_;
    bytes.insert(bytes.end() - kReplyTrailerLength, kOversizeReplyLength - bytes.size(), 0x00);
  }
  line_.Transmit(startNs, std::move(bytes));
}

int VirtualBus::PortBytesWaiting() {
  Advance();
  return port_ != nullptr ? line_.waiting() : kPortFailed;
}

int VirtualBus::PortRead(uint8_t* buffer, int maxBytes) {
  Advance();
  return port_ != nullptr ? line_.Read(buffer, maxBytes) : kPortFailed;
}

int VirtualBus::PortWrite(const uint8_t* data, int count) {
  Advance();
  if (port_ == nullptr) return kPortFailed;
  if (count <= 0) return 0;
  int64_t startNs = std::max(nowNs_, hostLineFreeNs_);
  hostLineFreeNs_ = startNs + LinkBytesNs(timing_, count);
  // A line held in BREAK carries no bytes; without a BREAK first the adapter is not listening.
  if (breakOn_ || !receiving_) return count;
  packet_.insert(packet_.end(), data, data + count);
  packetEndNs_ = hostLineFreeNs_;
  bytesSinceBreak_ = true;
  return count;
}

void VirtualBus::PortSetBreak(bool on) {
  Advance();
  if (port_ == nullptr || on == breakOn_) return;
  // The break follows the bytes still on their way to the adapter.
  int64_t atNs = std::max(nowNs_, hostLineFreeNs_);
  if (on) {
    breakOn_ = true;
    line_.StopTransmitting(atNs);
    secondBreak_ = lastBreakEndNs_ >= 0 && !bytesSinceBreak_ &&
                   atNs - lastBreakEndNs_ <= timing_.doubleBreakWindowUs * kNsPerUs;
    receiving_ = false;
    packet_.clear();
    return;
  }
  breakOn_ = false;
  hostLineFreeNs_ = atNs;
  receiving_ = true;
  bytesSinceBreak_ = false;
  if (secondBreak_) {
    secondBreak_ = false;
    lastBreakEndNs_ = -1;
    line_.Transmit(atNs + timing_.bannerDelayUs * kNsPerUs, Banner());
  } else {
    lastBreakEndNs_ = atNs;
  }
}

}  // namespace sim
