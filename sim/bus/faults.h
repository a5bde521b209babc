#pragma once
// Faults a test can put on the virtual bus, at once or at a given virtual moment.

#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

enum class FaultKind {
  kPowerOff,        // the drive at `device` is switched off: it no longer answers ($80)
  kPowerOn,         // ... and on again: it restarts with message 73
  kUnplug,          // the adapter's USB plug is pulled: the port fails, no port opens
  kReplug,          // ... and put back: ports open again, the adapter restarts
  kEject,           // the disk of `device` is taken out (kept by the drive for kInsert)
  kInsert,          // ... and put back in
  kProtect,         // the disk of `device` gets a write-protect tab
  kUnprotect,       // ... and loses it
  kSilentReply,     // the next reply never comes
  kWrongEcho,       // the next reply ends in a wrong echo byte
  kOversizeReply,   // the next reply is 40000 bytes or more
  kJunkInInput,     // junk bytes arrive at once (line noise, the end of an earlier reply)
  kJunkAheadReply,  // junk bytes arrive just ahead of the next reply (noise while it is made)
  kUnformatTrack,   // track `track` of the disk of `device` loses every sync: noise only
  kWrongRateTrack,  // ... is recorded again at a bit rate two zones from its own
  kPullDuringJob,   // the disk of `device` is pulled out at `fraction` of its next disk work
  kCodeHang,        // the drive code of `device` stops answering jobs until a reset
  kMotorStop,       // the spindle motor of `device` no longer turns
  kMotorStart,      // ... and turns again
  kStuckWrite,      // the next track write's data stops at `fraction`, the write gate stays on
  kNoAnswer,        // the next job or channel read gets IEC status $04 (device not answering)
  kReadTimeout,     // ... status $08: the adapter's wait for the drive's bytes ran out
  kBusWait,         // the adapter answers the next banner request `durationUs` late
  kBadWrite,        // the next write of `track` lays sector `sector`'s data down wrong
  kWeakSector,      // sector `sector` of track `track` grows faint: some reads fail, some not
  kGarbledWrite,    // 1581: sector `sector` of `track` goes to the disk with a byte wrong, CRC good
};

struct Fault {
  FaultKind kind = FaultKind::kSilentReply;
  int device = 0;          // the faults of a drive or its disk only
  int track = 0;           // the faults of a track only, numbered as the DOS numbers them
  double fraction = 0.5;   // pullout, stuckwrite: where in the work (0 up to 1)
  int64_t durationUs = 0;  // buswait
  int sector = 0;          // badwrite, weak
};

bool FaultNeedsDevice(FaultKind kind);
bool FaultNeedsTrack(FaultKind kind);
std::string_view FaultName(FaultKind kind);

// Reads a fault as written in scenarios: "poweroff 9", "poweron 9", "unplug", "replug",
// "eject 8", "insert 8", "protect 8", "unprotect 8", "silent", "echo", "oversize", "junk",
// "junkahead", "unformat 8 18", "wrongrate 8 18", "pullout 8" or "pullout 8 0.3" (the
// fraction of the work, 0 up to 1, default 0.5), "hangcode 8", "motorstop 8", "motorstart 8",
// "stuckwrite 8" or "stuckwrite 8 0.3", "notpresent", "readtimeout", "buswait 2000" (1 to
// 2000 ms), "badwrite 8 12" or "badwrite 8 12 4" (the sector, default 0), "weak 8 18 4"
// and "garble 10 40 7" (device, track, sector). false with a message in *error when the words are
// no fault.
bool ParseFault(std::string_view words, Fault* fault, std::string* error);

}  // namespace sim
