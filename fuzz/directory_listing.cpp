// Directory listings as the drive sends them (each reply well framed, its data and status from
// the input), then the download of the file on the line the input selects.

#include <cstdint>
#include <memory>

#include "disk/directory.h"
#include "fuzz/fuzz_session.h"

using namespace dw;
using namespace dw::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  const uint8_t family = input.Byte() % (kFamilyUnknown + 1);
  const uint8_t selected = input.Byte();
  Session session;
  Program& p = session.program;
  p.LinkPort = std::make_unique<FramedReplyPort>(
      [&input](const std::vector<uint8_t>&) { return TakeFramedReply(input); });
  p.CurrentDevice = 8;
  p.DriveFamily = family;
  RunToEnd([&] {
    ShowDirectory(p);
    const int lines = session.desk.DirectoryCount();
    if (lines == 0) return;
    session.desk.SelectDirectoryLine(selected % lines);
    session.desk.QueueFile(ScratchFolder() + "/download.prg");
    p.LinkState = 0;
    DownloadPrg(p);
  });
  return 0;
}
