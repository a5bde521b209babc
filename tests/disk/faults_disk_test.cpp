// The whole-disk commands when the drive, the disk or the PC fails them, end to end on the
// virtual bus with cc1541 disks: what the user is told, how the command ends, and that nothing
// is claimed done that was not and nothing on the PC or the disk is lost.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/restore_from_file.h"
#include "gcr_image_support.h"
#include "sim/media/disk.h"
#include "sim/media/gcr_disk.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

constexpr size_t kD64Data = 174848;
constexpr size_t kD64Sectors = 683;

// A 1541-II with the fast serial driver (or another model) and a cc1541 disk (or "blank") in
// drive 8.
struct DiskBench {
  explicit DiskBench(const std::string& name, bool blank = false,
                     const std::string& model = "1541-II+")
      : dir(name) {
    made = MakeGcrImage(dir, image, "");
    h = std::make_unique<Harness>("8=" + model + ":" + (blank ? std::string("blank") : image));
    // A restore over the disk's own files is what these faults are about.
    h->desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  }
  void Fault(const std::vector<std::string>& words, int64_t atUs) {
    std::string error;
    ASSERT_TRUE(ApplyBusFault(*h->bus, words, atUs, &error)) << error;
  }
  // The log from the connection on, without the connection reports.
  Lines After(const std::string& first) const {
    const Lines log = h->desk.fullLogTexts();
    auto at = std::find(log.begin(), log.end(), first);
    return Lines(at, log.end());
  }
  // How the first command after `first` ended: its "-- done --" or "-- aborted --".
  std::string Ending(const std::string& first) const {
    const Lines log = After(first);
    auto end = std::find_if(log.begin(), log.end(),
                            [](const std::string& line) { return line.rfind("-- ", 0) == 0; });
    return end == log.end() ? std::string() : *end;
  }
  // Restores the bench's image with a fault at a moment: the line before the "-- aborted --" it
  // ends with, which names the track it stopped at (empty when it did not end so).
  std::string RestoreEndingOnATrack(const std::vector<std::string>& words, int64_t atUs) {
    Fault(words, atUs);
    h->desk.QueueFile(image);
    h->desk.QueueCommand(kCmdRestoreImage);
    h->Run();
    const Lines log = After("Restoring from file: \"disk.d64\"; 35 Tracks");
    if (log.size() < 2 || log.back() != "-- aborted --") return "";
    return *(log.end() - 2);
  }
  int Count(const std::string& line) const {
    const Lines log = h->desk.fullLogTexts();
    return static_cast<int>(std::count(log.begin(), log.end(), line));
  }

  fake::TempDir dir;
  std::string image = dir / "disk.d64";
  bool made = false;
  std::unique_ptr<Harness> h;
};

#define DW_REQUIRE_CC1541() \
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed"

TEST(CreateFaults, DriveCodeThatStopsAnsweringEndsTheCreateWithoutAFile) {
  DW_REQUIRE_CC1541();
  DiskBench bench("hungcreate");
  ASSERT_TRUE(bench.made);
  bench.Fault({"hangcode", "8"}, 8'000'000);
  bench.h->desk.QueueFile(bench.dir / "copy.d64");
  bench.h->desk.QueueCommand(kCmdCreateImage);
  bench.h->Run();
  EXPECT_EQ(bench.Count("Connection Timeout"), 1);
  EXPECT_EQ(bench.Ending("Connection Timeout"), "-- aborted --");
  EXPECT_TRUE(bench.h->desk.fileRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(bench.dir / "copy.d64"));
}

// A 1541 has no disk sensor and reads an empty drive's tracks as tracks without a sync; a 1581
// refuses each half track. Not one sector header on the whole disk: nothing to save.
TEST(CreateFaults, AnEmptyDriveIsToldAndNothingIsOfferedForSaving) {
  // A blank disk's noise forms a false sync now and then, but never a header.
  for (const std::string model : {"1541-II+", "1581", "1541-II+:blank"}) {
    SCOPED_TRACE(model);
    fake::TempDir dir("emptycreate");
    Harness h("8=" + model);
    h.desk.QueueFile(dir / "copy.img");
    h.desk.QueueCommand(kCmdCreateImage);
    h.Run();
    const Lines log = h.desk.fullLogTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Lines(log.end() - 2, log.end()),
              (Lines{"Drive 8 holds no readable disk: not one track gave a sector header",
                     "-- aborted --"}));
    EXPECT_TRUE(h.desk.fileRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.img"));
  }
}

// Tracks, zones and drive code follow from the model: a drive whose model byte names none the
// program knows is not read, written or compared, and the user is told which byte it gave.
TEST(UnknownDriveFaults, CreateVerifyRestoreAndFormatAreRefusedNamingTheModelByte) {
  DW_REQUIRE_CC1541();
  DiskBench bench("unknowndrive", false, "1541-OTHER");
  ASSERT_TRUE(bench.made);
  const std::string copy = bench.dir / "copy.d64";
  for (const std::string& file : {bench.image, bench.image, copy}) bench.h->desk.QueueFile(file);
  bench.h->desk.QueueText("NEW,AB");
  for (int command : {kCmdVerifyImage, kCmdRestoreImage, kCmdFastFormat, kCmdCreateImage}) {
    bench.h->desk.QueueCommand(command);
  }
  bench.h->Run();
  EXPECT_EQ(bench.Count("Not supported on an unknown drive (model byte $55 at $FF40)"), 4);
  EXPECT_EQ(bench.Count("-- aborted --"), 4);
  EXPECT_EQ(bench.h->desk.fileRequests().size(), 2u) << "the files to verify and to restore";
  EXPECT_TRUE(bench.h->desk.textRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(copy));
  std::string error;
  ASSERT_TRUE(bench.h->bus->SaveDisk(8, bench.dir / "after.d64", &error)) << error;
  EXPECT_EQ(fake::ReadFile(bench.dir / "after.d64"), fake::ReadFile(bench.image));
}

// An erased track has no sync at all; a track recorded at another bit rate has syncs but no
// sector the drive can read. Both are recorded as errors; every other track is the disk.
TEST(CreateFaults, ErasedAndWrongRateTracksComeBackAsErrorsAndTheRestAsTheDisk) {
  DW_REQUIRE_CC1541();
  DiskBench bench("badtracks");
  ASSERT_TRUE(bench.made);
  bench.Fault({"unformat", "8", "20"}, 0);
  bench.Fault({"wrongrate", "8", "25"}, 0);
  bench.h->desk.QueueCommand(kCmdImageErrors);
  bench.h->desk.QueueFile(bench.dir / "copy.d64");
  bench.h->desk.QueueCommand(kCmdCreateImage);
  bench.h->Run();
  const std::vector<uint8_t> copy = fake::ReadFile(bench.dir / "copy.d64");
  const std::vector<uint8_t> original = fake::ReadFile(bench.image);
  ASSERT_EQ(copy.size(), kD64Data + kD64Sectors);
  EXPECT_TRUE(bench.h->desk.Logged("T20:3333333333333333333<!  SY:0000  BRZ:2"));
  for (int sector = 0; sector < 19; ++sector) {
    EXPECT_EQ(copy[kD64Data + SectorIndex(20, sector)], 3) << "20/" << sector;
  }
  for (int sector = 0; sector < 18; ++sector) {
    EXPECT_NE(copy[kD64Data + SectorIndex(25, sector)], 1) << "25/" << sector;
  }
  for (int track : {1, 18, 19, 21, 24, 26, 35}) {
    const size_t from = static_cast<size_t>(SectorIndex(track, 0)) * 256;
    const size_t to = static_cast<size_t>(SectorIndex(track + 1, 0)) * 256;
    EXPECT_TRUE(std::equal(copy.begin() + from, copy.begin() + to, original.begin() + from))
        << "track " << track;
  }
  EXPECT_EQ(bench.h->desk.logTexts().back(), "-- done --");
}

// A weak sector (17/4) reads wrong on some revolutions; a sector built with a data checksum error
// (20/3), as a protected disk has one, reads wrong on every one. Retries recover the first and
// keep the second as it is; without them the weak sector is saved with its error.
TEST(CreateFaults, RetriesRecoverAWeakSectorAndKeepAnErrorOfTheDiskAsItIs) {
  DW_REQUIRE_CC1541();
  DiskBench bench("weak");
  ASSERT_TRUE(bench.made);
  std::vector<uint8_t> bytes = fake::ReadFile(bench.image);
  bytes.resize(kD64Data + kD64Sectors, 1);
  bytes[kD64Data + SectorIndex(20, 3)] = 5;
  fake::WriteFile(bench.image, bytes);
  const size_t weak = static_cast<size_t>(SectorIndex(17, 4));
  const size_t bad = static_cast<size_t>(SectorIndex(20, 3));

  auto create = [&](bool retries, const std::string& name) {
    auto h = std::make_unique<Harness>("8=1541-II+:" + bench.image);
    std::string error;
    EXPECT_TRUE(ApplyBusFault(*h->bus, {"weak", "8", "17", "4"}, 0, &error)) << error;
    if (retries) {
      h->desk.QueueText("21");
      h->desk.QueueCommand(kCmdRetryTracks);
      h->desk.QueueText(" 3 ");
      h->desk.QueueCommand(kCmdRetryTracks);
    }
    h->desk.QueueCommand(kCmdImageErrors);
    h->desk.QueueFile(bench.dir / name);
    h->desk.QueueCommand(kCmdCreateImage);
    h->Run();
    return h;
  };

  std::unique_ptr<Harness> h = create(true, "copy.d64");
  EXPECT_TRUE(h->desk.Logged("Retries: \"21\" is no count from 1 to 20; retries stay off"));
  EXPECT_TRUE(h->desk.Logged("Retries: 3"));
  EXPECT_TRUE(h->desk.checked(kCmdRetryTracks));
  EXPECT_EQ(h->desk.itemText(kCmdRetryTracks), "Retry damaged tracks (3 retries)");
  std::vector<uint8_t> copy = fake::ReadFile(bench.dir / "copy.d64");
  ASSERT_EQ(copy.size(), kD64Data + kD64Sectors);
  sim::SectorData disk{};
  ASSERT_EQ(h->bus->disk(8)->ReadSector(17, 4, disk), 1);
  EXPECT_TRUE(std::equal(disk.begin(), disk.end(), copy.begin() + weak * 256));
  EXPECT_EQ(copy[kD64Data + weak], 1);
  EXPECT_EQ(copy[kD64Data + bad], 5);
  // The weak sector's track was read until it came good, and no more; the bad one's four times.
  const int reads =
      static_cast<sim::GcrDisk*>(h->bus->disk(8))->TrackOnSide(0, 17).faint[0].spot.reads();
  EXPECT_GE(reads, 2);
  EXPECT_TRUE(h->desk.Logged("Track 17: sector 4 recovered on try " + std::to_string(reads)));
  EXPECT_TRUE(h->desk.Logged("Track 20: sector 3 still bad after 4 reads"));
  EXPECT_TRUE(h->desk.Logged("T17:111111111111111111111  SY:0042  BRZ:3"));
  EXPECT_TRUE(h->desk.Logged("T20:1115111111111111111<!  SY:0038  BRZ:2"));
  EXPECT_EQ(h->desk.diskMap()[16][4], kMapRecovered);
  EXPECT_EQ(h->desk.diskMap()[19][3], 5);
  EXPECT_TRUE(h->desk.Logged(
      "Saved copy.d64: 683 sectors, 1 with errors (1 \xD7 5), 1 recovered on retry"));

  h = create(false, "plain.d64");
  copy = fake::ReadFile(bench.dir / "plain.d64");
  ASSERT_EQ(copy.size(), kD64Data + kD64Sectors);
  EXPECT_EQ(copy[kD64Data + weak], 5);
  EXPECT_TRUE(h->desk.Logged("Saved plain.d64: 683 sectors, 2 with errors (2 \xD7 5)"));
  for (const std::string& line : h->desk.logTexts()) {
    EXPECT_EQ(line.find("recovered"), std::string::npos) << line;
  }
}

TEST(VerifyFaults, ADriveSwitchedOffEndsTheVerifyAbortedWithoutAVerdict) {
  DW_REQUIRE_CC1541();
  DiskBench bench("offverify");
  ASSERT_TRUE(bench.made);
  bench.Fault({"poweroff", "8"}, 8'000'000);
  bench.h->desk.QueueFile(bench.image);
  bench.h->desk.QueueCommand(kCmdVerifyImage);
  bench.h->Run();
  EXPECT_TRUE(bench.h->desk.Logged("Verifying 35 tracks"));
  EXPECT_EQ(bench.Count("Connection Timeout"), 1);
  EXPECT_EQ(bench.Ending("Connection Timeout"), "-- aborted --");
  EXPECT_EQ(bench.Count("Verify OK"), 0);
  EXPECT_TRUE(bench.h->desk.messages().empty()) << "no \"Verify failed!\"";
}

// The tracks time out: the disk is not named afterwards, which would only wait out a second
// time-out for the listing and tell it twice.
TEST(FormatFaults, ADriveSwitchedOffTimesOutOnceAndTheFormatEndsAborted) {
  DW_REQUIRE_CC1541();
  DiskBench bench("offformat");
  ASSERT_TRUE(bench.made);
  bench.Fault({"poweroff", "8"}, 3'000'000);
  bench.h->desk.QueueText("NEW,AB");
  bench.h->desk.QueueCommand(kCmdFastFormat);
  bench.h->Run();
  const Lines log = bench.After("Fast Format 35 Tracks (GCR)");
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(Lines(log.begin(), log.begin() + 5),
            (Lines{"Fast Format 35 Tracks (GCR)", "\"NEW,AB\"",
                   "Drive speed for writing: 300.0 RPM", "Connection Timeout", "-- aborted --"}));
}

// Cut, padded, an image of another drive under a D64 name, empty, and gone between the
// requester and the open: the size decides before the disk is touched.
TEST(RestoreFaults, FilesOfAWrongSizeAreRefusedBeforeTheDiskIsTouched) {
  DW_REQUIRE_CC1541();
  DiskBench bench("wrongsize", true);
  ASSERT_TRUE(bench.made);
  const std::vector<uint8_t> disk = fake::ReadFile(bench.image);
  std::vector<uint8_t> padded = disk;
  padded.push_back(0);
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"cut.d64", std::vector<uint8_t>(disk.begin(), disk.end() - 1)},
      {"padded.d64", padded},
      {"d81.d64", std::vector<uint8_t>(819200, 0)},
      {"empty.d64", {}}};
  for (const auto& [name, bytes] : files) {
    fake::WriteFile(bench.dir / name, bytes);
    bench.h->desk.QueueFile(bench.dir / name);
    bench.h->desk.QueueCommand(kCmdRestoreImage);
  }
  bench.h->desk.QueueFile(bench.dir / "gone.d64");
  bench.h->desk.QueueCommand(kCmdRestoreImage);
  // 4 GiB and a D64's size (sparse): the size is matched whole, not cut to 32 bits.
  const std::string huge = bench.dir / "huge.d64";
  fake::WriteFile(huge, {});
  std::filesystem::resize_file(huge, (uintmax_t{1} << 32) + kD64Data);
  bench.h->desk.QueueFile(huge);
  bench.h->desk.QueueCommand(kCmdRestoreImage);
  bench.h->desk.QueueFile(huge);
  bench.h->desk.QueueCommand(kCmdVerifyImage);
  bench.h->Run();
  const auto& boxes = bench.h->desk.messages();
  ASSERT_EQ(boxes.size(), files.size() + 4);
  for (size_t i = 0; i + 1 < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].request.text, "File size does not match drive capacity.");
  }
  EXPECT_EQ(boxes.back().request.text, "File size does not match disk capacity.");
  EXPECT_EQ(bench.Count("-- done --"), static_cast<int>(files.size()) + 3);
  for (const std::string& line : bench.h->desk.logTexts()) {
    EXPECT_EQ(line.rfind("Restoring from file", 0), std::string::npos) << line;
    EXPECT_EQ(line.rfind("Verifying", 0), std::string::npos) << line;
  }
  auto* held = dynamic_cast<sim::GcrDisk*>(bench.h->bus->drive(8)->heldDisk());
  ASSERT_NE(held, nullptr);
  for (int track = 1; track <= 35; ++track) EXPECT_FALSE(held->TrackOnSide(0, track).present);
}

// A 1541 has no disk sensor: the drive code answers the write of the track it was pulled in
// as done; the check after the track finds no sync on it and ends the restore there.
TEST(RestoreFaults, ADiskPulledOutDuringATrackIsToldAtThatTrack) {
  DW_REQUIRE_CC1541();
  DiskBench bench("pulledrestore", true);
  ASSERT_TRUE(bench.made);
  const std::string failed = bench.RestoreEndingOnATrack({"pullout", "8"}, 12'000'000);
  EXPECT_EQ(failed.rfind("Track ", 0), 0u) << failed;
  EXPECT_NE(failed.find(" not written: the drive reads back NO SYNC"), std::string::npos) << failed;
  EXPECT_TRUE(bench.h->desk.directory().empty());
}

// How many sectors of a track the disk holds as the image has them (under the image's ID), read
// by the virtual drive.
int SectorsAsImage(sim::Disk& disk, const std::vector<uint8_t>& image, int track) {
  constexpr size_t kBamId = 0xA2;
  const size_t bam = static_cast<size_t>(SectorIndex(18, 0)) * 256 + kBamId;
  const std::array<uint8_t, 2> id{image[bam], image[bam + 1]};
  int same = 0;
  for (int sector = 0; sector < disk.SectorsOnTrack(track); ++sector) {
    std::array<uint8_t, 256> data{};
    const auto at = image.begin() + SectorIndex(track, sector) * 256;
    same += disk.ReadSectorWithId(track, sector, data, id) == sim::kJobOk &&
            std::equal(at, at + 256, data.begin());
  }
  return same;
}

// A write-protect tab put on while a track is written stops the write current part-way; the
// drive code looked at the tab before it began and answers the write as done. The track it came
// in is the one told, and every track before it is the image's. A track is written and checked
// about every half second: the tab comes at moments spread over one of them.
TEST(RestoreFaults, ATabPutOnWhileATrackIsWrittenIsToldAtThatTrack) {
  DW_REQUIRE_CC1541();
  int cutTracks = 0;
  for (int64_t at = 6'000'000; at < 6'480'000; at += 80'000) {
    SCOPED_TRACE(at);
    DiskBench bench("tabwrite", true);
    ASSERT_TRUE(bench.made);
    const std::string told = bench.RestoreEndingOnATrack({"protect", "8"}, at);
    ASSERT_EQ(told.rfind("Track ", 0), 0u) << told;
    EXPECT_NE(told.find(" not written: WRITE PROTECT ERROR"), std::string::npos) << told;
    const int track = std::stoi(told.substr(6));
    const std::vector<uint8_t> image = fake::ReadFile(bench.image);
    sim::Disk& disk = *bench.h->bus->disk(8);
    for (int t = 1; t < track; ++t) {
      EXPECT_EQ(SectorsAsImage(disk, image, t), disk.SectorsOnTrack(t)) << "track " << t;
    }
    cutTracks += SectorsAsImage(disk, image, track) > 0;
  }
  EXPECT_GT(cutTracks, 0) << "the tab came in the middle of a write at least once";
}

// A drive whose data stops while its write gate stays on writes the last byte it got round and
// round the track, answering nothing, until the bus reset of the reconnection: the restore ends
// on the time-out, and the track then reads back as that one byte, which a Create records as
// unreadable and never as the disk's data.
TEST(RestoreFaults, AWriteGateLeftOnLeavesATrackOfOneByteThatIsNeverTakenForData) {
  DW_REQUIRE_CC1541();
  DiskBench bench("stuckgate");
  ASSERT_TRUE(bench.made);
  bench.Fault({"stuckwrite", "8"}, 0);
  bench.h->desk.QueueFile(bench.image);
  bench.h->desk.QueueCommand(kCmdRestoreImage);
  bench.h->desk.QueueCommand(kCmdImageErrors);
  bench.h->desk.QueueFile(bench.dir / "back.d64");
  bench.h->desk.QueueCommand(kCmdCreateImage);
  bench.h->Run();
  const Lines log = bench.After("Restoring from file: \"disk.d64\"; 35 Tracks");
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[2], "Connection Timeout");
  EXPECT_EQ(log[3], "-- aborted --");
  const std::vector<uint8_t>& ring = bench.h->bus->disk(8)->RawTrack(1);
  EXPECT_EQ(std::count(ring.begin(), ring.end(), ring[ring.size() / 2]),
            static_cast<long>(ring.size()) - 1)
      << "one byte round the track but for the splice";
  EXPECT_EQ(bench.Ending("Reading 35 tracks"), "-- done --");
  const std::vector<uint8_t> back = fake::ReadFile(bench.dir / "back.d64");
  const std::vector<uint8_t> image = fake::ReadFile(bench.image);
  ASSERT_EQ(back.size(), kD64Data + kD64Sectors);
  for (int sector = 0; sector < 21; ++sector) {
    EXPECT_EQ(back[kD64Data + static_cast<size_t>(sector)], 3) << "sector " << sector;
    EXPECT_EQ(std::count(back.begin() + sector * 256, back.begin() + sector * 256 + 256, 0), 256);
  }
  EXPECT_TRUE(std::equal(image.begin() + 21 * 256, image.end(), back.begin() + 21 * 256))
      << "every other track as it was";
}

// RESET in the middle of a download over an older PC file of that name: the older file stays as
// it was, and the bytes received are kept beside it under a name that says what they are.
TEST(PrgDownloadFaults, ResetKeepsTheOlderFileAndTheBytesReceivedBesideIt) {
  DW_REQUIRE_CC1541();
  DiskBench bench("resetdownload");
  ASSERT_TRUE(bench.made);
  const std::string target = bench.dir / "large.prg";
  const std::vector<uint8_t> older(3000, 0xEE);
  fake::WriteFile(target, older);
  // Line 6 of the listing is "large", 260 blocks: well over 10 s on the bus.
  bench.h->desk.QueueCommand(kCmdDirectory);
  bench.h->desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, 6});
  bench.h->desk.QueueFile(target);
  bench.h->desk.QueueMessageAnswer(MessageAnswer::kYes);  // replace it
  bench.h->desk.ScheduleEvent(10'000'000, {EventKind::kResetButton, 0});
  bench.h->Run();
  EXPECT_EQ(fake::ReadFile(target), older);
  const std::vector<uint8_t> whole = ManySizes()[5].bytes;
  const std::vector<uint8_t> kept = fake::ReadFile(target + ".part");
  ASSERT_GT(kept.size(), 0u);
  ASSERT_LT(kept.size(), whole.size());
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
  EXPECT_TRUE(bench.h->desk.Logged("Incomplete file: received up to byte " +
                                   std::to_string(kept.size()) + ", kept in " + target + ".part"));
  EXPECT_EQ(bench.Count("-- aborted --"), 1);
}

// A reply the link garbles in the middle of a download: a wrong echo, junk behind the reply or
// ahead of it, a reply too large to read. The drive has sent that block and cannot send it
// again: the download stops there and keeps only the bytes before it, each in its place.
TEST(PrgDownloadFaults, AGarbledReplyStopsTheDownloadAndKeepsOnlyTheBytesBeforeIt) {
  DW_REQUIRE_CC1541();
  for (const std::string fault : {"echo", "junk", "junkahead", "oversize"}) {
    SCOPED_TRACE(fault);
    DiskBench bench("garbleddownload" + fault);
    ASSERT_TRUE(bench.made);
    bench.Fault({fault}, 10'000'000);
    const std::string target = bench.dir / "large.prg";
    bench.h->desk.QueueCommand(kCmdDirectory);
    bench.h->desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, 6});
    bench.h->desk.QueueFile(target);
    bench.h->Run();
    EXPECT_FALSE(std::filesystem::exists(target));
    const std::vector<uint8_t> whole = ManySizes()[5].bytes;
    const std::vector<uint8_t> kept = fake::ReadFile(target + ".part");
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), whole.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
    const std::string garbled = "Garbled reply for the block from byte " +
                                std::to_string(kept.size() + 1) +
                                " on; the drive cannot send it again";
    EXPECT_EQ(bench.Count(garbled), 1);
    EXPECT_EQ(bench.Ending(garbled), "-- aborted --");
  }
}

// The block count of a directory entry is only a number the DOS keeps, and some disks set it on
// purpose: a file the drive sends whole, up to its EOI, is saved whole whatever its entry says.
TEST(PrgDownloadFaults, ABlockCountThatDoesNotFitTheFileIsAWarningNotAFailure) {
  DW_REQUIRE_CC1541();
  DiskBench bench("blockcounts");
  ASSERT_TRUE(bench.made);
  // The entries of "two" (254 bytes, 1 block) and "three" (255 bytes, 2 blocks) in 18/1 list 5
  // and 1 blocks.
  constexpr size_t kFirstDirectorySector = 0x16600;
  constexpr size_t kEntry = 32;
  constexpr size_t kBlockCount = 0x1E;
  std::vector<uint8_t> image = fake::ReadFile(bench.image);
  image[kFirstDirectorySector + 1 * kEntry + kBlockCount] = 5;
  image[kFirstDirectorySector + 2 * kEntry + kBlockCount] = 1;
  fake::WriteFile(bench.image, image);
  bench.h = std::make_unique<Harness>("8=1541-II+:" + bench.image);
  bench.h->desk.QueueCommand(kCmdDirectory);
  for (int line : {2, 3}) {
    bench.h->desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, line});
    bench.h->desk.QueueFile(bench.dir / ("copy" + std::to_string(line) + ".prg"));
  }
  bench.h->Run();
  EXPECT_EQ(fake::ReadFile(bench.dir / "copy2.prg"), ManySizes()[1].bytes);
  EXPECT_EQ(fake::ReadFile(bench.dir / "copy3.prg"), ManySizes()[2].bytes);
  EXPECT_EQ(
      bench.Count("Warning: block count 5 in the directory entry; the file of 254 bytes fills 1"),
      1);
  EXPECT_EQ(
      bench.Count("Warning: block count 1 in the directory entry; the file of 255 bytes fills 2"),
      1);
  EXPECT_EQ(bench.Count("-- done --"), 3);
  EXPECT_EQ(bench.Count("-- aborted --"), 0);
}

// A path whose folder is a plain file stands in for a folder that takes no file: the system
// refuses it for root as well.
TEST(PcFileFaults, AnImageIntoAFolderThatTakesNoFileGetsABoxAndNothingIsLeft) {
  DW_REQUIRE_CC1541();
  DiskBench bench("nofolder");
  ASSERT_TRUE(bench.made);
  fake::WriteFile(bench.dir / "plain", {'x'});
  const std::string path = bench.dir / "plain/copy.d64";
  bench.h->desk.QueueFile(path);
  bench.h->desk.QueueCommand(kCmdCreateImage);
  bench.h->Run();
  ASSERT_EQ(bench.h->desk.messages().size(), 1u);
  EXPECT_EQ(bench.h->desk.messages()[0].request.text, "Error: Can't write to file " + path);
  EXPECT_EQ(bench.h->desk.messages()[0].request.icon, MessageIcon::kWarning);
  EXPECT_EQ(bench.h->desk.logTexts().back(), "-- aborted --");
  for (const auto& entry : std::filesystem::directory_iterator(bench.dir.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
  }
}

TEST(PcFileFaults, FilesGoneBetweenTheRequesterAndTheOpenAreToldAndNothingIsWritten) {
  DW_REQUIRE_CC1541();
  DiskBench bench("gonefiles");
  ASSERT_TRUE(bench.made);
  bench.h->desk.QueueFile(bench.dir / "gone.d64");
  bench.h->desk.QueueCommand(kCmdVerifyImage);
  bench.h->desk.QueueCommand(kCmdDirectory);
  bench.h->desk.QueueFile(bench.dir / "gone.prg");
  bench.h->desk.QueueCommand(kCmdRestoreImage);
  bench.h->Run();
  const auto& boxes = bench.h->desk.messages();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].request.text, "File size does not match drive capacity.");
  EXPECT_EQ(boxes[1].request.text, "File size does not match disk capacity.");
  EXPECT_EQ(boxes[2].request.text, "Error: Can't read from file " + bench.dir / "gone.prg");
  EXPECT_FALSE(bench.h->desk.Logged("Verifying 35 tracks"));
  EXPECT_FALSE(bench.h->desk.Logged("Restoring \"GONE\" [PRG]"));
  std::string error;
  ASSERT_TRUE(bench.h->bus->SaveDisk(8, bench.dir / "after.d64", &error)) << error;
  EXPECT_EQ(fake::ReadFile(bench.dir / "after.d64"), fake::ReadFile(bench.image));
}

// A reply with a wrong echo, or junk ahead of it, is told and its track still decoded from what
// arrived; a reply too large to take loses its track, which is then recorded as unreadable and
// not as the disk's data.
TEST(LineFaults, GarbledRepliesInTheTracksAreToldAndNeverPassForTheDisk) {
  DW_REQUIRE_CC1541();
  for (const std::string fault : {"echo", "junk", "oversize"}) {
    SCOPED_TRACE(fault);
    DiskBench bench("garbled" + fault);
    ASSERT_TRUE(bench.made);
    bench.Fault({fault}, 5'000'000);
    bench.h->desk.QueueCommand(kCmdImageErrors);
    bench.h->desk.QueueFile(bench.dir / "copy.d64");
    bench.h->desk.QueueCommand(kCmdCreateImage);
    bench.h->Run();
    EXPECT_EQ(bench.Ending("Reading 35 tracks"), "-- done --");
    const std::vector<uint8_t> copy = fake::ReadFile(bench.dir / "copy.d64");
    const std::vector<uint8_t> original = fake::ReadFile(bench.image);
    ASSERT_EQ(copy.size(), kD64Data + kD64Sectors);
    int lostSectors = 0;
    for (size_t sector = 0; sector < kD64Sectors; ++sector) {
      const bool same =
          std::equal(original.begin() + sector * 256, original.begin() + sector * 256 + 256,
                     copy.begin() + sector * 256);
      const uint8_t code = copy[kD64Data + sector];
      EXPECT_TRUE(code == 1 ? same : code == 2) << "sector " << sector << " code " << int{code};
      lostSectors += code != 1;
    }
    if (fault == "oversize") {
      EXPECT_GT(lostSectors, 0);
    } else {
      EXPECT_EQ(lostSectors, 0);
      EXPECT_EQ(bench.Count("Response Error"), 1);
    }
  }
}

// Replies the adapter itself marks as failed: $08, its wait for the drive's bytes ran out and it
// sends the half that came; $04, the drive did not answer at all. Neither is a track: the error
// is told, no track line is made from what came, and the Create ends without a file.
TEST(AdapterStatusFaults, ATrackReadTheAdapterGaveUpOnIsNoTrackAndTheCreateEndsWithoutAFile) {
  DW_REQUIRE_CC1541();
  for (const auto& [fault, text] : {std::pair{"readtimeout", "TIMEOUT (READ TRACK)"},
                                    std::pair{"notpresent", "DEVICE NOT PRESENT"}}) {
    SCOPED_TRACE(fault);
    DiskBench bench(std::string("status") + fault);
    ASSERT_TRUE(bench.made);
    bench.Fault({fault}, 3'000'000);
    bench.h->desk.QueueFile(bench.dir / "copy.d64");
    bench.h->desk.QueueCommand(kCmdCreateImage);
    bench.h->Run();
    const Lines log = bench.After(std::string("Drive #8 ERROR! ---> IEC Bus: ") + text);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "-- aborted --");
    EXPECT_TRUE(bench.h->desk.fileRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(bench.dir / "copy.d64"));
  }
}

// The listing's first read (its load address) failing leaves the drive with the bytes the
// program never got: what it sends next is no listing from its start.
TEST(AdapterStatusFaults, AListingWhoseFirstReadFailsShowsNoLines) {
  DW_REQUIRE_CC1541();
  for (const char* fault : {"notpresent", "readtimeout"}) {
    SCOPED_TRACE(fault);
    DiskBench bench(std::string("listing") + fault);
    ASSERT_TRUE(bench.made);
    // The command opens the listing at 2 s; its first read waits for the drive's search.
    bench.h->desk.QueueIdleEvent({EventKind::kCommand, kCmdDirectory}, 2'000'000);
    bench.Fault({fault}, 2'100'000);
    bench.h->Run();
    EXPECT_TRUE(bench.h->desk.directory().empty());
    EXPECT_EQ(bench.Count("-- aborted --"), 1);
  }
}

// A D81 full of one file restored onto a formatted 1581 disk, with a fault at a moment and the
// format asked for or not: the whole log.
Lines Restore1581WithFault(const std::string& name, const std::vector<std::string>& fault,
                           int64_t atUs, MessageAnswer format) {
  fake::TempDir dir(name);
  const std::string image = dir / "full.d81";
  const std::string disk = dir / "formatted.d81";
  if (!oracle::MakeImage(dir, image, {{"big", oracle::Noise(254 * 1200, 7)}}) ||
      !oracle::MakeImage(dir, disk, {})) {
    ADD_FAILURE() << "cc1541 made no image";
    return {};
  }
  Harness h("8=1581:" + disk);
  std::string error;
  EXPECT_TRUE(ApplyBusFault(*h.bus, fault, atUs, &error)) << error;
  h.desk.QueueFile(image);
  h.desk.QueueMessageAnswer(format);
  h.desk.QueueCommand(kCmdRestoreImage);
  h.Run();
  return h.desk.fullLogTexts();
}

// The 1581 knows when its disk is gone: the track it leaves in (or the first after it) is
// refused, the restore stops there and ends aborted with the drive's message naming the sector.
TEST(Restore1581Faults, ADiskTakenOutInTheTracksIsToldAtTheFirstTrackAndEndsAborted) {
  DW_REQUIRE_CC1541();
  const Lines log =
      Restore1581WithFault("eject1581", {"eject", "8"}, 4'000'000, MessageAnswer::kNo);
  const auto refused = std::find_if(
      log.begin(), log.end(), [](const std::string& line) { return line.rfind("Track ", 0) == 0; });
  ASSERT_NE(refused, log.end());
  const int track = std::stoi(refused->substr(6));
  EXPECT_GT(track, 1);
  EXPECT_EQ(*refused, "Track " + std::to_string(track) + ": NO DRIVE PRESENT");
  char channel[32];
  std::snprintf(channel, sizeof channel, "74,DRIVE NOT READY,%02d,", track);
  ASSERT_EQ(log.end() - refused, 4);
  EXPECT_EQ(refused[1], "Tracks restored: " + std::to_string(track - 1));
  EXPECT_EQ(refused[2].rfind(channel, 0), 0u) << refused[2];
  EXPECT_EQ(refused[3], "-- aborted --");
}

// The burst format lays the tracks one after the other; a disk taken out in the middle leaves the
// 1581 with its error: there is no formatted disk to restore onto, and the restore fails.
TEST(Restore1581Faults, ADiskTakenOutDuringTheFormatEndsTheRestoreAbortedWithNothingWritten) {
  DW_REQUIRE_CC1541();
  const Lines log =
      Restore1581WithFault("eject1581format", {"pullout", "8", "0.3"}, 0, MessageAnswer::kYes);
  const auto format = std::find(log.begin(), log.end(), "Formatting 80 tracks");
  ASSERT_NE(format, log.end());
  ASSERT_EQ(log.end() - format, 3);
  EXPECT_EQ(format[1].rfind("74,DRIVE NOT READY,", 0), 0u) << format[1];
  EXPECT_EQ(format[2], "-- aborted --");
}

}  // namespace
}  // namespace dw
