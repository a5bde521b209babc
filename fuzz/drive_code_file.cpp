// ".h65" drive-code files as the program reads them from its folder and uploads them.

#include <cstdint>
#include <filesystem>
#include <memory>

#include "fuzz/fuzz_session.h"
#include "link/drive_job.h"

using namespace dw;
using namespace dw::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inScratchFolder(ScratchFolder());
  WriteWholeFile(ScratchFolder() + "/157x_U0.h65", std::span<const uint8_t>(data, size));
  Session session;
  Program& p = session.program;
  p.LinkPort = std::make_unique<FramedReplyPort>(
      [](const std::vector<uint8_t>&) { return std::optional<FramedReply>(FramedReply{}); });
  p.CurrentDevice = 8;
  p.DriveFamily = kFamily1571;
  RunToEnd([&] { DriveJob(p, 0, 0, 0, 0, 0); });
  return 0;
}
