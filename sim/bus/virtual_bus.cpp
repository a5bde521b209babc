#include "sim/bus/virtual_bus.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "sim/bus/protocol.h"
#include "sim/bus/track_faults.h"
#include "sim/bus/virtual_port.h"

namespace sim {

namespace {

constexpr int kPortFailed = -1;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
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
  if (fault.kind == FaultKind::kBadWrite) {
    return HasSector(drive(fault.device)->heldDisk(), fault.track, fault.sector);
  }
  if (fault.kind == FaultKind::kGarbledWrite) {
    const Disk* disk = drive(fault.device)->heldDisk();
    return disk != nullptr && !disk->IsGcr() && HasSector(disk, fault.track, fault.sector);
  }
  if (fault.kind == FaultKind::kWeakSector) {
    return HasSectorToWeaken(drive(fault.device)->heldDisk(), fault.track, fault.sector);
  }
  return !FaultNeedsTrack(fault.kind) || HasGcrTrack(drive(fault.device)->heldDisk(), fault.track);
}

bool VirtualBus::Inject(const Fault& fault) {
  Advance();
  if (!Accepts(fault)) return false;
  ApplyFault(fault, nowNs_);
  return true;
}

bool VirtualBus::InjectAt(int64_t atUs, const Fault& fault) {
  if (!Accepts(fault)) return false;
  Schedule(atUs * kNsPerUs, fault);
  Advance();
  return true;
}

void VirtualBus::Schedule(int64_t atNs, const Fault& fault) {
  auto later =
      std::upper_bound(faults_.begin(), faults_.end(), atNs,
                       [](int64_t at, const PendingFault& other) { return at < other.atNs; });
  faults_.insert(later, PendingFault{atNs, fault});
}

void VirtualBus::ApplyFault(const Fault& fault, int64_t atNs) {
  VirtualDrive* target = drive(fault.device);
  switch (fault.kind) {
    case FaultKind::kPowerOff:
      Interrupt(target, atNs, Interruption::kPowerOff);
      target->SetPower(false);
      break;
    case FaultKind::kPowerOn:
      target->SetPower(true, atNs / kNsPerUs);
      break;
    case FaultKind::kUnplug:
      InterruptAll(atNs, Interruption::kAdapterGone);
      deferred_.reset();
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
      Interrupt(target, atNs, Interruption::kDiskOut);
      target->Eject();
      break;
    case FaultKind::kInsert:
      target->Reinsert();
      break;
    case FaultKind::kProtect:
      Interrupt(target, atNs, Interruption::kProtected);
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
      line_.Transmit(atNs, std::vector<uint8_t>(kJunkBytes.begin(), kJunkBytes.end()));
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
    case FaultKind::kWeakSector:
      if (target->heldDisk() != nullptr) {
        WeakenSector(*target->heldDisk(), fault.track, fault.sector);
      }
      break;
    case FaultKind::kPullDuringJob:
      target->mechanics().PullDiskDuringNextJob(fault.fraction);
      break;
    case FaultKind::kCodeHang:
      target->mechanics().HangCode();
      break;
    case FaultKind::kMotorStop:
      Interrupt(target, atNs, Interruption::kMotorStop);
      target->mechanics().SetMotorStopped(true);
      break;
    case FaultKind::kMotorStart:
      target->mechanics().SetMotorStopped(false);
      break;
    case FaultKind::kStuckWrite:
      target->mechanics().StickWriteGate(fault.fraction);
      break;
    case FaultKind::kNoAnswer:
      adapter_.AnswerNextReadWith(kIecNoAnswer);
      break;
    case FaultKind::kReadTimeout:
      adapter_.AnswerNextReadWith(kIecReadTimeout);
      break;
    case FaultKind::kBusWait:
      busWaitUs_ = fault.durationUs;
      break;
    case FaultKind::kBadWrite:
      // A GCR drive lays the track down as its code writes it; the 1581 lays its sectors down
      // when the track cache goes back to the disk.
      if (target->heldDisk() != nullptr && target->heldDisk()->IsGcr()) {
        target->mechanics().SpoilNextWrite(fault.track, fault.sector);
      } else {
        target->trackCache().SpoilWriteBack(fault.track, fault.sector, false);
      }
      break;
    case FaultKind::kGarbledWrite:
      target->trackCache().SpoilWriteBack(fault.track, fault.sector, true);
      break;
  }
}

void VirtualBus::Advance() {
  nowNs_ = std::max(nowNs_, nowUs_() * kNsPerUs);
  for (;;) {
    const int64_t faultAt = faults_.empty() ? kNever : faults_.front().atNs;
    const bool packetWaiting = receiving_ && !breakOn_ && !packet_.empty();
    const int64_t packetAt =
        packetWaiting ? packetEndNs_ + timing_.packetIdleUs * kNsPerUs : kNever;
    const int64_t deferredAt = deferred_ ? deferred_->atNs : kNever;
    const int64_t workAt = NextWorkEndNs();
    const int64_t next = std::min({faultAt, packetAt, deferredAt, workAt});
    if (next > nowNs_) break;
    // Bytes that arrived before the event are in the PC's buffer before it happens.
    line_.Deliver(next);
    if (workAt == next) {
      FinishWorksAt(next);
    } else if (faultAt == next) {
      Fault fault = faults_.front().fault;
      faults_.erase(faults_.begin());
      ApplyFault(fault, next);
    } else if (deferredAt == next) {
      const std::vector<uint8_t> packet = std::move(deferred_->bytes);
      deferred_.reset();
      CarryOut(packet, next);
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
  // In its bus wait the adapter does not see the bytes come.
  if (atNs < adapterBusyUntilNs_) return;
  // The adapter waits on the bus until the drive is free for it.
  const int64_t freeNs = adapter_.AddresseeFreeUs(packet) * kNsPerUs;
  if (freeNs > atNs) {
    deferred_ = DeferredPacket{std::move(packet), freeNs};
    return;
  }
  CarryOut(packet, atNs);
}

void VirtualBus::CarryOut(const std::vector<uint8_t>& packet, int64_t atNs) {
  if (Adapter::IsWellFormed(packet) && packet[0] == static_cast<uint8_t>(Opcode::kResetBus)) {
    InterruptAll(atNs, Interruption::kBusReset);
  }
  std::optional<AdapterReply> reply = adapter_.Handle(packet, atNs / kNsPerUs);
  int64_t replyId = 0;
  std::vector<uint8_t> sent;
  if (reply) {
    replyId = SendReply(*reply, atNs + (timing_.turnaroundUs + reply->workUs) * kNsPerUs, &sent);
  }
  AdoptWorks(atNs, reply ? &*reply : nullptr, replyId, std::move(sent));
}

int64_t VirtualBus::SendReply(const AdapterReply& reply, int64_t startNs,
                              std::vector<uint8_t>* sent) {
  if (silentReplies_ > 0) {
    --silentReplies_;
    return 0;
  }
  std::vector<uint8_t> bytes = reply.bytes;
  if (wrongEchoReplies_ > 0) {
    --wrongEchoReplies_;
    bytes.back() = static_cast<uint8_t>(~bytes.back());
  }
  // Noise on the quiet line while the adapter works reaches the PC before the reply does.
  if (junkAheadReplies_ > 0) {
    --junkAheadReplies_;
    line_.Transmit(startNs, std::vector<uint8_t>(kJunkBytes.begin(), kJunkBytes.end()));
  }
  if (replyPadding_ > 0 && bytes.size() >= kReplyTrailerLength) {
    bytes.insert(bytes.end() - kReplyTrailerLength, static_cast<size_t>(replyPadding_), 0x00);
  }
  if (oversizeReplies_ > 0 && bytes.size() < kOversizeReplyLength) {
    --oversizeReplies_;
    bytes.insert(bytes.end() - kReplyTrailerLength, kOversizeReplyLength - bytes.size(), 0x00);
  }
  *sent = bytes;
  const int64_t paceNs =
      reply.dataBytes > 0 ? reply.dataUs * kNsPerUs / static_cast<int64_t>(reply.dataBytes) : 0;
  return line_.Transmit(startNs, std::move(bytes), paceNs, reply.dataBytes);
}

void VirtualBus::AdoptWorks(int64_t atNs, const AdapterReply* reply, int64_t replyId,
                            std::vector<uint8_t> sent) {
  for (const std::unique_ptr<VirtualDrive>& slot : drives_) {
    DriveWork* work = slot != nullptr ? slot->work() : nullptr;
    if (work == nullptr || work->adopted) continue;
    work->adopted = true;
    if (reply != nullptr) {
      work->replyId = replyId;
      work->reply = sent;
      work->replyDataBytes = reply->dataBytes;
      work->replyPaceNs = reply->dataBytes > 0
                              ? reply->dataUs * kNsPerUs / static_cast<int64_t>(reply->dataBytes)
                              : 0;
      // A drive that vanishes while its data still goes out stops the reply.
      work->ExtendTo(atNs / kNsPerUs + timing_.turnaroundUs + reply->workUs + reply->dataUs);
    }
    if (const std::optional<double> pull = slot->mechanics().TakePullDisk()) {
      const double spanUs = static_cast<double>(work->diskEndUs() - work->startUs());
      const auto pullUs = work->startUs() + static_cast<int64_t>(*pull * spanUs);
      Schedule(pullUs * kNsPerUs, Fault{FaultKind::kEject, slot->device()});
    }
  }
}

int64_t VirtualBus::NextWorkEndNs() const {
  int64_t next = kNever;
  for (const std::unique_ptr<VirtualDrive>& slot : drives_) {
    const DriveWork* work = slot != nullptr ? slot->work() : nullptr;
    if (work == nullptr || !work->adopted || work->endUs() == kNeverUs) continue;
    next = std::min(next, work->endUs() * kNsPerUs);
  }
  return next;
}

void VirtualBus::FinishWorksAt(int64_t atNs) {
  for (const std::unique_ptr<VirtualDrive>& slot : drives_) {
    DriveWork* work = slot != nullptr ? slot->work() : nullptr;
    if (work == nullptr || !work->adopted || work->endUs() == kNeverUs ||
        work->endUs() * kNsPerUs > atNs) {
      continue;
    }
    work->Finish();
    slot->EndWork();
  }
}

void VirtualBus::Interrupt(VirtualDrive* target, int64_t atNs, Interruption what) {
  DriveWork* work = target != nullptr ? target->work() : nullptr;
  if (work == nullptr) return;
  const int64_t atUs = atNs / kNsPerUs;
  if (work->endUs() != kNeverUs && atUs >= work->endUs()) {
    work->Finish();
    target->EndWork();
    return;
  }
  const WorkCut cut = work->Interrupt(atUs, what);
  ChangeReply(*work, atNs, cut.reply);
  if (cut.over) target->EndWork();
  // A drive the cut freed takes the packet that waited for it.
  if (deferred_) {
    const int64_t freeNs = adapter_.AddresseeFreeUs(deferred_->bytes) * kNsPerUs;
    deferred_->atNs = std::max(atNs, std::min(deferred_->atNs, freeNs));
  }
}

void VirtualBus::InterruptAll(int64_t atNs, Interruption what) {
  for (const std::unique_ptr<VirtualDrive>& slot : drives_) Interrupt(slot.get(), atNs, what);
}

void VirtualBus::ChangeReply(DriveWork& work, int64_t atNs, const ReplyChange& change) {
  if (work.replyId == 0) return;
  if (change.kind == ReplyChange::Kind::kHang) {
    line_.Cut(work.replyId, atNs);
    return;
  }
  if (change.kind != ReplyChange::Kind::kPatch) return;
  std::vector<uint8_t>& bytes = work.reply;
  for (size_t i = change.zeroFrom; i < std::min(change.zeroTo, bytes.size()); ++i) bytes[i] = 0;
  for (const auto& [index, value] : change.set) {
    if (index < bytes.size()) bytes[index] = value;
  }
  if (change.restartUs == 0) {
    line_.Overwrite(work.replyId, atNs, bytes);
    return;
  }
  line_.Cut(work.replyId, atNs);
  work.replyId =
      line_.Transmit(change.restartUs * kNsPerUs, bytes, work.replyPaceNs, work.replyDataBytes);
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
    // The adapter gives up the job it was doing and the packet it waited to carry out.
    InterruptAll(atNs, Interruption::kAdapterGone);
    deferred_.reset();
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
    // An adapter in a long bus wait sees the BREAKs only when the wait is over.
    if (busWaitUs_ > 0) {
      adapterBusyUntilNs_ = atNs + busWaitUs_ * kNsPerUs;
      busWaitUs_ = 0;
    }
    line_.Transmit(std::max(atNs + timing_.bannerDelayUs * kNsPerUs, adapterBusyUntilNs_),
                   Banner());
  } else {
    lastBreakEndNs_ = atNs;
  }
}

}  // namespace sim
