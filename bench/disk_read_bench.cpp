// Reading a whole D64 through the program and the virtual bus, once in virtual time (the bus's
// own model of the work: link bytes at 460800 baud, head steps, revolutions) and once at the
// real pace. The wall time of the real run over the modelled time is the program's own share:
// the link and the disk should be all a user waits for.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "disk/create_image.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "link/connect.h"
#include "link/detect.h"
#include "platform/system_clock.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"
#include "testkit/temp_folder.h"
#include "tools/g64_create.h"

namespace dw {
namespace {

// A D64 with a few files, made by cc1541; empty when cc1541 is missing.
std::string MakeDisk(const TempFolder& folder) {
  const std::string path = folder / "bench.d64";
  const std::string command = "cc1541 -q -n bench -i ab '" + path + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 ? path : std::string();
}

// A program on a drive with the disk, connected, on the given clock; the work is timed on it.
struct Rig {
  Rig(Clock& clockIn, const std::string& image) : clock(clockIn) {
    std::string error;
    bus = sim::VirtualBus::FromDescription(
        "8=1541-II+:" + image, [this] { return clock.NowUs(); }, &error);
    ports.Attach(0, bus.get());
    StartUp(program);
    ConnectDrives(program);
    DetectDriveModel(program);
  }

  Clock& clock;
  VirtualClock deskClock;  // the scripted desk's own; the work runs on `clock`
  ScriptedDesk desk{deskClock};
  VirtualPortOpener ports;
  std::unique_ptr<sim::VirtualBus> bus;
  Program program{desk, clock, ports};
};

void ReadAllTracks(Program& p) {
  DetectDiskFormat(p, true);
  SelectGeometry(p, false);
  StartSectorTransfer(p, kCodeTrackRead, true);
  for (int track = 1; track <= p.TrackCount; ++track) ReadTrack(p, track);
}

// Runs the work on a virtual clock (modelled time) and on the real clock (wall time).
void CompareWithModel(benchmark::State& state, const std::function<void(Rig&)>& work) {
  TempFolder folder("bench");
  const std::string image = MakeDisk(folder);
  if (image.empty()) {
    state.SkipWithError("cc1541 is needed");
    return;
  }
  double modelled = 0;
  double wall = 0;
  for (auto _ : state) {
    VirtualClock virtualClock;
    Rig model(virtualClock, image);
    const int64_t start = virtualClock.NowUs();
    work(model);
    modelled = static_cast<double>(virtualClock.NowUs() - start) / 1e6;

    SystemClock realClock;
    Rig real(realClock, image);
    const auto began = std::chrono::steady_clock::now();
    work(real);
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (real.program.LinkState != 0 || model.program.LinkState != 0) {
      state.SkipWithError("the link failed");
      return;
    }
  }
  state.counters["modelled_s"] = modelled;
  state.counters["wall_s"] = wall;
  state.counters["ratio"] = modelled > 0 ? wall / modelled : 0;
}

void BM_Read35TracksRealPace(benchmark::State& state) {
  CompareWithModel(state, [](Rig& rig) { ReadAllTracks(rig.program); });
}
BENCHMARK(BM_Read35TracksRealPace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A whole Create at the real pace against the model, into `fileName`.
void CreateRealPace(benchmark::State& state, const std::string& fileName,
                    void (*create)(Program&)) {
  TempFolder out("bench-out");
  CompareWithModel(state, [&](Rig& rig) {
    // The model's run made the file the real run writes again.
    rig.desk.AnswerQuestion("File already exists", MessageAnswer::kYes);
    rig.desk.QueueFile(out / fileName);
    create(rig.program);
  });
}

void BM_CreateD64RealPace(benchmark::State& state) {
  CreateRealPace(state, "created.d64", CreateDiskImage);
}
BENCHMARK(BM_CreateD64RealPace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_CreateG64RealPace(benchmark::State& state) {
  CreateRealPace(state, "created.g64", CreateG64Image);
}
BENCHMARK(BM_CreateG64RealPace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace dw
