#include "sim/bus/adapter.h"

#include <algorithm>

#include "sim/bus/drive_jobs.h"

namespace sim {

namespace {

// Packet layout.
constexpr size_t kOpcodeAt = 0;
constexpr size_t kLengthAt = 1;
constexpr size_t kDeviceAt = 2;
constexpr size_t kChannelAt = 3;
constexpr size_t kPayloadAt = 4;
constexpr size_t kPageCountAt = 2;
constexpr size_t kPagesAt = 3;

struct OpcodeRule {
  Opcode opcode;
  size_t minLength;
};

// Shortest packet of each opcode the adapter takes.
constexpr std::array<OpcodeRule, 14> kOpcodeRules{{
    {Opcode::kOpen, 4},
    {Opcode::kClose, 4},
    {Opcode::kWrite, 4},
    {Opcode::kRead, 6},
    {Opcode::kBurstRead, 10},
    {Opcode::kBurstWrite, 10},
    {Opcode::kLoadPages, 3},
    {Opcode::kStartCode, 8},
    {Opcode::kJobMemory, 8},
    {Opcode::kJobReadPages, 8},
    {Opcode::kJobWriteTrack, 8},
    {Opcode::kJobMeasureSpeed, 8},
    {Opcode::kMemoryDownload, 6},
    {Opcode::kResetBus, 2},
}};

const OpcodeRule* FindRule(uint8_t opcode) {
  for (const OpcodeRule& rule : kOpcodeRules) {
    if (static_cast<uint8_t>(rule.opcode) == opcode) return &rule;
  }
  return nullptr;
}

int Channel(std::span<const uint8_t> packet) {
  return packet[kChannelAt] & 0x0F;
}

}  // namespace

bool Adapter::IsWellFormed(std::span<const uint8_t> packet) {
  if (packet.size() < 2) return false;
  const OpcodeRule* rule = FindRule(packet[kOpcodeAt]);
  if (rule == nullptr || packet.size() < rule->minLength) return false;
  if (rule->opcode == Opcode::kLoadPages) {
    size_t pages = packet[kPageCountAt];
    return pages <= kAdapterBufferPages && packet.size() == pages * 256 + kPagesAt;
  }
  return packet.size() == packet[kLengthAt];
}

int Adapter::AddressedDevice(std::span<const uint8_t> packet) const {
  switch (static_cast<Opcode>(packet[kOpcodeAt])) {
    case Opcode::kLoadPages:
    case Opcode::kResetBus:
      return 0;
    case Opcode::kJobMemory:
    case Opcode::kJobReadPages:
    case Opcode::kJobWriteTrack:
    case Opcode::kJobMeasureSpeed:
      return codeDevice_;
    default:
      return packet[kDeviceAt] & 0x1F;
  }
}

bool Adapter::HangsOn(int device) const {
  if (device < kFirstDevice || device > kLastDevice) return false;
  const std::unique_ptr<VirtualDrive>& drive = drives_[device - kFirstDevice];
  return answeredReset_[device - kFirstDevice] && drive != nullptr && !drive->powered();
}

int64_t Adapter::AddresseeFreeUs(std::span<const uint8_t> packet) const {
  if (!IsWellFormed(packet)) return 0;
  const VirtualDrive* drive = PoweredDrive(AddressedDevice(packet));
  return drive != nullptr ? drive->busyUntilUs() : 0;
}

std::optional<int> Adapter::ReadArea(std::span<const uint8_t> packet) {
  switch (static_cast<Opcode>(packet[kOpcodeAt])) {
    case Opcode::kRead:
      return packet[4] << 8 | packet[5];
    case Opcode::kBurstRead:
      return kBurstReadArea;
    case Opcode::kJobMemory:
    case Opcode::kJobReadPages:
    case Opcode::kJobWriteTrack:
    case Opcode::kJobMeasureSpeed:
      return JobReplyArea(packet);
    default:
      return std::nullopt;
  }
}

std::optional<AdapterReply> Adapter::Handle(std::span<const uint8_t> packet, int64_t nowUs) {
  if (!IsWellFormed(packet)) return std::nullopt;
  if (HangsOn(AddressedDevice(packet))) return std::nullopt;
  nowUs_ = nowUs;
  const std::optional<int> readArea = ReadArea(packet);
  const uint8_t status = readArea ? pendingStatus_ : 0;
  if (status == kIecNoAnswer) {
    // The device never answered its addressing: the drive does nothing.
    pendingStatus_ = 0;
    AdapterReply reply = Answer(packet[0], {}, *readArea, status, nullptr);
    reply.workUs = timing_.iecAddressUs;
    return reply;
  }
  std::optional<AdapterReply> reply = Carry(packet);
  if (reply && status == kIecReadTimeout) {
    pendingStatus_ = 0;
    // The wait for the drive's next byte ran out: the bytes that came, the rest of the area
    // padded, the count of those that came.
    std::vector<uint8_t>& bytes = reply->bytes;
    const size_t trailer = bytes.size() - kReplyTrailerLength;
    const size_t came = (bytes[trailer] | bytes[trailer + 1] << 8) / 2;
    std::fill(bytes.begin() + static_cast<long>(came), bytes.begin() + static_cast<long>(trailer),
              uint8_t{0});
    bytes[trailer] = static_cast<uint8_t>(came & 0xFF);
    bytes[trailer + 1] = static_cast<uint8_t>(came >> 8);
    bytes[trailer + 2] = status;
    reply->dataBytes = came;
  }
  return reply;
}

std::optional<AdapterReply> Adapter::Carry(std::span<const uint8_t> packet) {
  switch (static_cast<Opcode>(packet[kOpcodeAt])) {
    case Opcode::kOpen:
      return OnOpen(packet);
    case Opcode::kClose:
      return OnClose(packet);
    case Opcode::kWrite:
      return OnWrite(packet);
    case Opcode::kRead:
      return OnRead(packet);
    case Opcode::kBurstRead:
      return OnBurstRead(packet);
    case Opcode::kBurstWrite:
      return OnBurstWrite(packet);
    case Opcode::kLoadPages:
      return OnLoadPages(packet);
    case Opcode::kStartCode:
      return OnStartCode(packet);
    case Opcode::kJobMemory:
    case Opcode::kJobReadPages:
    case Opcode::kJobWriteTrack:
    case Opcode::kJobMeasureSpeed:
      return OnJob(packet);
    case Opcode::kMemoryDownload:
      return OnMemoryDownload(packet);
    case Opcode::kResetBus:
      return OnResetBus(packet);
  }
  return std::nullopt;
}

void Adapter::Restart() {
  buffer_.fill(0);
  bufferPages_ = 0;
  codeDevice_ = 0;
  answeredReset_.fill(false);
}

VirtualDrive* Adapter::PoweredDrive(int device) const {
  device &= 0x1F;
  if (device < kFirstDevice || device > kLastDevice) return nullptr;
  VirtualDrive* drive = drives_[device - kFirstDevice].get();
  return drive != nullptr && drive->powered() ? drive : nullptr;
}

VirtualDrive* Adapter::Address(int device) {
  VirtualDrive* drive = PoweredDrive(device);
  if (drive != nullptr) drive->BeginOperation(nowUs_);
  return drive;
}

AdapterReply Adapter::Answer(uint8_t opcode, std::span<const uint8_t> data, int area,
                             uint8_t status, VirtualDrive* drive) const {
  AdapterReply reply;
  size_t length = data.size();
  reply.bytes.assign(data.begin(), data.end());
  reply.bytes.resize(std::max(length, static_cast<size_t>(std::max(area, 0))), 0);
  reply.bytes.push_back(static_cast<uint8_t>(length & 0xFF));
  reply.bytes.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
  reply.bytes.push_back(status);
  reply.bytes.push_back(opcode);
  reply.dataBytes = length;
  if (drive != nullptr) {
    reply.dataUs = drive->TakeDataUs();
    reply.workUs = drive->TakeWorkUs() - reply.dataUs;
  }
  return reply;
}

AdapterReply Adapter::OnOpen(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[kDeviceAt]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  drive->Open(Channel(packet), packet.subspan(kPayloadAt));
  uint8_t status = drive->model().board.fastSerial ? kIecFastSerial : kIecOk;
  return Answer(packet[0], {}, kStatusReplyArea, status, drive);
}

AdapterReply Adapter::OnClose(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[kDeviceAt]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  drive->Close(Channel(packet));
  return Answer(packet[0], {}, kStatusReplyArea, kIecOk, drive);
}

AdapterReply Adapter::OnWrite(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[kDeviceAt]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  uint8_t status = drive->Write(Channel(packet), packet.subspan(kPayloadAt));
  return Answer(packet[0], {}, kStatusReplyArea, status, drive);
}

AdapterReply Adapter::OnRead(std::span<const uint8_t> packet) {
  int count = packet[4] << 8 | packet[5];
  VirtualDrive* drive = Address(packet[kDeviceAt]);
  if (drive == nullptr) return Answer(packet[0], {}, count, kIecDeviceNotPresent, nullptr);
  ChannelRead read = drive->Read(Channel(packet), count);
  return Answer(packet[0], read.bytes, count, read.status, drive);
}

AdapterReply Adapter::OnLoadPages(std::span<const uint8_t> packet) {
  bufferPages_ = packet[kPageCountAt];
  std::copy(packet.begin() + kPagesAt, packet.end(), buffer_.begin());
  return Answer(packet[0], {}, kStatusReplyArea, kIecOk, nullptr);
}

AdapterReply Adapter::OnStartCode(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[kDeviceAt]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  if (bufferPages_ == 0) return Answer(packet[0], {}, kStatusReplyArea, kIecTimeoutIn, drive);
  drive->StartCode(std::span<const uint8_t>(buffer_).first(256));
  codeDevice_ = drive->device();
  return Answer(packet[0], {}, kStatusReplyArea, kIecOk, drive);
}

// Jobs are carried out by the drive code the adapter started (drive_jobs.h). Code that does
// not know a job never answers it, and neither does the adapter.
std::optional<AdapterReply> Adapter::OnJob(std::span<const uint8_t> packet) {
  const int area = JobReplyArea(packet);
  if (codeDevice_ == 0) return Answer(packet[0], {}, area, kIecTimeoutIn, nullptr);
  VirtualDrive* drive = Address(codeDevice_);
  if (drive == nullptr) return Answer(packet[0], {}, area, kIecDeviceNotPresent, nullptr);
  const std::span<const uint8_t> loaded =
      std::span<const uint8_t>(buffer_).first(static_cast<size_t>(bufferPages_) * 256);
  std::optional<JobAnswer> answer = RunDriveJob(*drive, packet, loaded, timing_);
  if (!answer || !answer->answers) {
    drive->TakeWorkUs();
    return std::nullopt;
  }
  return Answer(packet[0], answer->data, answer->area, kIecOk, drive);
}

AdapterReply Adapter::OnResetBus(std::span<const uint8_t> packet) {
  bool anyPowered = false;
  for (size_t slot = 0; slot < drives_.size(); ++slot) {
    const std::unique_ptr<VirtualDrive>& drive = drives_[slot];
    answeredReset_[slot] = drive != nullptr && drive->powered();
    if (!answeredReset_[slot]) continue;
    drive->Reset(nowUs_ + timing_.busResetUs);
    anyPowered = true;
  }
  codeDevice_ = 0;
  AdapterReply reply = Answer(packet[0], {}, 0, anyPowered ? kIecOk : kIecNoDrivePowered, nullptr);
  reply.workUs = timing_.busResetUs;
  return reply;
}

}  // namespace sim
