// Makes the seed inputs of the link targets from sessions with the virtual bus: every byte the
// program reads between two packets it writes, in the form each target takes its input.
//   fuzz_make_seeds IMAGE.d64 IMAGE.d81 FOLDER   (FOLDER/<target>/ must exist)

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "disk/directory.h"
#include "fuzz/fuzz_session.h"
#include "link/connect.h"
#include "link/exchange.h"
#include "shell/main_loop.h"
#include "sim/bus/virtual_bus.h"
#include "testkit/scripted_desk.h"
#include "tools/track_dump.h"

namespace dw::fuzz {
namespace {

struct Recording {
  std::vector<std::vector<uint8_t>> packets;
  std::vector<std::vector<uint8_t>> segments{{}};  // the first: what came before any packet
};

class RecordingPort final : public SerialPort {
 public:
  RecordingPort(std::unique_ptr<SerialPort> inner, Recording& recording)
      : inner_(std::move(inner)), recording_(recording) {}
  int BytesWaiting() override { return inner_->BytesWaiting(); }
  int Read(uint8_t* buffer, int maxBytes) override {
    const int got = inner_->Read(buffer, maxBytes);
    if (got > 0)
      recording_.segments.back().insert(recording_.segments.back().end(), buffer, buffer + got);
    return got;
  }
  int Write(const uint8_t* data, int count) override {
    recording_.packets.emplace_back(data, data + count);
    recording_.segments.emplace_back();
    return inner_->Write(data, count);
  }
  void SetBreak(bool on) override { inner_->SetBreak(on); }

 private:
  std::unique_ptr<SerialPort> inner_;
  Recording& recording_;
};

class RecordingOpener final : public PortOpener {
 public:
  RecordingOpener(sim::VirtualBus& bus, Recording& recording) : bus_(bus), recording_(recording) {}
  std::unique_ptr<SerialPort> Open(int number) override {
    if (number != 0) return nullptr;
    return std::make_unique<RecordingPort>(bus_.OpenPort(), recording_);
  }

 private:
  sim::VirtualBus& bus_;
  Recording& recording_;
};

struct RecordedSession {
  explicit RecordedSession(const std::string& bus_description) {
    std::string error;
    bus = sim::VirtualBus::FromDescription(
        bus_description, [this] { return clock.NowUs(); }, &error);
    if (!bus) throw std::runtime_error(error);
    opener = std::make_unique<RecordingOpener>(*bus, recording);
    program = std::make_unique<Program>(desk, clock, *opener);
    StartUp(*program);
  }
  VirtualClock clock;
  ScriptedDesk desk{clock};
  Recording recording;
  std::unique_ptr<sim::VirtualBus> bus;
  std::unique_ptr<RecordingOpener> opener;
  std::unique_ptr<Program> program;
};

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void PutWord(std::vector<uint8_t>& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// The link_port form: per segment its length, a piece size, the bytes.
std::vector<uint8_t> PieceFed(const Recording& recording, uint8_t pieceSize) {
  std::vector<uint8_t> out;
  for (const auto& segment : recording.segments) {
    PutWord(out, segment.size());
    out.push_back(pieceSize);
    out.insert(out.end(), segment.begin(), segment.end());
  }
  return out;
}

// The framed form: per reply its status, its data length and data (the trailer taken apart).
std::vector<uint8_t> Framed(const Recording& recording, size_t firstSegment) {
  std::vector<uint8_t> out;
  for (size_t i = firstSegment; i < recording.segments.size(); ++i) {
    const auto& segment = recording.segments[i];
    if (segment.size() < 4) continue;
    const size_t n = segment.size();
    const size_t length = std::min<size_t>(segment[n - 4] + 256u * segment[n - 3], n - 4);
    out.push_back(segment[n - 2]);
    PutWord(out, length);
    out.insert(out.end(), segment.begin(), segment.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return out;
}

}  // namespace
}  // namespace dw::fuzz

int main(int argc, char** argv) {
  using namespace dw;
  using namespace dw::fuzz;
  if (argc != 4) {
    std::fprintf(stderr, "usage: fuzz_make_seeds IMAGE.d64 IMAGE.d81 FOLDER\n");
    return 2;
  }
  InFolder inDriveCodeFolder(DriveCodeFolder());
  const std::string image = argv[1];
  const std::string image1581 = argv[2];
  const std::string folder = argv[3];

  // The start-up, a listing and the error channel, as the link port target runs them.
  for (const std::string model : {"1541-II", "1581"}) {
    RecordedSession s("8=" + model + ":" + (model == "1581" ? image1581 : image));
    ConnectDrives(*s.program);
    ShowDirectory(*s.program);
    ReadErrorChannel(*s.program);
    Save(folder + "/fuzz_link_port/session-" + model, PieceFed(s.recording, 0));
    Save(folder + "/fuzz_link_port/pieces-" + model, PieceFed(s.recording, 7));
  }

  // A listing and the download of its first file line.
  {
    RecordedSession s("8=1541-II:" + image);
    ConnectDrives(*s.program);
    const size_t first = s.recording.segments.size();
    ShowDirectory(*s.program);
    s.desk.SelectDirectoryLine(1);
    s.desk.QueueFile(ScratchFolder() + "/seed.prg");
    DownloadPrg(*s.program);
    std::vector<uint8_t> seed{kFamily1541, 1};
    const auto replies = Framed(s.recording, first);
    seed.insert(seed.end(), replies.begin(), replies.end());
    Save(folder + "/fuzz_directory_listing/listing-and-download", seed);
  }

  // Raw tracks 18 and 1 as the track dump reads them.
  for (const int track : {18, 1}) {
    RecordedSession s("8=1571:" + image);
    ConnectDrives(*s.program);
    s.desk.QueueText(std::to_string(track));
    DispatchCommand(*s.program, kCmdDumpTrack);
    for (size_t i = 0; i < s.recording.packets.size(); ++i) {
      if (s.recording.packets[i][0] != kOpReadJob) continue;
      const auto& segment = s.recording.segments[i + 1];
      const size_t n = segment.size();
      if (n < 4) continue;
      const size_t length = std::min<size_t>(segment[n - 4] + 256u * segment[n - 3], n - 4);
      std::vector<uint8_t> seed{static_cast<uint8_t>(track), 0, 0};
      seed.insert(seed.end(), segment.begin(),
                  segment.begin() + static_cast<std::ptrdiff_t>(length));
      Save(folder + "/fuzz_raw_track/track-" + std::to_string(track), seed);
    }
  }
  return 0;
}
