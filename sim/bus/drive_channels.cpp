// What a virtual drive does with the IEC operations the adapter carries out: the DOS side of
// OPEN, CLOSE, LISTEN + data and TALK on a secondary address.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "sim/bus/memory_commands.h"
#include "sim/bus/protocol.h"
#include "sim/bus/virtual_drive.h"

namespace sim {

namespace {

constexpr int kCommandChannel = 15;
constexpr int kDataChannels = 15;
constexpr uint8_t kCarriageReturn = 0x0D;
constexpr int kLineTooLong = 32;
constexpr int kDataBytesPerBlock = 254;

// The DOS takes a carriage return as the end of the command line.
std::span<const uint8_t> WithoutCarriageReturn(std::span<const uint8_t> bytes) {
  if (!bytes.empty() && bytes.back() == kCarriageReturn) return bytes.first(bytes.size() - 1);
  return bytes;
}

bool IsResetCommand(std::span<const uint8_t> command) {
  return command.size() >= 2 && command[0] == 'U' && (command[1] == 'J' || command[1] == ':');
}

// Commands the DOS carries out on the disk itself (the others work in the drive's RAM).
bool CommandUsesDisk(std::span<const uint8_t> command) {
  constexpr std::string_view kDiskCommands = "INSRVC";
  return kDiskCommands.find(static_cast<char>(command[0])) != std::string_view::npos ||
         IsBurstFormat(command) || IsBurstDumpCache(command);
}

int64_t Blocks(size_t bytes) {
  return static_cast<int64_t>((bytes + kDataBytesPerBlock - 1) / kDataBytesPerBlock);
}

}  // namespace

bool VirtualDrive::StoreInCommandBuffer(std::span<const uint8_t> bytes) {
  size_t stored = std::min(bytes.size(), kCommandBufferLength + 1);
  for (size_t i = 0; i < stored; ++i) {
    memory_.Write(static_cast<uint16_t>(kCommandBuffer + i), bytes[i]);
  }
  if (WithoutCarriageReturn(bytes).size() > kCommandBufferLength) {
    dos_->SetError(kLineTooLong, 0, 0);
    return false;
  }
  return true;
}

void VirtualDrive::RunCommand(std::span<const uint8_t> bytes) {
  std::span<const uint8_t> command = WithoutCarriageReturn(bytes);
  commandChannelOutput_.clear();
  if (command.empty()) return;
  // The DOS runs the command once the bus is released; the drive is busy meanwhile.
  afterReleaseUs_ += timing_.dosCommandUs;
  TurnDiskToDosStart();
  if (command[0] == 'M') {
    MemoryCommandOutcome outcome = RunMemoryCommand(memory_, command.size());
    dos_->SetError(outcome.error, 0, 0);
    commandChannelOutput_.assign(outcome.output.begin(), outcome.output.end());
    return;
  }
  if (IsResetCommand(command)) {
    Restart(DosStartUs());
    return;
  }
  const bool is1581 = model_.kind == DriveKind::k1581;
  const bool canFormat = disk() != nullptr && !disk()->writeProtected;
  const double revolutions = DosCommandRevolutions(command, is1581, canFormat);
  if (CommandUsesDisk(command)) DosUsesDisk();
  if (canFormat && IsFullFormat(command, is1581)) {
    StartFormat(command, revolutions);
    return;
  }
  if (revolutions > 0 && disk() != nullptr) {
    afterReleaseUs_ += MotorUpUs(DosStartUs(), RevolutionUsAt(DosStartUs()));
  }
  afterReleaseUs_ += static_cast<int64_t>(
      std::llround(revolutions * static_cast<double>(RevolutionUsAt(DosStartUs()))));
  dos_->Command(std::vector<uint8_t>(command.begin(), command.end()));
  mechanics_.SetTwoHeads(dos_->In1571Mode());
  AfterDosWork();
}

void VirtualDrive::Open(int sa, std::span<const uint8_t> name) {
  UpdateWriteProtectSense();
  workUs_ += timing_.iecAddressUs + static_cast<int64_t>(name.size()) * ByteUs();
  // A file name goes to the DOS through its command buffer; an OPEN without a name sends
  // no name and leaves the DOS alone.
  if (name.empty() || !StoreInCommandBuffer(name)) return;
  if (sa == kCommandChannel) {
    RunCommand(name);
    return;
  }
  TurnDiskToDosStart();
  afterReleaseUs_ += RevolutionUsAt(DosStartUs());  // the directory search
  DosUsesDisk();
  dos_->Open(sa, std::vector<uint8_t>(name.begin(), name.end()));
  AfterDosWork();
}

void VirtualDrive::Close(int sa) {
  workUs_ += timing_.iecAddressUs;
  if (sa == kCommandChannel) {
    // Closing the command channel closes every file of the drive.
    commandChannelOutput_.clear();
    for (int channel = 0; channel < kDataChannels; ++channel) {
      if (dos_->IsOpen(channel)) Close(channel);
    }
    return;
  }
  if (!dos_->IsOpen(sa)) return;
  TurnDiskToDosStart();
  afterReleaseUs_ += RevolutionUsAt(DosStartUs());  // last block, directory entry and BAM
  DosUsesDisk();
  dos_->Close(sa);
  AfterDosWork();
}

uint8_t VirtualDrive::Write(int sa, std::span<const uint8_t> bytes) {
  UpdateWriteProtectSense();
  workUs_ += timing_.iecAddressUs + static_cast<int64_t>(bytes.size()) * ByteUs();
  if (sa == kCommandChannel) {
    if (StoreInCommandBuffer(bytes)) RunCommand(bytes);
    return kIecOk;
  }
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  if (!dos_->IsOpen(sa)) {
    // The DOS notes the error, but no channel takes the bytes.
    dos_->Write(sa, data);
    return kIecTimeoutOut;
  }
  TurnDiskToDosStart();
  workUs_ += Blocks(bytes.size()) * 2 * SectorUs();  // write and verify
  DosUsesDisk();
  dos_->Write(sa, data);
  AfterDosWork();
  return kIecOk;
}

ChannelRead VirtualDrive::Read(int sa, int count) {
  UpdateWriteProtectSense();
  ChannelRead result;
  workUs_ += timing_.iecAddressUs;
  if (count <= 0) return result;
  if (sa == kCommandChannel) {
    if (commandChannelOutput_.empty()) {
      std::string message = dos_->TakeErrorMessage();
      commandChannelOutput_.assign(message.begin(), message.end());
    }
    size_t taken = std::min(commandChannelOutput_.size(), static_cast<size_t>(count));
    result.bytes.assign(commandChannelOutput_.begin(), commandChannelOutput_.begin() + taken);
    commandChannelOutput_.erase(commandChannelOutput_.begin(),
                                commandChannelOutput_.begin() + taken);
    result.status = commandChannelOutput_.empty() ? kIecEoi : kIecOk;
  } else if (!dos_->IsOpen(sa)) {
    // A channel whose OPEN failed (file not found, no disk) answers with EOI at once, so the
    // host sees the end of the data and reads the error channel.
    result.status = kIecEoiNoData;
  } else {
    bool eoi = false;
    TurnDiskToDosStart();
    DosUsesDisk();
    result.bytes = dos_->Read(sa, static_cast<size_t>(count), eoi);
    workUs_ += Blocks(result.bytes.size()) * SectorUs();
    if (eoi) {
      result.status = kIecEoi;
    } else if (result.bytes.size() < static_cast<size_t>(count)) {
      // The drive stopped sending without EOI: the file had been sent, or the next block could
      // not be read (the error channel tells) after the bytes still in the drive's buffer.
      result.status = kIecTimeoutIn;
    } else {
      result.status = kIecOk;
    }
    AfterDosWork();
  }
  workUs_ += static_cast<int64_t>(result.bytes.size()) * ByteUs();
  return result;
}

void VirtualDrive::StartCode(std::span<const uint8_t> page) {
  workUs_ += timing_.iecAddressUs + static_cast<int64_t>(page.size()) * ByteUs();
  code_.assign(page.begin(), page.end());
}

}  // namespace sim
