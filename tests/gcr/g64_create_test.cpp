// Create G64 on virtual 1541 drives, end to end: the G64 it makes is restored by the program's
// own G64 restore onto blank virtual disks and read back (as a D64, through the drive's DOS,
// and as a G64 again). cc1541 makes the source disks.

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "commands/restore_from_file.h"
#include "gcr_test_support.h"
#include "tool_test_support.h"
#include "tools/g64_create.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using tooltest::CommandLogs;
using tooltest::ReadBytes;
using tooltest::WriteBytes;

uint32_t Little(const Bytes& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<size_t>(i)];
  return value;
}

// A G64's whole tracks by number, as the file's records hold them.
std::map<int, Bytes> TracksOf(const Bytes& g64) {
  std::map<int, Bytes> tracks;
  const size_t entries = g64[9];
  for (size_t entry = 0; entry < entries; entry += 2) {
    const uint32_t offset = Little(g64, 12 + 4 * entry, 4);
    if (offset == 0) continue;
    const uint32_t length = Little(g64, offset, 2);
    tracks[static_cast<int>(entry / 2) + 1] =
        Bytes(g64.begin() + offset + 2, g64.begin() + offset + 2 + length);
  }
  return tracks;
}

int ZoneOf(int track) {
  return track <= 17 ? 3 : track <= 24 ? 2 : track <= 30 ? 1 : 0;
}

// A G64 as emulators write one: 84 entries, every record 7928 bytes long.
Bytes G64File(const std::map<int, Bytes>& tracks) {
  Bytes g64(0x2AC, 0);
  std::copy_n("GCR-1541", 8, g64.begin());
  g64[9] = 84;
  auto put = [&g64](size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      g64[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(10, 7928, 2);
  for (const auto& [track, bytes] : tracks) {
    const size_t entry = static_cast<size_t>(track - 1) * 2;
    put(12 + 4 * entry, static_cast<uint32_t>(g64.size()), 4);
    put(12 + 4 * (84 + entry), static_cast<uint32_t>(ZoneOf(track)), 4);
    const size_t record = g64.size();
    g64.resize(record + 2 + 7928, 0);
    put(record, static_cast<uint32_t>(bytes.size()), 2);
    std::copy(bytes.begin(), bytes.end(), g64.begin() + static_cast<std::ptrdiff_t>(record + 2));
  }
  return g64;
}

bool IsRotationOf(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return false;
  Bytes twice = b;
  twice.insert(twice.end(), b.begin(), b.end());
  return std::search(twice.begin(), twice.end(), a.begin(), a.end()) != twice.end();
}

// The 8 plain bytes of the header block at a raw track's position.
Bytes HeaderAt(const Bytes& track, size_t at) {
  std::string bits;
  for (size_t k = at; k < at + 10; ++k) bits += std::bitset<8>(track[k]).to_string();
  Bytes plain(8, 0);
  for (size_t code = 0; code < 16; ++code) {
    const auto nibble = std::find(std::begin(gcrtest::kCodeBits), std::end(gcrtest::kCodeBits),
                                  bits.substr(code * 5, 5));
    plain[code / 2] =
        static_cast<uint8_t>(plain[code / 2] * 16 + (nibble - std::begin(gcrtest::kCodeBits)));
  }
  return plain;
}

// The first header block in a raw track (behind a sync): its position and its plain bytes.
std::pair<size_t, Bytes> FirstHeader(const Bytes& track) {
  for (size_t at = 1; at + 10 <= track.size(); ++at) {
    if (track[at - 1] == 0xFF && track[at] == 0x52) return {at, HeaderAt(track, at)};
  }
  return {0, Bytes(8, 0xFF)};
}

size_t SectorOffset(int track, int sector) {
  size_t index = 0;
  for (int t = 1; t < track; ++t) index += t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  return (index + static_cast<size_t>(sector)) * 256;
}

// One sector as the DOS writes it: sync, header block, gap, sync, data block, then the gap.
Bytes SectorGcr(int track, int sector, uint8_t id1, uint8_t id2, const Bytes& data,
                size_t headerSync, size_t tailGap) {
  Bytes gcr(headerSync, 0xFF);
  const auto t = static_cast<uint8_t>(track);
  const auto s = static_cast<uint8_t>(sector);
  const Bytes header = gcrtest::ReferenceEncode(
      {0x08, static_cast<uint8_t>(s ^ t ^ id1 ^ id2), s, t, id2, id1, 0x0F, 0x0F});
  gcr.insert(gcr.end(), header.begin(), header.end());
  gcr.insert(gcr.end(), 9, 0x55);
  gcr.insert(gcr.end(), 5, 0xFF);
  Bytes block = {0x07};
  uint8_t sum = 0;
  for (uint8_t b : data) sum ^= b;
  block.insert(block.end(), data.begin(), data.end());
  block.insert(block.end(), {sum, 0, 0});
  const Bytes encoded = gcrtest::ReferenceEncode(block);
  gcr.insert(gcr.end(), encoded.begin(), encoded.end());
  gcr.insert(gcr.end(), tailGap, 0x55);
  return gcr;
}

// A file as the drive's own DOS reads it off the disk now in drive 8.
Bytes ReadThroughTheDos(Harness& h, const std::string& name) {
  sim::Dos& dos = *h.bus->dos(8);
  Bytes read;
  if (!dos.Open(2, Bytes(name.begin(), name.end()))) return read;
  bool eoi = false;
  while (!eoi) {
    const Bytes part = dos.Read(2, 4096, eoi);
    if (part.empty()) break;
    read.insert(read.end(), part.begin(), part.end());
  }
  dos.Close(2);
  return read;
}

std::string StatusLine(const Lines& log, int track) {
  const std::string head = (track < 10 ? "T0" : "T") + std::to_string(track) + ":";
  for (const std::string& line : log) {
    if (line.rfind(head, 0) == 0) return line;
  }
  return std::string();
}

class G64Create : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
    d64_ = tooltest::MakeDisk(folder_, "disk.d64", "-g disk.g64");
  }

  // Runs the commands, each with its file, on one bus; returns each command's log.
  std::vector<Lines> Run(const std::string& description,
                         const std::vector<std::pair<int, std::string>>& commands) {
    h_ = std::make_unique<Harness>(description);
    for (const auto& [command, file] : commands) {
      h_->desk.QueueFile(file);
      h_->desk.QueueCommand(command);
    }
    h_->Run();
    return CommandLogs(h_->desk);
  }

  std::string Path(const std::string& name) const { return folder_ / name; }

  TempFolder folder_{"g64create"};
  std::string d64_;
  std::unique_ptr<Harness> h_;
};

TEST_F(G64Create, CcG64RestoredCopiedAndRestoredAgainIsCc1541sDisk) {
  const std::vector<Lines> made = Run("8=1541-II+:blank", {{kCmdRestoreImage, Path("disk.g64")},
                                                           {kCmdCreateG64, Path("copy.g64")}});
  ASSERT_EQ(made.size(), 2u);
  const Lines& log = made[1];
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Saved copy.g64: 35 tracks, 683 sectors, no errors");
  EXPECT_EQ(log.back(), "-- done --");
  EXPECT_NE(std::find(log.begin(), log.end(), "Reading 35 tracks"), log.end());
  // The splices the restore left are no drop-outs.
  EXPECT_EQ(std::count_if(
                log.begin(), log.end(),
                [](const std::string& line) { return line.find("drop-out") != std::string::npos; }),
            0);
  EXPECT_EQ(StatusLine(log, 1).substr(0, 25), "T01:111111111111111111111");

  const Bytes g64 = ReadBytes(Path("copy.g64"));
  ASSERT_EQ(g64.size(), 0x2ACu + 35u * 7930u);
  EXPECT_EQ(std::string(g64.begin(), g64.begin() + 8), "GCR-1541");
  EXPECT_EQ(g64[8], 0);
  EXPECT_EQ(g64[9], 84);
  EXPECT_EQ(Little(g64, 10, 2), 7928u);
  const std::map<int, Bytes> source = TracksOf(ReadBytes(Path("disk.g64")));
  const std::map<int, Bytes> tracks = TracksOf(g64);
  ASSERT_EQ(tracks.size(), 35u);
  for (int track = 1; track <= 35; ++track) {
    SCOPED_TRACE(track);
    const size_t entry = static_cast<size_t>(track - 1) * 2;
    EXPECT_EQ(Little(g64, 12 + 4 * entry, 4), 0x2AC + 7930 * entry / 2);
    EXPECT_EQ(Little(g64, 12 + 4 * (entry + 1), 4), 0u) << "no half track";
    EXPECT_EQ(Little(g64, 12 + 4 * (84 + entry), 4), static_cast<uint32_t>(ZoneOf(track)));
    // The disk turned at 300 rpm for the restore: each track is one turn of cc1541's bytes.
    const Bytes& bytes = tracks.at(track);
    EXPECT_EQ(bytes.size(), source.at(track).size());
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), 0) << "a $00 cannot be restored";
    // The track starts in the gap before sector 0's header sync.
    const auto [at, header] = FirstHeader(bytes);
    EXPECT_EQ(header[2], 0) << "sector";
    EXPECT_EQ(bytes[0], 0x55);
    EXPECT_LE(at, 12u);
  }

  const std::vector<Lines> back = Run("8=1541-II+:blank", {{kCmdRestoreImage, Path("copy.g64")},
                                                           {kCmdCreateImage, Path("back.d64")}});
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].back(), "-- done --");
  EXPECT_TRUE(ReadBytes(Path("back.d64")) == ReadBytes(d64_)) << "the D64 is cc1541's";
  EXPECT_EQ(ReadThroughTheDos(*h_, "FILE1"), ReadBytes(Path("file1")));
}

// A track holds one turn of the drive that wrote it: a G64 of a fast drive's disk has short
// tracks, one of a slow drive's disk long ones. Either must come back whole on the other drive.
TEST_F(G64Create, AFastDrivesDiskRestoresOnASlowDriveAndTheReverse) {
  for (const auto& [writer, restorer, length] :
       {std::tuple<std::string, std::string, size_t>{"306", "294", 7541}, {"294", "306", 7849}}) {
    SCOPED_TRACE(writer + " rpm to " + restorer + " rpm");
    const std::vector<Lines> made =
        Run("8=1541-II+@" + writer + "rpm:" + d64_ + ":written@" + writer,
            {{kCmdCreateG64, Path(writer + ".g64")}});
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0][made[0].size() - 2],
              "Saved " + writer + ".g64: 35 tracks, 683 sectors, no errors");
    EXPECT_EQ(TracksOf(ReadBytes(Path(writer + ".g64"))).at(1).size(), length);

    const std::vector<Lines> back =
        Run("8=1541-II+@" + restorer + "rpm:blank",
            {{kCmdRestoreImage, Path(writer + ".g64")}, {kCmdCreateImage, Path(writer + ".d64")}});
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1][back[1].size() - 2], "Saved " + writer + ".d64: 683 sectors, no errors");
    EXPECT_TRUE(ReadBytes(Path(writer + ".d64")) == ReadBytes(d64_));
    EXPECT_EQ(ReadThroughTheDos(*h_, "FILE0"), ReadBytes(Path("file0")));
  }
}

// A track recorded at another rate than its number says shows no header at its own zone: it is
// read at the zone the drive measured, and the G64 records that zone, so that the restore
// writes it at that rate again.
TEST_F(G64Create, ATrackAtAnotherRateIsReadAndKeptAtItsOwnRate) {
  h_ = std::make_unique<Harness>("8=1541-II+:" + d64_);
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h_->bus, {"wrongrate", "8", "5"}, 0, &error)) << error;
  h_->desk.QueueFile(Path("rate.g64"));
  h_->desk.QueueCommand(kCmdCreateG64);
  h_->Run();
  const Lines log = CommandLogs(h_->desk).at(0);
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Track 5 holds no header at zone 3: read at its measured zone 1"),
            log.end());
  // A turn at zone 1 holds 18 of the 21 sectors: the fault cut the rest off the track.
  EXPECT_EQ(StatusLine(log, 5).substr(0, 25), "T05:111111111111111111533");
  const Bytes g64 = ReadBytes(Path("rate.g64"));
  EXPECT_EQ(Little(g64, 12 + 4 * (84 + 8), 4), 1u) << "track 5's speed entry";

  const std::vector<Lines> again = Run("8=1541-II+:blank", {{kCmdRestoreImage, Path("rate.g64")},
                                                            {kCmdCreateG64, Path("again.g64")}});
  ASSERT_EQ(again.size(), 2u);
  EXPECT_TRUE(ReadBytes(Path("again.g64")) == g64);
}

// A G64 holds one side: a 1571's double-sided disk gives its first side, and says so.
TEST_F(G64Create, ADoubleSidedDiskGivesItsFirstSide) {
  const std::string d71 = tooltest::MakeDisk(folder_, "two.d71");
  const std::vector<Lines> made = Run("8=1571:" + d71, {{kCmdCreateG64, Path("two.g64")}});
  ASSERT_EQ(made.size(), 1u);
  const Lines& log = made[0];
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "G64 holds one side: side one of the double-sided disk is saved"),
            log.end());
  EXPECT_EQ(log[log.size() - 2], "Saved two.g64: 35 tracks, 683 sectors, no errors");
  const std::vector<Lines> back = Run("8=1541-II+:blank", {{kCmdRestoreImage, Path("two.g64")},
                                                           {kCmdCreateImage, Path("one.d64")}});
  const Bytes sides = ReadBytes(d71);
  ASSERT_EQ(sides.size(), 2u * 174848u);
  EXPECT_TRUE(ReadBytes(Path("one.d64")) == Bytes(sides.begin(), sides.begin() + 174848));
}

// A disk that leaves the drive halfway leaves no G64 behind, and neither does a drive without
// a readable disk: no track to keep, no requester.
TEST_F(G64Create, NoDiskOrOneThatLeftHalfwayIsNeverSaved) {
  for (const std::string& disk : {":" + d64_, std::string(":blank"), std::string()}) {
    SCOPED_TRACE(disk);
    h_ = std::make_unique<Harness>("8=1541-II+" + disk);
    if (disk == ":" + d64_) {
      // Some 8 s into the tracks, each about 0.4 s long.
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*h_->bus, {"pullout", "8"}, 12'000'000, &error)) << error;
    }
    h_->desk.QueueFile(Path("never.g64"));
    h_->desk.QueueCommand(kCmdCreateG64);
    h_->Run();
    const std::vector<Lines> logs = CommandLogs(h_->desk);
    ASSERT_EQ(logs.size(), 1u);
    const Lines& log = logs[0];
    EXPECT_EQ(log.back(), "-- aborted --");
    const std::string told =
        disk == ":" + d64_ ? " not read: no flux change under the head (no disk turning)"
                           : "Drive 8 holds no readable disk: not one track gave a sector header";
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [&told](const std::string& line) {
                              return line.size() >= told.size() &&
                                     line.compare(line.size() - told.size(), told.size(), told) ==
                                         0;
                            }),
              1)
        << ::testing::PrintToString(log);
    EXPECT_EQ(h_->desk.fileRequests().size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(Path("never.g64")));
  }
}

// Tracks no D64 holds: an extra sector, a sector under another disk ID, a track of nothing but
// sync, a long sync ahead of a sector.
class G64CreateOddTracks : public G64Create {
 protected:
  void SetUp() override {
    G64Create::SetUp();
    if (IsSkipped()) return;
    const Bytes d64 = ReadBytes(d64_);
    std::map<int, Bytes> tracks = TracksOf(ReadBytes(Path("disk.g64")));
    // The disk ID as cc1541's headers carry it (bytes 5 and 4 of the header block).
    const Bytes header = FirstHeader(tracks.at(1)).second;
    const uint8_t id1 = header[5];
    const uint8_t id2 = header[4];
    auto sector = [&](int track, int s) {
      const auto at = d64.begin() + static_cast<std::ptrdiff_t>(SectorOffset(track, s));
      return Bytes(at, at + 256);
    };
    for (int track : {20, 21, 23}) {
      Bytes gcr;
      const int sectors = track == 20 ? 20 : 19;
      for (int s = 0; s < sectors; ++s) {
        const Bytes data = s == 19 ? extra_ : sector(track, s);
        const bool otherId = track == 21 && s == 3;
        const size_t sync = track == 23 && s == 5 ? 300 : 5;
        const Bytes one = SectorGcr(track, s, otherId ? 'Z' : id1, otherId ? 'Q' : id2, data, sync,
                                    track == 20 ? 0 : 3);
        gcr.insert(gcr.end(), one.begin(), one.end());
      }
      ASSERT_LE(gcr.size(), 7142u) << "one turn at 300 rpm holds the track";
      gcr.resize(7142, 0x55);
      tracks[track] = gcr;
    }
    tracks[22] = Bytes(7142, 0xFF);
    // A drop-out of the coating in track 24's last gap: no flux change, which no drive can
    // write back. The G64 keeps the gap's filler there.
    Bytes& dropped = tracks[24];
    const auto gapEnd = std::find(dropped.rbegin(), dropped.rend(), 0x55);
    ASSERT_NE(gapEnd, dropped.rend());
    std::fill_n(gapEnd, 6, uint8_t{0});
    WriteBytes(Path("odd.g64"), G64File(tracks));
    std::replace(dropped.begin(), dropped.end(), uint8_t{0}, uint8_t{0x55});
    odd_ = tracks;
  }

  Bytes extra_ = Bytes(256, 0xE5);
  std::map<int, Bytes> odd_;
};

TEST_F(G64CreateOddTracks, SurviveTheG64RoundTripThatAD64Loses) {
  const std::vector<Lines> first =
      Run("8=1541-II+:" + Path("odd.g64"),
          {{kCmdCreateG64, Path("first.g64")}, {kCmdCreateImage, Path("first.d64")}});
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0][first[0].size() - 2],
            "Saved first.g64: 35 tracks, 683 sectors, 20 with errors (19 \xD7 3, 1 \xD7 B)");
  EXPECT_NE(std::find(first[0].begin(), first[0].end(),
                      "Track 22 does not repeat in the read: 7142 bytes, one turn at zone 2, kept"),
            first[0].end());
  EXPECT_EQ(StatusLine(first[0], 21).substr(0, 23), "T21:111B111111111111111");
  EXPECT_NE(
      std::find(first[0].begin(), first[0].end(),
                "Track 24: 6 bytes without a flux change (a drop-out) kept as the byte before "
                "each"),
      first[0].end());
  const std::map<int, Bytes> tracks = TracksOf(ReadBytes(Path("first.g64")));
  ASSERT_EQ(tracks.size(), 35u);
  for (int track = 1; track <= 35; ++track) {
    EXPECT_TRUE(IsRotationOf(tracks.at(track), odd_.at(track))) << "track " << track;
  }

  // The D64 has no place for sector 19 of track 20, and keeps no disk ID per sector.
  const Bytes d64 = ReadBytes(Path("first.d64"));
  ASSERT_EQ(d64.size(), 174848u);
  EXPECT_EQ(std::search(d64.begin(), d64.end(), extra_.begin(), extra_.end()), d64.end());

  const std::vector<Lines> second = Run("8=1541-II+:blank", {{kCmdRestoreImage, Path("first.g64")},
                                                             {kCmdCreateG64, Path("second.g64")}});
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1].back(), "-- done --");
  const std::map<int, Bytes> again = TracksOf(ReadBytes(Path("second.g64")));
  ASSERT_EQ(again.size(), 35u);
  for (int track = 1; track <= 35; ++track) {
    EXPECT_TRUE(again.at(track) == tracks.at(track)) << "track " << track;
  }
  EXPECT_TRUE(ReadBytes(Path("second.g64")) == ReadBytes(Path("first.g64")))
      << "the restored disk gives the same G64";
  EXPECT_EQ(ReadThroughTheDos(*h_, "FILE2"), ReadBytes(Path("file2")));
}

}  // namespace
}  // namespace dw
