// Create and Verify on the GCR drives, end to end: the drive code reads raw tracks from the
// virtual disk, the program decodes them. Images made by cc1541 are the oracle.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk/geometry.h"
#include "disk/read_track.h"
#include "gcr_image_support.h"
#include "link/detect.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr size_t kD64Data = 174848;

struct RoundTrip {
  const char* model;
  const char* image;    // file name; its extension tells the layout
  const char* options;  // for cc1541
  bool fortyTracks;
  size_t size;
  const char* drive = "";  // options of the virtual drive
};

void PrintTo(const RoundTrip& c, std::ostream* out) {
  *out << c.model << c.drive << " " << c.image;
}

class CreateGcr : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CreateGcr, TheCreatedFileIsTheImageAndVerifiesOk) {
  const RoundTrip c = GetParam();
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"creategcr"};
  const std::string image = dir / c.image;
  ASSERT_TRUE(MakeGcrImage(dir, image, c.options));
  ASSERT_EQ(fake::ReadFile(image).size(), c.size);
  const std::string created = dir / (std::string("copy-") + c.image);

  Harness h(std::string("8=") + c.model + ":" + image + c.drive);
  h.desk.QueueFile(created);
  h.desk.QueueFile(created);
  if (c.fortyTracks) h.desk.QueueCommand(kCmdFortyTracks);
  h.desk.QueueCommand(kCmdCreateImage);
  h.desk.QueueCommand(kCmdVerifyImage);
  h.Run();
  EXPECT_EQ(fake::ReadFile(created), fake::ReadFile(image));
  const int tracks = static_cast<int>(c.size / 256 > 683 ? (c.size > 200000 ? 70 : 40) : 35);
  EXPECT_TRUE(h.desk.Logged("Reading " + std::to_string(tracks) + " tracks"));
  EXPECT_TRUE(h.desk.Logged("Verify OK"));
  EXPECT_FALSE(h.desk.Logged("-- aborted --"));
  // A 1571 in 1541 mode (as after power-up with a C64) reports one side of a double-sided disk
  // until it is switched; one in 1571 mode already is left alone.
  EXPECT_EQ(h.desk.Logged("Double-sided disk: switching the 1571 to 1571 mode (U0>M1)"),
            tracks == 70 && std::string(c.drive).empty());
  // The ruler, then one status line per track, all good.
  EXPECT_TRUE(h.desk.Logged("Sec:000000000011111111112"));
  EXPECT_TRUE(h.desk.Logged("Sec:012345678901234567890"));
  int good = 0;
  for (const std::string& line : h.desk.logTexts()) {
    if (line.size() > 4 && line[0] == 'T' && line[3] == ':') {
      EXPECT_EQ(line.find("<!"), std::string::npos) << line;
      ++good;
    }
  }
  EXPECT_EQ(good, 2 * tracks) << "create and verify";
  EXPECT_TRUE(h.desk.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, CreateGcr,
                         ::testing::Values(RoundTrip{"1541-II+", "disk.d64", "", false, 174848},
                                           RoundTrip{"1541-C+", "disk.d64", "", false, 174848},
                                           RoundTrip{"1570", "disk.d64", "", false, 174848},
                                           RoundTrip{"1571", "disk.d64", "", false, 174848},
                                           RoundTrip{"1571", "disk.d71", "", false, 349696},
                                           RoundTrip{"1571", "disk.d71", "", false, 349696,
                                                     ":1571mode"},
                                           RoundTrip{"1541-II+", "forty.d64", "-4", true, 196608},
                                           RoundTrip{"1571", "forty.d64", "-4", true, 196608}));

// A drive turning at 294 rpm lays 7849 bytes in a zone 3 turn; read at 300 they come every 25.5
// microseconds, zone 4 or 3 by the rule of byte times as the count rounds. No drive has a zone
// 4: the track is of the fastest zone there is. Zone 1 tracks come at 29.4 us, which the rule
// gives zone 2; zone 2 and zone 0 tracks stay what they are.
TEST(CreateGcrSpeeds, ADiskWrittenByASlowDriveIsCopiedWholeWithZonesThatExist) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"createslow"};
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  const std::string created = dir / "copy.d64";
  Harness h("8=1541-II+:" + image + ":written@294");
  h.desk.QueueFile(created);
  h.desk.QueueCommand(kCmdCreateImage);
  h.Run();
  EXPECT_EQ(fake::ReadFile(created), fake::ReadFile(image));
  int tracks = 0;
  for (const std::string& line : h.desk.logTexts()) {
    if (line.size() < 4 || line[0] != 'T' || line[3] != ':') continue;
    const int track = std::stoi(line.substr(1, 2));
    const char* zone = track <= 17 ? "BRZ:3" : track <= 30 ? "BRZ:2" : "BRZ:0";
    EXPECT_EQ(line.substr(line.size() - 5), zone) << line;
    ++tracks;
  }
  EXPECT_EQ(tracks, 35);
}

TEST(CreateGcrErrors, EveryCodeComesBackInItsErrorByteAndOnlyFoundDataBlocksAreKept) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"createerr"};
  const std::string plain = dir / "plain.d64";
  ASSERT_TRUE(MakeGcrImage(dir, plain, ""));
  std::vector<uint8_t> bytes = fake::ReadFile(plain);
  ASSERT_EQ(bytes.size(), kD64Data);
  bytes = WithErrorBytes(bytes);
  const std::string image = dir / "errors.d64";
  fake::WriteFile(image, bytes);

  const std::string created = dir / "copy.d64";
  Harness h("8=1541-II+:" + image);
  h.desk.QueueFile(created);
  h.desk.QueueCommand(kCmdImageErrors);
  h.desk.QueueCommand(kCmdCreateImage);
  h.Run();
  const std::vector<uint8_t> expected = AsReadBack(bytes);
  const std::vector<uint8_t> copy = fake::ReadFile(created);
  ASSERT_EQ(copy.size(), expected.size());
  EXPECT_TRUE(std::equal(copy.begin() + kD64Data, copy.end(), expected.begin() + kD64Data))
      << "the same codes in the same error bytes, 1 elsewhere";
  for (const Defect& d : kDefects) {
    const size_t at = static_cast<size_t>(SectorIndex(d.track, d.sector)) * 256;
    EXPECT_TRUE(std::equal(copy.begin() + at, copy.begin() + at + 256, expected.begin() + at))
        << "data of the sector with code " << int{d.code};
  }
  EXPECT_EQ(copy, expected);
}

// Reads through ReadTrack at several moments of the disk's turn, one track of every zone.
TEST(ReadTrackGcr, EveryZoneAtAnyAngleDecodesEverySectorWithItsFigures) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"readgcr"};
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  const std::vector<uint8_t> file = fake::ReadFile(image);
  Harness h("8=1541-II+:" + image);
  h.Connect();
  Program& p = h.program;
  DetectDiskFormat(p, true);
  ASSERT_EQ(SelectGeometry(p, false), 35);
  StartSectorTransfer(p, kCodeTrackRead, true);
  const std::pair<int, int> zones[] = {{1, 3}, {18, 2}, {25, 1}, {35, 0}};
  for (int64_t turn : {0, 37'000, 91'000, 153'000}) {
    for (auto [track, zone] : zones) {
      SCOPED_TRACE("track " + std::to_string(track) + " after " + std::to_string(turn) + " us");
      h.clock.AdvanceUs(turn);
      h.desk.ClearLog();
      std::fill(p.ImageBuffer.begin(), p.ImageBuffer.end(), uint8_t{0});
      ASSERT_TRUE(ReadTrack(p, track));
      const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
      const auto at = static_cast<size_t>(record.imageOffset);
      EXPECT_TRUE(std::equal(file.begin() + at, file.begin() + at + record.sectorCount * 256,
                             p.ImageBuffer.begin() + at));
      EXPECT_EQ(p.TrackStats.bitrateZone, zone);
      EXPECT_GE(p.TrackStats.syncCount, 2 * record.sectorCount);
      EXPECT_LE(p.TrackStats.syncCount, 2 * record.sectorCount + 1);
      ASSERT_EQ(h.desk.logTexts().size(), 1u);
      char head[8];
      std::snprintf(head, sizeof head, "T%02d:", track);
      EXPECT_EQ(h.desk.logTexts()[0].substr(0, 4 + record.sectorCount),
                head + std::string(record.sectorCount, '1'));
    }
  }
}

TEST(ReadTrackGcr, TheWrongDriveCodeNeverAnswersTheReadJob) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"wrongcode"};
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  Harness h("8=1541-II+:" + image);
  h.Connect();
  Program& p = h.program;
  DetectDiskFormat(p, true);
  SelectGeometry(p, false);
  StartSectorTransfer(p, kCodeTrackWrite, true);
  ASSERT_EQ(p.LinkState, 0);
  h.desk.ClearLog();
  EXPECT_FALSE(ReadTrack(p, 1));
  EXPECT_TRUE(h.desk.Logged("Connection Timeout"));
  EXPECT_EQ(p.LinkState, kLinkTimeout);
}

}  // namespace
}  // namespace dw

namespace dw {
namespace {

// A disk made for the fault tests and a harness with the drive, ready to run commands.
struct FaultBench {
  explicit FaultBench(const std::string& name, const std::string& model = "1541-II+") : dir(name) {
    made = MakeGcrImage(dir, image, "");
    if (made) h = std::make_unique<Harness>("8=" + model + ":" + image);
  }
  // Runs Create with the fault at `atUs` of virtual time (well into the tracks).
  void CreateWith(const std::vector<std::string>& fault, int64_t atUs) {
    std::string error;
    ASSERT_TRUE(ApplyBusFault(*h->bus, fault, atUs, &error)) << error;
    h->desk.QueueFile(created);
    h->desk.QueueCommand(kCmdCreateImage);
    h->Run();
  }
  // A track the fault cut short is drawn as not read, not as a track of errors: every cell of
  // the map is good or not read, and the tracks after the fault were not reached.
  void ExpectTheCutTrackNotRead() const {
    const auto& map = h->desk.diskMap();
    ASSERT_EQ(map.size(), 35u);
    for (size_t track = 0; track < map.size(); ++track) {
      for (uint8_t cell : map[track]) {
        EXPECT_TRUE(cell == kMapGood || cell == kMapNotRead) << "track " << track + 1;
      }
    }
    EXPECT_EQ(map[0][0], kMapGood);
    EXPECT_EQ(map[34][0], kMapNotRead);
  }
  // True when "-- aborted --" was followed by a new connection.
  bool AbortedAndReconnected() const {
    const std::vector<std::string> log = h->desk.fullLogTexts();
    auto aborted = std::find(log.begin(), log.end(), "-- aborted --");
    return aborted != log.end() &&
           std::find(aborted, log.end(), "BUSLINK V2.0 found @ COM0") != log.end();
  }

  fake::TempDir dir;
  std::string image = dir / "disk.d64";
  std::string created = dir / "copy.d64";
  bool made = false;
  std::unique_ptr<Harness> h;
};

TEST(CreateGcrFaults, ResetPowerOffAndUnplugInTheTracksWriteNothingAndReconnect) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  const std::vector<std::vector<std::string>> faults = {{"poweroff", "8"}, {"unplug"}};
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault[0]);
    FaultBench bench("createfault");
    ASSERT_TRUE(bench.made);
    // Power comes back before the job's time-out ends, so that the reconnection finds the
    // drive. A pulled plug ends the command at once: it goes back in before the reconnection
    // looks for the adapter.
    const bool unplug = fault[0] == "unplug";
    std::string error;
    ASSERT_TRUE(ApplyBusFault(
        *bench.h->bus,
        unplug ? std::vector<std::string>{"replug"} : std::vector<std::string>{"poweron", "8"},
        unplug ? 8'005'000 : 9'000'000, &error));
    bench.CreateWith(fault, 8'000'000);
    EXPECT_TRUE(bench.AbortedAndReconnected());
    bench.ExpectTheCutTrackNotRead();
    EXPECT_TRUE(bench.h->desk.fileRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(bench.created));
  }
  FaultBench bench("createreset");
  ASSERT_TRUE(bench.made);
  bench.h->desk.ScheduleEvent(8'000'000, {EventKind::kResetButton, 0});
  bench.h->desk.QueueFile(bench.created);
  bench.h->desk.QueueCommand(kCmdCreateImage);
  bench.h->Run();
  EXPECT_TRUE(bench.AbortedAndReconnected());
  bench.ExpectTheCutTrackNotRead();
  EXPECT_TRUE(bench.h->desk.fileRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(bench.created));
}

TEST(CreateGcrFaults, ADiskPulledOutLeavesItsTracksRecordedAsUnreadable) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  FaultBench bench("createpulled");
  ASSERT_TRUE(bench.made);
  bench.h->desk.QueueCommand(kCmdImageErrors);
  bench.CreateWith({"eject", "8"}, 8'000'000);
  const std::vector<uint8_t> copy = fake::ReadFile(bench.created);
  ASSERT_EQ(copy.size(), kD64Data + 683);
  // The first track is whole; the last one came from an empty drive: no sync anywhere.
  EXPECT_EQ(copy[kD64Data], 1);
  EXPECT_EQ(copy[kD64Data + 682], 3);
  EXPECT_TRUE(
      std::all_of(copy.end() - 17 * 256 - 683, copy.end() - 683, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(bench.h->desk.Logged("T35:33333333333333333<!  SY:0000  BRZ:0"));
}

TEST(CreateGcrCaution, ADoubleSidedDiskInA1570IsCopiedSingleSidedAfterTheBox) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"caution"};
  const std::string image = dir / "disk.d71";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  const std::string created = dir / "copy.d64";
  Harness h("8=1570:" + image);
  h.desk.QueueFile(created);
  h.desk.QueueCommand(kCmdCreateImage);
  h.Run();
  ASSERT_FALSE(h.desk.messages().empty());
  EXPECT_EQ(h.desk.messages()[0].request.caption, "Caution!");
  EXPECT_EQ(h.desk.messages()[0].request.text, "Can't read all tracks on 1570");
  EXPECT_TRUE(h.desk.Logged("Reading 35 tracks"));
  const std::vector<uint8_t> side1 = fake::ReadFile(image);
  EXPECT_EQ(fake::ReadFile(created), std::vector<uint8_t>(side1.begin(), side1.begin() + kD64Data));

  // With 40 tracks checked, a 1571 takes the 40-track layout over the D71 one.
  Harness h71("8=1571:" + image);
  const std::string forty = dir / "forty.d64";
  h71.desk.QueueFile(forty);
  h71.desk.QueueCommand(kCmdFortyTracks);
  h71.desk.QueueCommand(kCmdCreateImage);
  h71.Run();
  EXPECT_TRUE(h71.desk.Logged("Reading 40 tracks"));
  EXPECT_EQ(fake::ReadFile(forty).size(), 196608u);
}

}  // namespace
}  // namespace dw

namespace dw {
namespace {

TEST(VerifyGcr, AChangedByteIsFoundAtItsPlaceAndErrorBytesAreNotCompared) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"verifygcr"};
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  const std::vector<uint8_t> bytes = fake::ReadFile(image);

  // Byte 5 of track 18 sector 1: 91,392 + 256 + 5.
  std::vector<uint8_t> changed = bytes;
  const uint8_t onDisk = changed[91653];
  changed[91653] = static_cast<uint8_t>(onDisk ^ 0xFF);
  fake::WriteFile(dir / "changed.d64", changed);
  // The same sectors with error bytes that claim damage the disk does not have.
  std::vector<uint8_t> withErrors = bytes;
  withErrors.resize(kD64Data + 683, 5);
  fake::WriteFile(dir / "errors.d64", withErrors);

  Harness h("8=1541-II+:" + image);
  h.desk.QueueFile(dir / "changed.d64");
  h.desk.QueueFile(dir / "errors.d64");
  h.desk.QueueCommand(kCmdVerifyImage);
  h.desk.QueueCommand(kCmdVerifyImage);
  h.Run();
  char disk[48];
  std::snprintf(disk, sizeof disk, "Disk: 0x%X <> File: 0x%X", onDisk, changed[91653]);
  const std::vector<std::string> log = h.desk.logTexts();
  auto failed = std::find(log.begin(), log.end(), "Failed track: 18, sector: 1, offset: $5");
  ASSERT_NE(failed, log.end());
  EXPECT_EQ(*(failed + 1), "File offset: 0x16605");
  EXPECT_EQ(*(failed + 2), disk);
  EXPECT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Verify OK"), 1) << "the file with error bytes";
}

}  // namespace
}  // namespace dw
