// G64 files of any size and content, restored to a virtual drive through the Restore command.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_session.h"
#include "platform/desk.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

using namespace dw;
using namespace dw::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  const std::string path = ScratchFolder() + "/image.g64";
  WriteWholeFile(path, std::span<const uint8_t>(data, size));
  Harness harness("8=1571:blank");
  harness.Connect();
  if (harness.desk.DeviceCount() == 0) return 0;
  harness.desk.QueueFile(path);
  RunToEnd([&] { DispatchCommand(harness.program, kCmdRestoreImage); });
  return 0;
}
