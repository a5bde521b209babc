// D64, D71 and D81 image files of any size and content, restored to and verified against a
// virtual drive through the Restore and Verify commands.

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

struct ImageKind {
  const char* extension;
  const char* bus;
};
constexpr std::array<ImageKind, 3> kKinds{{
    {".d64", "8=1571:blank"},
    {".d71", "8=1571:blank"},
    {".d81", "8=1581:blank"},
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  const uint8_t choice = input.Byte();
  const ImageKind& kind = kKinds[(choice >> 1) % kKinds.size()];
  const std::string path = ScratchFolder() + "/image" + kind.extension;
  WriteWholeFile(path, input.Rest());

  Harness harness(kind.bus);
  harness.Connect();
  if (harness.desk.DeviceCount() == 0) return 0;
  harness.desk.QueueFile(path);
  RunToEnd([&] {
    DispatchCommand(harness.program, (choice & 1) != 0 ? kCmdVerifyImage : kCmdRestoreImage);
  });
  return 0;
}
