// LOAD "$" byte for byte as the drive builds it, and against cc1541's own listing of its images.

#include <regex>

#include "media_test_support.h"
#include "sim/media/dos_listing.h"

namespace sim::testing {
namespace {

const Bytes kEmptyTestDisk = {
    0x01, 0x04, 0x01, 0x01, 0x00, 0x00, 0x12, 0x22, 0x54, 0x45, 0x53, 0x54, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x22, 0x20, 0x41, 0x42, 0x20, 0x32, 0x41, 0x00,
    0x01, 0x01, 0x98, 0x02, 0x42, 0x4C, 0x4F, 0x43, 0x4B, 0x53, 0x20, 0x46, 0x52, 0x45, 0x45, 0x2E,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00};

TEST(DosListing, EmptyDiskIsExampleA) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_TRUE(dos.Open(0, Text("$")));
  Bytes listing;
  bool eoi = false;
  while (!eoi) {
    const Bytes chunk = dos.Read(0, 1, eoi);
    ASSERT_EQ(chunk.size(), 1u);
    EXPECT_EQ(eoi, listing.size() + 1 == kEmptyTestDisk.size());  // EOI with the last byte only
    listing.push_back(chunk[0]);
  }
  EXPECT_BYTES_EQ(kEmptyTestDisk, listing);
  EXPECT_EQ(dos.TakeErrorMessage(), "00, OK,00,00\r");
}

TEST(DosListing, OneThreeBlockFileIsExampleB) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "FILE", RandomBytes(600, 1)), "00, OK,00,00\r");
  const Bytes expected = {0x01, 0x04, 0x01, 0x01, 0x00, 0x00, 0x12, 0x22, 0x54, 0x45, 0x53, 0x54,
                          0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
                          0x22, 0x20, 0x41, 0x42, 0x20, 0x32, 0x41, 0x00, 0x01, 0x01, 0x03, 0x00,
                          0x20, 0x20, 0x20, 0x22, 0x46, 0x49, 0x4C, 0x45, 0x22, 0x20, 0x20, 0x20,
                          0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x50, 0x52,
                          0x47, 0x20, 0x20, 0x00, 0x01, 0x01, 0x95, 0x02, 0x42, 0x4C, 0x4F, 0x43,
                          0x4B, 0x53, 0x20, 0x46, 0x52, 0x45, 0x45, 0x2E, 0x20, 0x20, 0x20, 0x20,
                          0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00};
  EXPECT_BYTES_EQ(expected, ReadListing(dos));
  const SectorData bam = SectorOf(*disk, 18, 0);
  EXPECT_EQ(Bytes(bam.begin() + 0x44, bam.begin() + 0x48), (Bytes{0x12, 0xFE, 0xFB, 0x0F}));
  const SectorData dir = SectorOf(*disk, 18, 1);
  const Bytes entry = {0x00, 0xFF, 0x82, 0x11, 0x00, 0x46, 0x49, 0x4C, 0x45, 0xA0, 0xA0,
                       0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0x00,
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00};
  EXPECT_EQ(Bytes(dir.begin(), dir.begin() + 32), entry);
  EXPECT_EQ(SectorOf(*disk, 17, 0)[0], 0x11);
  EXPECT_EQ(SectorOf(*disk, 17, 0)[1], 0x0A);
  EXPECT_EQ(SectorOf(*disk, 17, 10)[1], 0x14);
  EXPECT_EQ(SectorOf(*disk, 17, 20)[0], 0x00);
  EXPECT_EQ(SectorOf(*disk, 17, 20)[1], 600 - 508 + 1);
}

std::string AsString(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(DosListing, FileLinesArePaddedAsTheDrivePadsThem) {
  DirEntry entry;
  entry.setName(PadName(Text("FILE")));
  entry.setBlocks(3);
  entry.setType(0x02);
  EXPECT_EQ(AsString(ListingFileText(entry, DriveKind::k1541)), "   \"FILE\"            *PRG  ");
  entry.setType(0xC2);
  EXPECT_EQ(AsString(ListingFileText(entry, DriveKind::k1541)), "   \"FILE\"             PRG< ");
  entry.setName(PadName(Text("ABCDEFGHIJKLMNOP")));
  entry.setBlocks(120);
  entry.setType(0x82);
  EXPECT_EQ(AsString(ListingFileText(entry, DriveKind::k1541)), " \"ABCDEFGHIJKLMNOP\" PRG    ");
  entry.setBlocks(42);
  entry.setType(0x85);
  EXPECT_EQ(AsString(ListingFileText(entry, DriveKind::k1581)), "  \"ABCDEFGHIJKLMNOP\" CBM   ");
  entry.setBlocks(1000);
  entry.setType(0x81);
  EXPECT_EQ(AsString(ListingFileText(entry, DriveKind::k1541)), " \"ABCDEFGHIJKLMNOP\" SEQ    ");
}

TEST(DosListing, PatternsAndTypeSelectTheFileLines) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  for (const char* name : {"ALPHA", "BETA", "ALTO", "GAMMA"})
    ASSERT_EQ(SaveFile(dos, name, Bytes{1, 8, 0}), "00, OK,00,00\r");
  ASSERT_EQ(SaveFile(dos, "ADATA,S,W", Bytes{1}, 2), "00, OK,00,00\r");
  auto names = [&](const std::string& command) {
    std::string joined;
    for (const ListingLine& line : ParseListing(ReadListing(dos, command)))
      joined += AsString(line.text) + "|";
    return joined;
  };
  const std::string all = names("$");
  EXPECT_NE(all.find("ALPHA"), std::string::npos);
  EXPECT_NE(all.find("ADATA"), std::string::npos);
  const std::string a = names("$0:A*");
  EXPECT_NE(a.find("\"ALPHA\""), std::string::npos);
  EXPECT_NE(a.find("\"ALTO\""), std::string::npos);
  EXPECT_NE(a.find("\"ADATA\""), std::string::npos);
  EXPECT_EQ(a.find("BETA"), std::string::npos);
  EXPECT_EQ(a.find("GAMMA"), std::string::npos);
  EXPECT_NE(a.find("\"TEST"), std::string::npos);        // the header stays
  EXPECT_NE(a.find("BLOCKS FREE."), std::string::npos);  // and so does the last line
  const std::string seq = names("$:A*=S");
  EXPECT_NE(seq.find("ADATA"), std::string::npos);
  EXPECT_EQ(seq.find("ALPHA"), std::string::npos);
  const std::string some = names("$:?ETA,G*");
  EXPECT_NE(some.find("BETA"), std::string::npos);
  EXPECT_NE(some.find("GAMMA"), std::string::npos);
  EXPECT_EQ(some.find("ALPHA"), std::string::npos);
}

TEST(DosListing, OtherDrivesHeadersAndFreeCounts) {
  auto d81 = FormattedDisk(DriveKind::k1581, "N:PARTY,81");
  Dos dos81(DriveKind::k1581);
  dos81.SetDisk(d81.get());
  auto lines = ParseListing(ReadListing(dos81));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(AsString(lines[0].text), "\x12\"PARTY           \" 81 3D");
  EXPECT_EQ(lines[1].number, 3160);

  auto d71 = FormattedDisk(DriveKind::k1571);
  Dos dos71(DriveKind::k1571, true);
  dos71.SetDisk(d71.get());
  lines = ParseListing(ReadListing(dos71));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].number, 1328);
  // In 1541 mode the same disk is single-sided.
  EXPECT_EQ(RunCommand(dos71, "U0>M0"), "00, OK,00,00\r");
  EXPECT_EQ(ParseListing(ReadListing(dos71)).back().number, 664);
  Dos dos41(DriveKind::k1541);
  dos41.SetDisk(d71.get());
  EXPECT_EQ(ParseListing(ReadListing(dos41)).back().number, 664);
}

TEST(DosListing, OnOtherChannelsDollarReadsTheDirectoryBlocks) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "FILE", Bytes{1, 2, 3}), "00, OK,00,00\r");
  const Loaded raw = LoadFile(dos, "$", 2);
  ASSERT_TRUE(raw.eoi);
  const SectorData bam = SectorOf(*disk, 18, 0);
  const SectorData dir = SectorOf(*disk, 18, 1);
  Bytes expected(bam.begin() + 2, bam.end());
  expected.insert(expected.end(), dir.begin() + 2, dir.end());
  EXPECT_BYTES_EQ(expected, raw.bytes);
}

// cc1541 prints PETSCII upper case as ASCII lower case, shifted letters as upper case.
std::string AsCc1541Text(std::span<const uint8_t> petscii) {
  std::string text;
  for (uint8_t c : petscii) {
    if (c >= 0x41 && c <= 0x5A) {
      text += static_cast<char>(c + 0x20);
    } else if (c >= 0xC1 && c <= 0xDA) {
      text += static_cast<char>(c - 0x80);
    } else {
      text += static_cast<char>(c == 0xA0 ? ' ' : c);
    }
  }
  return text;
}

struct FileLine {
  int blocks;
  std::string name;
  bool open;
  std::string type;
  bool locked;
  bool operator==(const FileLine&) const = default;
};

struct ToolListing {
  std::string header;
  std::vector<FileLine> files;
  int blocksFree = -1;
};

ToolListing ParseCc1541(const std::string& output) {
  ToolListing listing;
  const std::regex header("^0 \x1b\\[7m\"(.{16})\" (.{5})\x1b\\[m$");
  const std::regex file("^(\\d+) +\"([^\"]*)\" *(\\*?)(\\w{3})(<?) *$");
  const std::regex free("^(\\d+) blocks free\\.$");
  std::smatch m;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (std::regex_match(line, m, header)) {
      listing.header = m[1].str() + "|" + m[2].str();
    } else if (std::regex_match(line, m, file)) {
      std::string type = m[4].str();
      for (char& c : type) c = static_cast<char>(std::toupper(c));
      listing.files.push_back(
          {std::stoi(m[1]), m[2], !m[3].str().empty(), type, !m[5].str().empty()});
    } else if (std::regex_match(line, m, free)) {
      listing.blocksFree = std::stoi(m[1]);
    }
  }
  return listing;
}

ToolListing ParseDrive(const Bytes& listing) {
  ToolListing parsed;
  const auto lines = ParseListing(listing);
  const Bytes& head = lines.front().text;
  parsed.header = AsCc1541Text(std::span(head).subspan(2, 16)) + "|" +
                  AsCc1541Text(std::span(head).subspan(20, 5));
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    const std::string text(lines[i].text.begin(), lines[i].text.end());
    const size_t open = text.find('"');
    const size_t close = text.find('"', open + 1);
    const std::string tail = text.substr(close + 1);
    const size_t typeAt = tail.find_first_not_of(" *");
    parsed.files.push_back(
        {lines[i].number,
         AsCc1541Text(std::span(lines[i].text).subspan(open + 1, close - open - 1)),
         tail.find('*') != std::string::npos, tail.substr(typeAt, 3),
         tail.find('<') != std::string::npos});
  }
  parsed.blocksFree = lines.back().number;
  return parsed;
}

struct ListingCase {
  std::string image;
  DriveKind kind;
};

void PrintTo(const ListingCase& c, std::ostream* out) {
  *out << c.image;
}

class DosListingOracle : public ::testing::TestWithParam<ListingCase> {};

TEST_P(DosListingOracle, MatchesCc1541) {
  REQUIRE_TOOL("cc1541");
  TempDir dir;
  auto files = SampleFiles(200);
  files.push_back({"locked", Bytes{1, 2}, "PRG -P"});
  files.push_back({"unclosed", Bytes{3}, "USR -O"});
  const std::string path = MakeOracleImage(dir, GetParam().image, files);
  ASSERT_FALSE(path.empty());
  std::string output;
  ASSERT_EQ(RunIn(dir.path(), "cc1541 " + GetParam().image, &output), 0) << output;
  const ToolListing expected = ParseCc1541(output);
  ASSERT_EQ(expected.files.size(), files.size()) << output;

  std::string error;
  auto disk = Disk::Load(path, &error);
  ASSERT_TRUE(disk) << error;
  Dos dos(GetParam().kind, true);
  dos.SetDisk(disk.get());
  const ToolListing actual = ParseDrive(ReadListing(dos));
  EXPECT_EQ(actual.header, expected.header);
  EXPECT_EQ(actual.files, expected.files);
  if (GetParam().kind != DriveKind::k1571) {
    EXPECT_EQ(actual.blocksFree, expected.blocksFree);
    return;
  }
  // cc1541 leaves the side-2 free counts at 18/0 $DD-$FF zero and counts its bitmaps instead;
  // the drive shows the counts. After V rebuilt them, the figure is that of a real 1571: an
  // empty double-sided disk has 1328 blocks free.
  const Bytes image = ReadFile(path);
  int counts = 0;
  for (int t = 1; t <= 35; ++t) counts += t == 18 ? 0 : image[0x16500 + 4 * static_cast<size_t>(t)];
  for (int t = 36; t <= 70; ++t)
    counts += t == 53 ? 0 : image[0x16500 + 0xDD + static_cast<size_t>(t - 36)];
  EXPECT_EQ(actual.blocksFree, counts);
  EXPECT_EQ(RunCommand(dos, "V"), "00, OK,00,00\r");
  int used = 0;
  for (const FileLine& line : expected.files) used += line.open ? 0 : line.blocks;
  EXPECT_EQ(ParseDrive(ReadListing(dos)).blocksFree, 1328 - used);
}

INSTANTIATE_TEST_SUITE_P(Images, DosListingOracle,
                         ::testing::Values(ListingCase{"l.d64", DriveKind::k1541},
                                           ListingCase{"l.d71", DriveKind::k1571},
                                           ListingCase{"l.d81", DriveKind::k1581}),
                         [](const auto& info) { return info.param.image.substr(2); });

}  // namespace
}  // namespace sim::testing
