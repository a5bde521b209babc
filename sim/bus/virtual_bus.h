#pragma once
// The virtual bus: a BUSLINK V2.0 adapter on a serial port with drives 8 to 11 behind it, all
// in virtual time. Nothing happens between calls; every call first brings the bus up to the
// time its clock shows, so with the program's virtual clock any amount of bus time passes in
// no real time, and with the real clock the bus keeps the real pace.
//
// The line: a BREAK (set, then clear the break state) starts a packet; the bytes that follow
// until the line has been quiet for BusTiming::packetIdleUs are the packet. Bytes not preceded
// by a BREAK are ignored. Two BREAKs close together without bytes between them are answered
// with the banner. A BREAK stops a reply that is still going out, and the adapter gives up the
// job it was doing for it.
//
// A drive's work on its disk runs in time (drive_work.h): the bus finishes it when the clock
// passes its end, and cuts it where a fault, a bus reset or a BREAK lands within it. A packet
// for a drive still busy (a DOS command runs after the bus is released) is carried out when the
// drive is free, so that what lands meanwhile comes first.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/bus/adapter.h"
#include "sim/bus/bus_timing.h"
#include "sim/bus/faults.h"
#include "sim/bus/serial_line.h"
#include "sim/bus/virtual_drive.h"
#include "src/platform/serial_port.h"

namespace sim {

class VirtualPort;

class VirtualBus {
 public:
  using NowUs = std::function<int64_t()>;

  // A bus as described (bus_description.h), its disks loaded. nullptr with a message in *error
  // when the description is wrong or an image cannot be loaded.
  static std::unique_ptr<VirtualBus> FromDescription(const std::string& description, NowUs nowUs,
                                                     std::string* error);

  explicit VirtualBus(NowUs nowUs, const BusTiming& timing = BusTiming());
  ~VirtualBus();
  VirtualBus(const VirtualBus&) = delete;
  VirtualBus& operator=(const VirtualBus&) = delete;

  // Opens the adapter's serial port. nullptr while the adapter is unplugged or another port of
  // it is open (a serial port opens once). The bus must outlive its ports.
  std::unique_ptr<dw::SerialPort> OpenPort();

  // Drives. The pointers stay valid while the bus lives; a drive's Dos is replaced at every
  // power-on and reset.
  VirtualDrive* AddDrive(int device, const DriveModel& model, bool fastSerialDriver = false,
                         double rpm = kDefaultRpm);
  VirtualDrive* drive(int device) const;
  Dos* dos(int device) const;
  Disk* disk(int device) const;  // nullptr when the drive is empty or missing

  // Writes a drive's disk to an image file (type by extension).
  bool SaveDisk(int device, const std::string& path, std::string* error) const;
  // Writes every disk that came from an image file back to that file (ejected ones too).
  bool SaveDisks(std::string* error) const;

  // Faults, now or when the virtual clock reaches atUs. false (and nothing done) when the
  // fault names a device without a drive or a track its disk does not have.
  bool Inject(const Fault& fault);
  bool InjectAt(int64_t atUs, const Fault& fault);

  bool plugged() const { return plugged_; }
  const BusTiming& timing() const { return timing_; }
  const Adapter& adapter() const { return adapter_; }
  // How much of its input the PC's system shows at a time (0: all; the default is a Linux
  // port's 4095 bytes).
  void SetVisibleInputLimit(int bytes) { line_.SetVisibleLimit(bytes); }
  // A real adapter may send a longer data area than asked for: every reply gets this many
  // more $00 bytes before its trailer (0, the default: none).
  void SetReplyPadding(int bytes) { replyPadding_ = bytes; }
  // Reply bytes lost because the PC's input buffer was full.
  int64_t lostBytes() const { return line_.lostBytes(); }

 private:
  friend class VirtualPort;

  struct PendingFault {
    int64_t atNs;
    Fault fault;
  };

  struct DeferredPacket {
    std::vector<uint8_t> bytes;
    int64_t atNs = 0;
  };

  // False for a fault on a device without a drive, or on a track its disk does not have.
  bool Accepts(const Fault& fault) const;
  void Schedule(int64_t atNs, const Fault& fault);
  // Brings the bus up to the clock: due faults, works and packets, arrived bytes.
  void Advance();
  void ApplyFault(const Fault& fault, int64_t atNs);
  void TakePacket(int64_t atNs);
  void CarryOut(const std::vector<uint8_t>& packet, int64_t atNs);
  // The id of the reply's transmission (0 when it never comes).
  int64_t SendReply(const AdapterReply& reply, int64_t startNs, std::vector<uint8_t>* sent);
  void ResetLink();

  // Drive work: the bus takes on what the adapter's last packet started, finishes work whose
  // time is over and cuts what an event lands in.
  void AdoptWorks(int64_t atNs, const AdapterReply* reply, int64_t replyId,
                  std::vector<uint8_t> sent);
  int64_t NextWorkEndNs() const;
  void FinishWorksAt(int64_t atNs);
  void Interrupt(VirtualDrive* drive, int64_t atNs, Interruption what);
  void InterruptAll(int64_t atNs, Interruption what);
  void ChangeReply(DriveWork& work, int64_t atNs, const ReplyChange& change);

  // The port's side.
  int PortBytesWaiting();
  int PortRead(uint8_t* buffer, int maxBytes);
  int PortWrite(const uint8_t* data, int count);
  void PortSetBreak(bool on);
  void PortClosed(VirtualPort* port);

  NowUs nowUs_;
  BusTiming timing_;
  DriveSlots drives_;
  Adapter adapter_;
  SerialLine line_;
  VirtualPort* port_ = nullptr;
  bool plugged_ = true;
  int64_t nowNs_ = 0;
  std::vector<PendingFault> faults_;  // in time order

  // The adapter's receiver.
  bool receiving_ = false;
  std::vector<uint8_t> packet_;
  int64_t packetEndNs_ = 0;     // when the last byte of the packet arrives
  int64_t hostLineFreeNs_ = 0;  // when the PC's last written byte arrives
  bool breakOn_ = false;
  bool secondBreak_ = false;
  bool bytesSinceBreak_ = false;
  int64_t lastBreakEndNs_ = -1;
  std::optional<DeferredPacket> deferred_;  // waiting for its drive to be free
  // The adapter's long bus wait: the next banner request starts one of this length; until it
  // ends the adapter takes no packet and answers no BREAK.
  int64_t busWaitUs_ = 0;
  int64_t adapterBusyUntilNs_ = 0;

  // Reply faults still to come.
  int silentReplies_ = 0;
  int wrongEchoReplies_ = 0;
  int oversizeReplies_ = 0;
  int junkAheadReplies_ = 0;
  int replyPadding_ = 0;
};

}  // namespace sim
