// End to end on the virtual bus, against independent tools: disks made by cc1541 list as
// cc1541 lists them, and every file copied to the PC by double-click is the file cbmconvert
// extracts from the same image.

#include <gtest/gtest.h>

#include "disk/directory.h"
#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using fake::ReadFile;
using fake::TempDir;
using oracle::ImageFile;
using oracle::Noise;

struct DiskKind {
  const char* extension;
  const char* drive;   // as the virtual bus names it
  const char* format;  // what the header line ends in
  const char* options;
};

// The 1571 as a C128 leaves it, in 1571 mode: in 1541 mode it reports one side.
const DiskKind kKinds[] = {
    {"d64", "1541-II+", "(1541 DISK)", ""},
    {"d71", "1571", "(1571 DISK)", ":1571mode"},
    {"d81", "1581", "(1581 DISK)", ""},
};

std::vector<ImageFile> OracleFiles() {
  return {
      {"one", Noise(1, 1)},           {"two", Noise(2, 2)},    {"b253", Noise(253, 3)},
      {"b254", Noise(254, 4)},        {"b255", Noise(255, 5)}, {"big", Noise(5000, 6)},
      {"with/slash", Noise(3000, 7)},
  };
}

std::vector<std::string> AsCc1541Prints(const std::vector<std::string>& lines) {
  std::vector<std::string> printed;
  for (const auto& line : lines) printed.push_back(oracle::AsCc1541Prints(line));
  return printed;
}

class DirectoryOracle : public testing::TestWithParam<DiskKind> {};

TEST_P(DirectoryOracle, ListingMatchesCc1541AndDownloadsMatchCbmconvert) {
  DW_REQUIRE_ORACLES();
  const DiskKind& kind = GetParam();
  TempDir dir(std::string("oracle-") + kind.extension);
  std::string image = dir / (std::string("disk.") + kind.extension);
  std::vector<ImageFile> files = OracleFiles();
  ASSERT_TRUE(oracle::MakeImage(dir, image, files));
  std::vector<std::string> expected = oracle::ListingAsTheDriveShows(image);
  ASSERT_EQ(expected.size(), files.size() + 2);

  Harness h(std::string("8=") + kind.drive + ":" + image + kind.options);
  h.desk.QueueCommand(kCmdDirectory);
  for (size_t i = 1; i <= files.size(); ++i) {
    h.desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, static_cast<int>(i)});
    h.desk.QueueFile(dir / ("copy" + std::to_string(i) + ".prg"), 1);
  }
  h.Run();

  const std::vector<std::string>& lines = h.desk.directory();
  ASSERT_EQ(AsCc1541Prints(lines), expected);
  EXPECT_NE(lines[0].find(kind.format), std::string::npos) << lines[0];

  ASSERT_TRUE(oracle::Extract(image, dir / "extracted"));
  for (size_t i = 1; i <= files.size(); ++i) {
    // The CBM name as the list shows it, between the quotes.
    size_t q1 = lines[i].find('"');
    std::string name = lines[i].substr(q1 + 1, lines[i].find('"', q1 + 1) - q1 - 1);
    std::string extracted = dir / ("extracted/" + oracle::CbmconvertName(name));
    ASSERT_TRUE(std::filesystem::exists(extracted))
        << extracted << " not among " << oracle::Listed(dir / "extracted");
    std::vector<uint8_t> copy = ReadFile(dir / ("copy" + std::to_string(i) + ".prg"));
    EXPECT_EQ(copy, ReadFile(extracted)) << name;
    EXPECT_EQ(copy, files[i - 1].bytes) << name;
  }
  // Every command ended well, and each download summed up its file.
  size_t done = 0;
  for (const auto& line : h.desk.fullLog()) {
    EXPECT_EQ(line.find("-- aborted --"), std::string::npos);
    if (line.find("-- done --") != std::string::npos) ++done;
  }
  EXPECT_EQ(done, files.size() + 1);
  // The file named with "/" was offered without a name; the others under their own.
  const auto& requests = h.desk.fileRequests();
  ASSERT_EQ(requests.size(), files.size());
  EXPECT_EQ(requests[0].request.fileName, "ONE");
  EXPECT_EQ(requests[6].request.fileName, "");
}

TEST_P(DirectoryOracle, EmptyDiskListsTwoLines) {
  DW_REQUIRE_ORACLES();
  const DiskKind& kind = GetParam();
  TempDir dir(std::string("empty-") + kind.extension);
  std::string image = dir / (std::string("empty.") + kind.extension);
  ASSERT_TRUE(oracle::MakeImage(dir, image, {}));
  Harness h(std::string("8=") + kind.drive + ":" + image + kind.options);
  h.desk.QueueCommand(kCmdDirectory);
  // A double-click on the header and on the free-blocks line copies nothing.
  h.desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, 0});
  h.desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, 1});
  h.Run();
  ASSERT_EQ(h.desk.directory().size(), 2u);
  EXPECT_EQ(AsCc1541Prints(h.desk.directory()), oracle::ListingAsTheDriveShows(image));
  size_t refused = 0;
  for (const auto& line : h.desk.fullLog()) {
    if (line.find("SELECTION NOT VALID!") != std::string::npos) ++refused;
  }
  EXPECT_EQ(refused, 2u);
  EXPECT_TRUE(h.desk.fileRequests().empty());
}

INSTANTIATE_TEST_SUITE_P(Images, DirectoryOracle, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<DiskKind>& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace dw
