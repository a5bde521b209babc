// Raw GCR tracks of any length and content: the track figures, the header search, the decoding
// into the image and the track dump's listing of the same bytes.

#include <cstdint>
#include <memory>
#include <string>

#include "disk/geometry.h"
#include "disk/read_track.h"
#include "fuzz/fuzz_session.h"
#include "gcr/codec.h"
#include "gcr/raw_track_stats.h"
#include "tools/track_dump.h"

using namespace dw;
using namespace dw::fuzz;

namespace {

constexpr uint8_t kReadJobOpcode = 0x0E;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InFolder inDriveCodeFolder(DriveCodeFolder());
  FuzzInput input(data, size);
  const int track = input.Byte();
  const int sector = input.Byte();
  const uint8_t flags = input.Byte();
  const auto rawBytes = input.Rest();
  const std::vector<uint8_t> raw(rawBytes.begin(), rawBytes.end());

  {
    Session session;
    Program& p = session.program;
    p.DriveFamily = kFamily1571;
    p.ImageErrors = (flags & 1) != 0;
    SelectGeometry(p, true);
    p.ReplyData = raw;
    MeasureRawTrack(p);
    FindSectorHeader(p, track, sector);
    p.ReplyData = raw;
    DecodeGcrTrack(p, track);
  }

  // The same bytes as the drive's answer to the track read of the track dump.
  Session session;
  Program& p = session.program;
  p.LinkPort = std::make_unique<FramedReplyPort>(
      [&raw](const std::vector<uint8_t>& packet) -> std::optional<FramedReply> {
        if (packet[0] == kReadJobOpcode) return FramedReply{raw, 0};
        return FramedReply{};
      });
  p.CurrentDevice = 8;
  p.DriveFamily = kFamily1571;
  p.FastSerialDriver = 1;
  session.desk.QueueText(std::to_string(track) + ((flags & 2) != 0 ? "p" : ""));
  RunToEnd([&] { DumpTrack(p); });
  return 0;
}
