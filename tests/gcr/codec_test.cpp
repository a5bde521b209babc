// The GCR codec on the worked examples: the code tables, group packing both ways, the rules
// at the end of a short reply, the sync search and every result of the header search.

#include <algorithm>
#include <vector>

#include "gcr_test_support.h"

namespace dw {
namespace {

using gcrtest::IsValidCode;
using gcrtest::kCodeBits;
using gcrtest::ReferenceEncode;

using Bytes = std::vector<uint8_t>;

class CodecTest : public gcrtest::ProgramTest {
 protected:
  Bytes Encode(const Bytes& plain) {
    p.PlainBuffer = plain;
    p.GcrWritePos = 0;
    GcrEncode(p, static_cast<int>(plain.size()));
    return Bytes(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + p.GcrWritePos);
  }

  // Decodes GCR bytes that stand before the two trailing measurement bytes of a reply.
  Bytes Decode(const Bytes& gcr, int count) {
    Bytes reply = gcr;
    reply.insert(reply.end(), {0x00, 0x00});
    SetReply(reply);
    p.GcrReadPos = 0;
    GcrDecode(p, count);
    return Bytes(p.PlainBuffer.begin(), p.PlainBuffer.begin() + count);
  }

  // A sector header as the DOS writes it, in GCR.
  static Bytes Header(int track, int sector, uint8_t id1 = 'A', uint8_t id2 = 'B',
                      int checksumError = 0) {
    const auto t = static_cast<uint8_t>(track);
    const auto s = static_cast<uint8_t>(sector);
    const auto checksum = static_cast<uint8_t>((s ^ t ^ id1 ^ id2) + checksumError);
    return ReferenceEncode({0x08, checksum, s, t, id2, id1, 0x0F, 0x0F});
  }

  static Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  static Bytes Run(size_t n, uint8_t value) { return Bytes(n, value); }
};

TEST_F(CodecTest, TablesHoldTheCommodoreCodeAndItsInverse) {
  for (unsigned nibble = 0; nibble < 16; ++nibble) {
    const unsigned code = std::stoul(kCodeBits[nibble], nullptr, 2);
    EXPECT_EQ(p.GcrEncodeTable[nibble], code) << "nibble " << nibble;
    EXPECT_EQ(p.GcrDecodeTable[code], nibble) << "code " << code;
  }
  for (unsigned code = 0; code < 32; ++code) {
    if (!IsValidCode(code)) {
      EXPECT_EQ(p.GcrDecodeTable[code], 0) << "invalid code " << code;
    }
  }
}

TEST_F(CodecTest, EncodesTheWorkedExamples) {
  EXPECT_EQ(Encode({0x08, 0x00, 0x00, 0x00}), (Bytes{0x52, 0x54, 0xA5, 0x29, 0x4A}));
  EXPECT_EQ(Encode({0x00, 0x00, 0x00, 0x00}), (Bytes{0x52, 0x94, 0xA5, 0x29, 0x4A}));
  EXPECT_EQ(Encode({0x08, 0x10, 0x00, 0x12}), (Bytes{0x52, 0x56, 0xA5, 0x29, 0x72}));
  // Track 18 sector 0 of a disk with ID "AB".
  EXPECT_EQ(Encode({0x08, 0x11, 0x00, 0x12, 0x42, 0x41, 0x0F, 0x0F}),
            (Bytes{0x52, 0x56, 0xB5, 0x29, 0x72, 0x74, 0x9C, 0xB5, 0x55, 0x55}));
}

TEST_F(CodecTest, DecodesTheWorkedExamples) {
  EXPECT_EQ(Decode({0x52, 0x54, 0xA5, 0x29, 0x4A}, 4), (Bytes{0x08, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Decode({0x52, 0x56, 0xA5, 0x29, 0x72}, 4), (Bytes{0x08, 0x10, 0x00, 0x12}));
  EXPECT_EQ(Decode({0x52, 0x56, 0xB5, 0x29, 0x72, 0x74, 0x9C, 0xB5, 0x55, 0x55}, 8),
            (Bytes{0x08, 0x11, 0x00, 0x12, 0x42, 0x41, 0x0F, 0x0F}));
  EXPECT_EQ(p.GcrReadPos, 10);
}

TEST_F(CodecTest, BlockIdsGiveTheirFirstGcrByte) {
  EXPECT_EQ(Encode({0x08, 0xFF, 0x12, 0x34})[0], 0x52);
  EXPECT_EQ(Encode({0x07, 0xAB, 0xCD, 0xEF})[0], 0x55);
}

TEST_F(CodecTest, InvalidCodesDecodeAsNibbleZero) {
  EXPECT_EQ(Decode(Run(5, 0x00), 4), Bytes(4, 0x00));
  EXPECT_EQ(Decode(Run(5, 0xFF), 4), Bytes(4, 0x00));
  // 11111 (invalid) in place of the second code of $08 $00 $00 $00: the low nibble of the
  // first byte turns 0, everything else stays.
  EXPECT_EQ(Decode({0x57, 0xD4, 0xA5, 0x29, 0x4A}, 4), (Bytes{0x00, 0x00, 0x00, 0x00}));
  // 00000 in place of the code of the high nibble of $F7 (bits 5..1 of the second byte).
  Bytes broken = ReferenceEncode({0x12, 0xF7, 0x34, 0x56});
  broken[1] &= 0xC1;
  EXPECT_EQ(Decode(broken, 4), (Bytes{0x12, 0x07, 0x34, 0x56}));
}

TEST_F(CodecTest, AGroupTouchingTheLastTwoReplyBytesIsNotDecoded) {
  const Bytes group = ReferenceEncode({0x12, 0x34, 0x56, 0x78});
  SetReply(Join({group, {0xAA, 0xBB}}));  // 7 bytes
  p.GcrReadPos = 0;
  GcrDecode(p, 4);
  EXPECT_EQ(p.PlainBuffer, (Bytes{0x12, 0x34, 0x56, 0x78, 0x00}));
  EXPECT_EQ(p.GcrReadPos, 5);

  SetReply(Join({group, {0xAA}}));  // 6 bytes
  p.GcrReadPos = 0;
  GcrDecode(p, 4);
  EXPECT_EQ(p.PlainBuffer, Bytes(5, 0x00));
  EXPECT_EQ(p.GcrReadPos, 0);
}

TEST_F(CodecTest, DecodeStopsSilentlyAndLeavesTheRestZero) {
  p.PlainBuffer.assign(50, 0xEE);
  const Bytes two = ReferenceEncode({1, 2, 3, 4, 5, 6, 7, 8});
  SetReply(Join({two, {0x00, 0x00}}));
  p.GcrReadPos = 0;
  GcrDecode(p, 16);
  EXPECT_EQ(p.PlainBuffer, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(p.GcrReadPos, 10);
  // Continues where it stopped: nothing more fits, so nothing moves.
  GcrDecode(p, 4);
  EXPECT_EQ(p.PlainBuffer, Bytes(5, 0));
  EXPECT_EQ(p.GcrReadPos, 10);
}

TEST_F(CodecTest, DecodeStartsAtTheReadPosition) {
  const Bytes gcr = ReferenceEncode({0xDE, 0xAD, 0xBE, 0xEF});
  SetReply(Join({Run(3, 0x55), gcr, {0, 0}}));
  p.GcrReadPos = 3;
  GcrDecode(p, 4);
  EXPECT_EQ(Bytes(p.PlainBuffer.begin(), p.PlainBuffer.begin() + 4),
            (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(p.GcrReadPos, 8);
}

TEST_F(CodecTest, DecodeWithACountNotAMultipleOfFourKeepsWhatFits) {
  SetReply(Join({ReferenceEncode({1, 2, 3, 4, 5, 6, 7, 8}), {0, 0}}));
  p.GcrReadPos = 0;
  GcrDecode(p, 5);
  EXPECT_EQ(p.PlainBuffer, (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(p.GcrReadPos, 10);

  p.GcrReadPos = 0;
  GcrDecode(p, 0);
  EXPECT_EQ(p.PlainBuffer, Bytes(1, 0));
  EXPECT_EQ(p.GcrReadPos, 0);

  GcrDecode(p, -7);
  EXPECT_EQ(p.PlainBuffer, Bytes(1, 0));
  EXPECT_EQ(p.GcrReadPos, 0);
}

TEST_F(CodecTest, EncodeAppendsAtTheWritePosition) {
  p.GcrWritePos = 0;
  p.PlainBuffer = {0x08, 0x00, 0x00, 0x00};
  GcrEncode(p, 4);
  p.PlainBuffer = {0x00, 0x00, 0x00, 0x00};
  GcrEncode(p, 4);
  EXPECT_EQ(p.GcrWritePos, 10);
  EXPECT_EQ(Bytes(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + 10),
            (Bytes{0x52, 0x54, 0xA5, 0x29, 0x4A, 0x52, 0x94, 0xA5, 0x29, 0x4A}));
}

TEST_F(CodecTest, EncodeReadsMissingPlainBytesAsZero) {
  p.PlainBuffer = {0x08, 0x00};
  p.GcrWritePos = 0;
  GcrEncode(p, 4);
  EXPECT_EQ(Bytes(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + 5),
            (Bytes{0x52, 0x54, 0xA5, 0x29, 0x4A}));
}

TEST_F(CodecTest, EncodeStopsWhenTheOutputBufferIsFull) {
  const int64_t size = std::ssize(p.GcrOutBuffer);
  ASSERT_EQ(size, 12001);
  p.PlainBuffer.assign(8, 0x00);
  p.GcrWritePos = size - 7;  // the last group that fits: it ends before the last two bytes
  GcrEncode(p, 8);
  EXPECT_EQ(p.GcrWritePos, size - 2);
  EXPECT_EQ(Bytes(p.GcrOutBuffer.end() - 7, p.GcrOutBuffer.end()),
            (Bytes{0x52, 0x94, 0xA5, 0x29, 0x4A, 0x00, 0x00}));

  std::fill(p.GcrOutBuffer.begin(), p.GcrOutBuffer.end(), 0xEE);
  for (int64_t start : {size - 6, size - 1, size, size + 100, int64_t{-1}, int64_t{-5}}) {
    p.GcrWritePos = start;
    GcrEncode(p, 8);
    EXPECT_EQ(p.GcrWritePos, start);
  }
  EXPECT_TRUE(std::all_of(p.GcrOutBuffer.begin(), p.GcrOutBuffer.end(),
                          [](uint8_t b) { return b == 0xEE; }));
}

// --- sync search ----------------------------------------------------------------------

TEST_F(CodecTest, SyncSearchStopsOnTheFirstByteBehindAnFF) {
  SetReply({0x55, 0xFF, 0xFF, 0xFF, 0x52, 0x55, 0x55, 0x55});
  p.GcrReadPos = 0;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 4);
}

TEST_F(CodecTest, SyncSearchAlwaysMovesOnAndFindsTheNextMark) {
  SetReply({0xFF, 0x52, 0x00, 0xFF, 0x12, 0x00, 0x00, 0x00});
  p.GcrReadPos = 0;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 1);  // a single $FF counts
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 4);
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 7);  // no more: stops at L - 1
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 8);
}

TEST_F(CodecTest, SyncSearchNeverLooksOutsideTheReply) {
  // Positions before the start: the byte before position 0 does not exist, so the first
  // possible sync end is position 1.
  SetReply({0xFF, 0x00, 0x00, 0x00});
  p.GcrReadPos = -1000;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 1);

  SetReply({});
  p.GcrReadPos = -5;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, -1);

  SetReply({0xFF});
  p.GcrReadPos = -5;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 0);

  SetReply({0xFF, 0x00});
  p.GcrReadPos = 0;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 1);

  SetReply(Bytes(10, 0xFF));
  p.GcrReadPos = 50;
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, 51);
  p.GcrReadPos = std::numeric_limits<int64_t>::max();
  SeekSyncEnd(p);
  EXPECT_EQ(p.GcrReadPos, std::numeric_limits<int64_t>::max());
}

// --- header search --------------------------------------------------------------------

TEST_F(CodecTest, FindsAGoodHeaderAndStandsBehindIt) {
  const Bytes track = Join({Run(5, 0xFF), Header(18, 0), Run(9, 0x55), Run(5, 0xFF), Header(18, 1),
                            Run(9, 0x55), Run(5, 0xFF), Run(20, 0x55)});
  SetReply(track);
  EXPECT_EQ(FindSectorHeader(p, 18, 1), kHeaderFound);
  EXPECT_EQ(p.GcrReadPos, 5 + 10 + 9 + 5 + 10);
  EXPECT_EQ(Bytes(p.PlainBuffer.begin(), p.PlainBuffer.begin() + 8),
            (Bytes{0x08, 18 ^ 1 ^ 'A' ^ 'B', 1, 18, 'B', 'A', 0x0F, 0x0F}));
  // The header's GCR bytes begin 10 bytes before the read position.
  EXPECT_EQ(track[static_cast<size_t>(p.GcrReadPos - 10)], 0x52);
}

TEST_F(CodecTest, ABadChecksumStopsTheSearchEvenBeforeAGoodCopy) {
  SetReply(Join({Run(5, 0xFF), Header(18, 3, 'A', 'B', 1), Run(9, 0x55), Run(5, 0xFF),
                 Header(18, 3), Run(20, 0x55)}));
  EXPECT_EQ(FindSectorHeader(p, 18, 3), kHeaderChecksumBad);
  EXPECT_EQ(p.GcrReadPos, 15);
}

TEST_F(CodecTest, HeadersOfOtherSectorsOrTracksGiveOne) {
  SetReply(Join({Run(5, 0xFF), Header(18, 0), Run(9, 0x55), Run(5, 0xFF), Header(19, 1),
                 Run(9, 0x55), Run(5, 0xFF), Run(20, 0x55)}));
  EXPECT_EQ(FindSectorHeader(p, 18, 1), kOtherHeadersOnly);
  EXPECT_EQ(FindSectorHeader(p, 18, 0), kHeaderFound);
  EXPECT_EQ(FindSectorHeader(p, 19, 1), kHeaderFound);
}

TEST_F(CodecTest, SyncsWithoutHeaderBlocksGiveZero) {
  SetReply(Join({Run(5, 0xFF), ReferenceEncode({0x07, 1, 2, 3, 4, 5, 6, 7}), Run(9, 0x55),
                 Run(5, 0xFF), Run(30, 0x55)}));
  EXPECT_EQ(FindSectorHeader(p, 1, 0), kNoHeaderBlock);
}

TEST_F(CodecTest, NoSyncOrNoCompleteHeaderGivesFifteen) {
  SetReply(Bytes(8000, 0xFF));
  EXPECT_EQ(FindSectorHeader(p, 1, 0), kNoSyncAtAll);
  SetReply(Bytes(8000, 0x55));
  EXPECT_EQ(FindSectorHeader(p, 1, 0), kNoSyncAtAll);
  // A sync mark whose end is the last byte of the reply has nothing behind it.
  SetReply(Join({Run(20, 0x55), Run(5, 0xFF), {0x52}}));
  EXPECT_EQ(FindSectorHeader(p, 1, 0), kNoSyncAtAll);
  for (size_t length : {0u, 1u, 2u, 3u, 6u, 7u}) {
    SetReply(Bytes(length, 0xFF));
    EXPECT_EQ(FindSectorHeader(p, 1, 0), kNoSyncAtAll) << length << " bytes";
  }
}

TEST_F(CodecTest, TheHeaderIsSoughtWithTheTracksOwnBlockId) {
  SetReply(Join({Run(5, 0xFF), Header(5, 2), Run(20, 0x55)}));
  p.TrackTable[5].headerBlockId = 0x09;
  EXPECT_EQ(FindSectorHeader(p, 5, 2), kNoHeaderBlock);
  p.TrackTable[5].headerBlockId = 0x08;
  EXPECT_EQ(FindSectorHeader(p, 5, 2), kHeaderFound);
}

TEST_F(CodecTest, TrackNumbersWithoutARecordUseTheStandardBlockId) {
  for (int track : {0, 81, 255}) {
    SetReply(Join({Run(5, 0xFF), Header(track, 2), Run(20, 0x55)}));
    EXPECT_EQ(FindSectorHeader(p, track, 2), kHeaderFound) << "track " << track;
  }
  SetReply(Join({Run(5, 0xFF), Header(0, 2), Run(20, 0x55)}));
  EXPECT_EQ(FindSectorHeader(p, -1, 2), kOtherHeadersOnly);
  EXPECT_EQ(FindSectorHeader(p, 256, 2), kOtherHeadersOnly);
}

}  // namespace
}  // namespace dw
