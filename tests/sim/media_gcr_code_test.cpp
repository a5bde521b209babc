// The 4-to-5 code against the published table and examples, and its properties on the disk.

#include <bit>

#include "media_test_support.h"
#include "sim/media/gcr_code.h"

namespace sim::testing {
namespace {

Bytes EncodeHex(std::initializer_list<uint8_t> plain) {
  return gcr::Encode(Bytes(plain));
}

TEST(MediaGcrCode, TableIsTheCommodoreTable) {
  // Nibble 0..F as written in the drive documentation, as 5-bit strings.
  const char* codes[16] = {"01010", "01011", "10010", "10011", "01110", "01111", "10110", "10111",
                           "01001", "11001", "11010", "11011", "01101", "11101", "11110", "10101"};
  for (int nibble = 0; nibble < 16; ++nibble) {
    EXPECT_EQ(gcr::kNibbleToCode[nibble], std::stoi(codes[nibble], nullptr, 2)) << nibble;
  }
}

TEST(MediaGcrCode, EncodesTheDocumentedExamples) {
  EXPECT_EQ(EncodeHex({0x08, 0x10, 0x00, 0x12}), (Bytes{0x52, 0x56, 0xA5, 0x29, 0x72}));
  EXPECT_EQ(EncodeHex({0x00, 0x00, 0x00, 0x00}), (Bytes{0x52, 0x94, 0xA5, 0x29, 0x4A}));
  EXPECT_EQ(EncodeHex({0x08, 0x00, 0x00, 0x00}), (Bytes{0x52, 0x54, 0xA5, 0x29, 0x4A}));
  // Header of track 18 sector 0 on a disk with ID "AB".
  EXPECT_EQ(EncodeHex({0x08, 0x11, 0x00, 0x12, 0x42, 0x41, 0x0F, 0x0F}),
            (Bytes{0x52, 0x56, 0xB5, 0x29, 0x72, 0x74, 0x9C, 0xB5, 0x55, 0x55}));
}

TEST(MediaGcrCode, BlockIdsGiveTheirKnownFirstByte) {
  EXPECT_EQ(EncodeHex({0x08, 0xFF, 0x12, 0x34})[0], 0x52);  // every header
  EXPECT_EQ(EncodeHex({0x07, 0xAB, 0xCD, 0xEF})[0], 0x55);  // every data block
}

TEST(MediaGcrCode, DecodesEveryByteBackAndFlagsForeignCodes) {
  Bytes plain(256);
  for (int i = 0; i < 256; ++i) plain[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  const Bytes gcr = gcr::Encode(plain);
  ASSERT_EQ(gcr.size(), 320u);
  Bytes back(256);
  EXPECT_TRUE(gcr::Decode(gcr, back));
  EXPECT_EQ(back, plain);

  Bytes four(4, 0xEE);
  EXPECT_FALSE(gcr::Decode(Bytes(5, 0x00), four));
  EXPECT_EQ(four, Bytes(4, 0x00));
  EXPECT_FALSE(gcr::Decode(Bytes(5, 0xFF), four));
  EXPECT_EQ(four, Bytes(4, 0x00));
}

TEST(MediaGcrCode, EncodedDataNeverLooksLikeASync) {
  // Ten one bits in a row would make the read electronics see a sync inside a block.
  const Bytes gcr = gcr::Encode(RandomBytes(4096, 7));
  int run = 0;
  int longest = 0;
  for (uint8_t byte : gcr) {
    for (int bit = 7; bit >= 0; --bit) {
      run = (byte >> bit) & 1 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_LT(longest, 10);
  EXPECT_GE(longest, 8);  // the code does allow 8 (nibbles 5 then E)
}

}  // namespace
}  // namespace sim::testing
