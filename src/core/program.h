#pragma once
// The program-wide state: every variable and buffer the program's procedures share, made
// once at start-up (all values zero, buffers at their start sizes) and handed to every
// procedure. The platform services it works through (the desk, the clock, the serial
// ports) are handed in, so a test makes a fresh Program on a scripted desk and a virtual bus.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/track_record.h"
#include "core/track_stats.h"
#include "platform/clock.h"
#include "platform/desk.h"
#include "platform/log_file.h"
#include "platform/serial_port.h"

namespace dw {

// Buffer sizes (element counts) allocated at start-up.
inline constexpr int kCommandPacketSize = 12001;
inline constexpr int kReplyDataStartSize = 40001;
inline constexpr int kGcrOutBufferSize = 12001;
inline constexpr int kImageBufferSize = 819201;
inline constexpr int kPlainBufferStartSize = 2;
inline constexpr int kTrackTableSize = 81;

// Drive families.
enum DriveFamilyCode : uint8_t {
  kFamily1541 = 0,
  kFamily1570 = 1,
  kFamily1571 = 2,
  kFamily1581 = 3,
  kFamilyUnknown = 4,
};

// Disk formats.
enum DiskFormatCode : uint8_t {
  kDisk1541 = 0,
  kDisk1571DoubleSided = 2,
  kDisk1581 = 3,
};

// LinkState values: bit 0 a drive reported a bad IEC status; 2 timeout; 4 user abort.
inline constexpr uint8_t kLinkIecError = 1;
inline constexpr uint8_t kLinkTimeout = 2;
inline constexpr uint8_t kLinkAborted = 4;

struct Program {
  Program(Desk& deskIn, Clock& clockIn, PortOpener& portsIn);

  Desk& desk;
  Clock& clock;
  PortOpener& ports;

  // Link (adapter and IEC channel).
  std::unique_ptr<SerialPort> LinkPort;
  std::vector<uint8_t> CommandPacket;
  std::vector<uint8_t> ReplyData;
  // The data area of the last reply that passed the echo check (the bytes before its trailer,
  // padding included); 0 when the last exchange took no reply.
  int ReplyAreaSize = 0;
  // The reply as it arrives, before it is checked and handed over in ReplyData.
  std::vector<uint8_t> LinkInput;
  uint8_t LinkState = 0;
  uint8_t IecStatus = 0;
  uint8_t DosErrorCode = 0;
  uint8_t DosErrorFlag = 0;
  uint8_t Status20Flag = 0;

  // Device.
  uint8_t CurrentDevice = 0;
  uint8_t DriveFamily = 0;
  uint8_t DriveModelByte = 0;  // the byte at $FF40 of the drive's ROM that named the model
  std::string DriveModelName;
  uint8_t FastSerialDriver = 0;
  uint8_t DiskFormat = 0;
  std::array<uint8_t, 3> DiskId{};

  // Geometry and the in-memory image.
  uint8_t TrackCount = 0;
  uint8_t TracksPerSide = 0;
  int32_t ImageDataSize = 0;
  int32_t ImageFileSize = 0;
  bool FortyTracks = false;
  bool ImageErrors = false;
  int32_t ErrorByteCursor = 0;
  std::vector<uint8_t> ImageBuffer;
  std::array<TrackRecord, kTrackTableSize> TrackTable{};

  // GCR codec.
  std::array<uint8_t, 33> GcrDecodeTable{};
  std::array<uint8_t, 17> GcrEncodeTable{};
  std::vector<uint8_t> PlainBuffer;
  std::vector<uint8_t> GcrOutBuffer;
  int64_t GcrReadPos = 0;
  int64_t GcrWritePos = 0;
  TrackStatsRecord TrackStats;
  // Sector headers the last track read found on the disk (a 1581: the sectors of its burst
  // replies that came whole). None on every track means no readable disk at all.
  int TrackHeadersFound = 0;

  // The disk map as the last whole-disk operation left it, one vector of cells per track (index
  // 0 is track 1), as the desk was told it: what that operation's summary counts.
  std::vector<std::vector<uint8_t>> MapCells;

  // A drive busy with long work of its own that answers only when done (the 1581 formatting a
  // disk): while an exchange waits for it, the status bar counts the time against the expected.
  struct BusyDrive {
    std::string what;
    int64_t sinceUs = 0;
    int expectedSeconds = 0;
    int shownSeconds = -1;
  };
  std::optional<BusyDrive> DriveBusy;

  // Shell.
  // The name of the running command as its menu item says it ("Create disk image"); empty
  // between commands and for commands that draw no picture.
  std::string RunningCommand;
  uint32_t RevolutionTimeUs = 200000;
  std::string LastOpenFolder;
  std::string LastSaveFolder;
  bool FortyTracksMark = false;  // check mark of "Enable 40 tracks"
  bool ImageErrorsMark = false;  // check mark of "Enable image errors"
  // The check mark of "Verify after writing".
  bool VerifyWritesMark = false;
  bool RetriesMark = false;  // check mark of "Retry damaged tracks"
  int RetryCount = 0;        // re-reads of a damaged track while RetriesMark is on
  // The kept log (none: the lines go to the log pane only), and whether it has failed once.
  LogFile* KeptLog = nullptr;
  bool KeptLogFailed = false;
};

// Thrown by ShutDown once the link port is closed and the window released; the code that
// runs the program catches it and ends the process normally.
struct ProgramEnded {};

}  // namespace dw
