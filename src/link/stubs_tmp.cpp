#include "link/connect.h"
#include "link/detect.h"
#include "link/dos_command.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {
IecString ToIecString(std::string_view bytes) { return IecString(bytes.begin(), bytes.end()); }
int AdapterExchange(Program&, int, int, uint8_t) { return 0; }
void SendIecString(Program&, uint8_t, const IecString&, bool, uint8_t) {}
void OpenChannel(Program&, uint8_t, const IecString&) {}
void CloseChannel(Program&, uint8_t) {}
void WriteChannel(Program&, uint8_t, int) {}
int ReadChannel(Program&, uint8_t, int, uint8_t) { return 0; }
std::string ReadErrorChannel(Program&) { return {}; }
void ResetBus(Program&) {}
void SendBreakPulse(Program&) {}
std::string StatusText(const Program&, uint8_t, uint8_t) { return "OK"; }
bool RequireFastSerialDriver(Program&) { return false; }
void DetectDriveModel(Program&) {}
std::string DetectDiskFormat(Program&, bool) { return "1541 DISK"; }
bool FindAdapter(Program&) { return false; }
void ConnectDrives(Program&) {}
void SendDosCommand(Program&) {}
uint8_t DriveJob(Program&, int, int, int, int, int) { return 0; }
int LoadDriveCodeFile(Program&, const std::string&, int offset) { return offset; }
}  // namespace dw
