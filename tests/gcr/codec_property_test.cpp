// The codec and the track search over many random inputs (fixed seeds): round trips, valid
// codes only, every sector of a formatted track found at any rotation, and no access outside
// a buffer on random, truncated and degenerate raw tracks with any position and count.

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "gcr/raw_track_stats.h"
#include "gcr_test_support.h"

namespace dw {
namespace {

using gcrtest::BuildDosTrack;
using gcrtest::IsValidCode;
using gcrtest::RawRead;
using gcrtest::ReferenceEncode;
using gcrtest::ShapeOfTrack;
using gcrtest::TrackImage;

using Bytes = std::vector<uint8_t>;

class CodecPropertyTest : public gcrtest::ProgramTest {
 protected:
  Bytes RandomBytes(size_t n) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(n);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(rng));
    return bytes;
  }

  // Checks every sector of the track the way the track decoder reads it.
  void ExpectEverySectorFound(const TrackImage& image, const std::string& context) {
    for (size_t s = 0; s < image.sectors.size(); ++s) {
      ASSERT_EQ(FindSectorHeader(p, image.track, static_cast<int>(s)), kHeaderFound)
          << context << " sector " << s;
      EXPECT_EQ(p.PlainBuffer[5], 'A');
      EXPECT_EQ(p.PlainBuffer[4], 'B');
      SeekSyncEnd(p);
      GcrDecode(p, 260);
      ASSERT_LT(p.GcrReadPos, std::ssize(p.ReplyData) - 1) << context << " sector " << s;
      ASSERT_EQ(p.PlainBuffer[0], 0x07) << context << " sector " << s;
      const Bytes data(p.PlainBuffer.begin() + 1, p.PlainBuffer.begin() + 257);
      ASSERT_EQ(data, image.sectors[s]) << context << " sector " << s;
      uint8_t checksum = 0;
      for (uint8_t b : data) checksum ^= b;
      EXPECT_EQ(p.PlainBuffer[257], checksum) << context << " sector " << s;
    }
  }

  std::mt19937 rng{20240611};
};

TEST_F(CodecPropertyTest, EncodeThenDecodeGivesTheInputBack) {
  std::uniform_int_distribution<int> groups(1, 600);
  for (int round = 0; round < 100; ++round) {
    const Bytes plain = RandomBytes(static_cast<size_t>(groups(rng)) * 4);
    p.PlainBuffer = plain;
    p.GcrWritePos = 0;
    GcrEncode(p, static_cast<int>(plain.size()));
    ASSERT_EQ(p.GcrWritePos, std::ssize(plain) / 4 * 5);
    Bytes reply(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + p.GcrWritePos);
    ASSERT_EQ(reply, ReferenceEncode(plain)) << "round " << round;
    reply.insert(reply.end(), {0x00, 0x00});
    SetReply(reply);
    p.GcrReadPos = 0;
    GcrDecode(p, static_cast<int>(plain.size()));
    ASSERT_EQ(p.GcrReadPos, std::ssize(plain) / 4 * 5);
    ASSERT_EQ(Bytes(p.PlainBuffer.begin(), p.PlainBuffer.end() - 1), plain) << "round " << round;
  }
}

TEST_F(CodecPropertyTest, EveryGroupTheEncoderMakesHoldsOnlyValidCodes) {
  for (int round = 0; round < 60; ++round) {
    const Bytes plain = RandomBytes(400);
    p.PlainBuffer = plain;
    p.GcrWritePos = 0;
    GcrEncode(p, static_cast<int>(plain.size()));
    for (int64_t group = 0; group < p.GcrWritePos; group += 5) {
      uint64_t bits = 0;
      for (int k = 0; k < 5; ++k)
        bits = (bits << 8) | p.GcrOutBuffer[static_cast<size_t>(group + k)];
      for (int code = 0; code < 8; ++code) {
        const auto value = static_cast<unsigned>((bits >> (35 - 5 * code)) & 31);
        ASSERT_TRUE(IsValidCode(value)) << "group at " << group << " code " << code;
      }
    }
    // No more than two 0 bits in a row anywhere in the stream.
    int zeros = 0;
    for (int64_t i = 0; i < p.GcrWritePos; ++i) {
      for (int bit = 7; bit >= 0; --bit) {
        zeros = (p.GcrOutBuffer[static_cast<size_t>(i)] >> bit & 1) ? 0 : zeros + 1;
        ASSERT_LE(zeros, 2) << "byte " << i;
      }
    }
  }
}

TEST_F(CodecPropertyTest, EverySectorOfAFormattedTrackIsFoundAtAnyRotation) {
  for (int track : {1, 24, 25, 35}) {
    const TrackImage image = BuildDosTrack(track, rng);
    const size_t readBytes =
        static_cast<size_t>(p.TrackTable[static_cast<size_t>(track)].gcrPages) * 256;
    ASSERT_EQ(readBytes, static_cast<size_t>(ShapeOfTrack(track).readBytes));
    // Cuts through every part of a sector, then random ones.
    std::vector<size_t> rotations;
    for (const auto& at : {image.layout[0], image.layout[image.layout.size() - 1]}) {
      for (size_t start :
           {at.headerStart - 5, at.headerStart - 1, at.headerStart, at.headerStart + 4,
            at.dataStart - 3, at.dataStart, at.dataStart + 160, at.dataEnd - 1, at.dataEnd + 2}) {
        rotations.push_back(start);
      }
    }
    std::uniform_int_distribution<size_t> anywhere(0, image.gcr.size() - 1);
    for (int i = 0; i < 5; ++i) rotations.push_back(anywhere(rng));
    for (size_t rotation : rotations) {
      SetReply(RawRead(image, rotation, readBytes));
      ExpectEverySectorFound(
          image, "track " + std::to_string(track) + " rotation " + std::to_string(rotation));
    }
  }
}

TEST_F(CodecPropertyTest, SectorsWhollyInsideATruncatedReadAreStillFound) {
  const TrackImage image = BuildDosTrack(3, rng);
  const Bytes full = RawRead(image, 0, 8192);
  for (size_t length = 0; length < 8194; length += 97) {
    Bytes raw(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
    SetReply(raw);
    for (size_t s = 0; s < image.sectors.size(); ++s) {
      const HeaderSearchResult result = FindSectorHeader(p, 3, static_cast<int>(s));
      if (image.layout[s].dataEnd + 1 >= length) continue;
      ASSERT_EQ(result, kHeaderFound) << length << " bytes, sector " << s;
      SeekSyncEnd(p);
      GcrDecode(p, 260);
      ASSERT_EQ(Bytes(p.PlainBuffer.begin() + 1, p.PlainBuffer.begin() + 257), image.sectors[s]);
    }
  }
}

// Under the sanitizers any access outside ReplyData, PlainBuffer or GcrOutBuffer fails the
// run; the checks here hold the positions to what the codec may do.
class CodecRobustnessTest : public CodecPropertyTest {
 protected:
  void ExerciseEverything(const std::string& context) {
    const int64_t length = std::ssize(p.ReplyData);
    const int64_t end = length - 1;
    MeasureRawTrack(p);
    EXPECT_GE(p.TrackStats.syncCount, 0);
    EXPECT_LE(p.TrackStats.syncCount, std::max<int64_t>(length, 0) / 3 + 1);

    for (int track : {1, 36, 0, 1000}) {
      const HeaderSearchResult result = FindSectorHeader(p, track, 5);
      ASSERT_TRUE(result == kNoHeaderBlock || result == kOtherHeadersOnly ||
                  result == kHeaderChecksumBad || result == kNoSyncAtAll || result == kHeaderFound)
          << context;
      ASSERT_GE(p.GcrReadPos, 0) << context;
      SeekSyncEnd(p);
      GcrDecode(p, 260);
      ASSERT_EQ(p.PlainBuffer.size(), 261u);
    }

    const int64_t starts[] = {std::numeric_limits<int64_t>::min(),
                              -1000000007,
                              -7,
                              -1,
                              0,
                              1,
                              end - 6,
                              end - 5,
                              end - 1,
                              end,
                              length,
                              length + 3,
                              std::numeric_limits<int64_t>::max() - 1,
                              std::numeric_limits<int64_t>::max()};
    for (int64_t start : starts) {
      p.GcrReadPos = start;
      SeekSyncEnd(p);
      const int64_t moved = p.GcrReadPos;
      if (start < std::numeric_limits<int64_t>::max()) {
        ASSERT_GT(moved, start) << context << " from " << start;
        ASSERT_LE(moved, std::max(start + 1, end)) << context << " from " << start;
      }
      if (moved < end) {
        ASSERT_EQ(p.ReplyData[static_cast<size_t>(moved - 1)], 0xFF) << context;
        ASSERT_NE(p.ReplyData[static_cast<size_t>(moved)], 0xFF) << context;
      }
      for (int count : {-4, 0, 1, 3, 4, 7, 8, 260, 1001}) {
        p.GcrReadPos = start;
        GcrDecode(p, count);
        ASSERT_EQ(p.PlainBuffer.size(), static_cast<size_t>(std::max(count, 0)) + 1);
        const int64_t groups = (p.GcrReadPos - start) / 5;
        ASSERT_EQ((p.GcrReadPos - start) % 5, 0);
        ASSERT_LE(groups, (std::max(count, 0) + 3) / 4) << context;
        if (groups > 0) {
          ASSERT_LE(p.GcrReadPos + 2, length) << context << " from " << start;
        }
      }
      p.GcrWritePos = start;
      p.PlainBuffer.assign(3, 0x12);
      GcrEncode(p, 12);
      ASSERT_EQ(p.GcrOutBuffer.size(), 12001u);
    }
  }
};

TEST_F(CodecRobustnessTest, RandomRawTracksOfEveryLength) {
  std::vector<size_t> lengths{0,  1,  2,  3,  4,  5,  6,   7,    8,    9,     10,   11,
                              12, 13, 14, 15, 16, 17, 326, 7692, 8194, 39998, 39999};
  std::uniform_int_distribution<size_t> anyLength(0, 39999);
  for (int i = 0; i < 8; ++i) lengths.push_back(anyLength(rng));
  std::bernoulli_distribution mostlySync(0.7);
  for (size_t length : lengths) {
    SetReply(RandomBytes(length));
    ExerciseEverything("random " + std::to_string(length));
    // Long $FF runs broken by single bytes: many sync ends, few complete groups.
    Bytes syncs = RandomBytes(length);
    for (uint8_t& b : syncs) {
      if (mostlySync(rng)) b = 0xFF;
    }
    SetReply(syncs);
    ExerciseEverything("syncs " + std::to_string(length));
  }
  for (uint8_t fill : {0x00, 0xFF, 0x55, 0x52}) {
    for (size_t length : {0, 1, 2, 3, 6, 7, 40000}) {
      SetReply(Bytes(length, fill));
      ExerciseEverything("fill " + std::to_string(fill) + " " + std::to_string(length));
    }
  }
}

TEST_F(CodecRobustnessTest, TruncatedFormattedTracks) {
  const TrackImage image = BuildDosTrack(20, rng);
  const Bytes full = RawRead(image, 1234, 7680);
  std::vector<size_t> lengths{0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 25, 26, 27};
  std::uniform_int_distribution<size_t> anyLength(0, full.size());
  for (int i = 0; i < 30; ++i) lengths.push_back(anyLength(rng));
  for (size_t length : lengths) {
    SetReply(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
    ExerciseEverything("truncated " + std::to_string(length));
  }
}

}  // namespace
}  // namespace dw
