// The text users type: the rows of bytes of both converters and the track number of the track
// dump (which then reads that track from a virtual drive).

#include <array>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_session.h"
#include "platform/desk.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

using namespace dw;
using namespace dw::fuzz;

namespace {

constexpr std::array<int, 3> kTextCommands{kCmdHexToGcr, kCmdGcrToHex, kCmdDumpTrack};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  const int command = kTextCommands[input.Byte() % kTextCommands.size()];
  const auto text = input.Rest();
  if (command != kCmdDumpTrack) {
    Session session;
    session.desk.QueueText(std::string(text.begin(), text.end()));
    RunToEnd([&] { DispatchCommand(session.program, command); });
    return 0;
  }
  Harness harness("8=1571:blank");
  harness.Connect();
  if (harness.desk.DeviceCount() == 0) return 0;
  harness.desk.QueueText(std::string(text.begin(), text.end()));
  RunToEnd([&] { DispatchCommand(harness.program, command); });
  return 0;
}
