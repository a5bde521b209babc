// D64, D71 and D81 image files, restored to and verified against a virtual drive through the
// Restore and Verify commands. Random bytes seldom make a file of a size a disk has, so most
// runs give the file such a size and lay the input at its end (the error bytes, the last
// tracks); the others take the input as the whole file.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

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
  size_t size;  // 0: the input is the whole file
};
constexpr std::array<ImageKind, 11> kKinds{{
    {".d64", "8=1571:blank", 0},
    {".d64", "8=1571:blank", 174848},
    {".d64", "8=1571:blank", 175531},  // with error bytes
    {".d64", "8=1571:blank", 196608},  // 40 tracks
    {".d64", "8=1571:blank", 197376},  // 40 tracks with error bytes
    {".d71", "8=1571:blank", 0},
    {".d71", "8=1571:blank", 349696},
    {".d71", "8=1571:blank", 351062},  // with error bytes
    {".d81", "8=1581:blank", 0},
    {".d81", "8=1581:blank", 819200},
    {".d81", "8=1581:blank", 822400},  // error bytes, which a D81 for this program never has
}};

std::vector<uint8_t> ImageFile(const ImageKind& kind, std::span<const uint8_t> input) {
  if (kind.size == 0) return {input.begin(), input.end()};
  std::vector<uint8_t> file(kind.size, 0);
  const size_t taken = std::min(input.size(), kind.size);
  std::copy_n(input.begin(), taken, file.end() - static_cast<std::ptrdiff_t>(taken));
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  const uint8_t choice = input.Byte();
  const ImageKind& kind = kKinds[(choice >> 1) % kKinds.size()];
  const std::string path = ScratchFolder() + "/image" + kind.extension;
  WriteWholeFile(path, ImageFile(kind, input.Rest()));

  Harness harness(kind.bus);
  harness.Connect();
  if (harness.desk.DeviceCount() == 0) return 0;
  harness.desk.QueueFile(path);
  RunToEnd([&] {
    DispatchCommand(harness.program, (choice & 1) != 0 ? kCmdVerifyImage : kCmdRestoreImage);
  });
  return 0;
}
