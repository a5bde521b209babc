// The reply stream of the link port as it comes in, in any pieces, any bytes: the adapter's
// banner, the bus reset, the drive scan, a directory listing and the error channel.

#include <cstdint>
#include <memory>

#include "disk/directory.h"
#include "fuzz/fuzz_session.h"
#include "link/connect.h"
#include "link/exchange.h"

using namespace dw;
using namespace dw::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  Session session([&input] { return std::make_unique<PieceFedPort>(input); });
  RunToEnd([&] {
    ConnectDrives(session.program);
    ShowDirectory(session.program);
    session.program.LinkState = 0;
    ReadErrorChannel(session.program);
  });
  return 0;
}
