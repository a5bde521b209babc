#include "sim/media/dos_listing.h"

#include <algorithm>
#include <array>

namespace sim {
namespace {

constexpr std::array<uint8_t, 2> kLoadAddress = {0x01, 0x04};
constexpr std::array<uint8_t, 2> kDummyLink = {0x01, 0x01};
constexpr uint8_t kReverseOn = 0x12;
constexpr uint8_t kQuote = '"';
constexpr uint8_t kSpace = ' ';
constexpr uint8_t kShiftedSpace = 0xA0;
constexpr uint8_t kEqual = '=';
constexpr size_t kFileTextLength = 27;
constexpr size_t kHeaderIdLength = 5;  // ID, the byte after it, DOS type
constexpr size_t kHeaderIdDistance = 18;
constexpr char kBlocksFree[] = "BLOCKS FREE.";
constexpr size_t kBlocksFreeSpaces = 13;

// Type names by the low bits of the type byte; the 1581 adds CBM (partitions).
constexpr std::array<const char*, 6> kTypeNames = {"DEL", "SEQ", "PRG", "USR", "REL", "CBM"};
// Types the drive has no name for; its ROM shows whatever bytes follow its table.
constexpr char kUnknownTypeName[] = "???";

struct Filter {
  std::vector<Bytes> patterns;  // empty: every file
  std::optional<int> type;
};

Filter ParseFilter(std::span<const uint8_t> afterDollar) {
  Filter filter;
  int drive = 0;
  const bool hasColon = std::find(afterDollar.begin(), afterDollar.end(), ':') != afterDollar.end();
  if (!hasColon) return filter;
  Bytes rest = AfterDrive(afterDollar, drive);
  const auto equal = std::find(rest.begin(), rest.end(), kEqual);
  if (equal != rest.end() && equal + 1 != rest.end()) filter.type = TypeOfLetter(equal[1]);
  rest.erase(equal, rest.end());
  for (Bytes& pattern : SplitAt(rest, ',')) {
    if (!pattern.empty()) filter.patterns.push_back(std::move(pattern));
  }
  return filter;
}

bool Passes(const Filter& filter, const DirEntry& entry) {
  if (filter.type && (entry.type() & 0x07) != *filter.type) return false;
  if (filter.patterns.empty()) return true;
  return std::any_of(filter.patterns.begin(), filter.patterns.end(),
                     [&](const Bytes& pattern) { return NameMatches(pattern, entry.name()); });
}

void AppendLine(Bytes& out, int number, std::span<const uint8_t> text) {
  out.insert(out.end(), kDummyLink.begin(), kDummyLink.end());
  out.push_back(static_cast<uint8_t>(number & 0xFF));
  out.push_back(static_cast<uint8_t>((number >> 8) & 0xFF));
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

uint8_t Shown(uint8_t byte) {
  return byte == kShiftedSpace ? kSpace : byte;
}

Bytes HeaderText(const SectorData& header, size_t nameOffset) {
  Bytes text = {kReverseOn, kQuote};
  for (size_t i = 0; i < 16; ++i) text.push_back(Shown(header[nameOffset + i]));
  text.push_back(kQuote);
  text.push_back(kSpace);
  for (size_t i = 0; i < kHeaderIdLength; ++i) {
    text.push_back(Shown(header[nameOffset + kHeaderIdDistance + i]));
  }
  return text;
}

const char* TypeName(uint8_t type, DriveKind kind) {
  const size_t number = type & 0x07;
  const size_t known = kind == DriveKind::k1581 ? kTypeNames.size() : kTypeNames.size() - 1;
  return number < known ? kTypeNames[number] : kUnknownTypeName;
}

}  // namespace

Bytes ListingFileText(const DirEntry& entry, DriveKind kind) {
  Bytes text(kFileTextLength, kSpace);
  const int blocks = entry.blocks();
  size_t p = blocks < 10 ? 3 : blocks < 100 ? 2 : 1;
  text[p] = kQuote;
  const std::span<const uint8_t> name = entry.name();
  std::copy(name.begin(), name.end(), text.begin() + static_cast<std::ptrdiff_t>(p + 1));
  text[p + 17] = kShiftedSpace;
  for (size_t i = p + 1; i <= p + 17; ++i) {
    if (text[i] != kShiftedSpace && text[i] != kQuote) continue;
    text[i] = kQuote;
    for (size_t j = i + 1; j <= p + 17; ++j) text[j] &= 0x7F;
    break;
  }
  const uint8_t type = entry.type();
  text[p + 18] = (type & kTypeClosed) ? kSpace : '*';
  const char* typeName = TypeName(type, kind);
  std::copy(typeName, typeName + 3, text.begin() + static_cast<std::ptrdiff_t>(p + 19));
  text[p + 22] = (type & kTypeLocked) ? '<' : kSpace;
  return text;
}

DosStatus BuildListing(Volume& volume, DriveKind kind, std::span<const uint8_t> afterDollar,
                       Bytes& listing, std::vector<ListingBlock>* laterBlocks) {
  listing.assign(kLoadAddress.begin(), kLoadAddress.end());
  const Filter filter = ParseFilter(afterDollar);
  SectorData header{};
  if (DosStatus status = volume.Read(volume.layout().header, header); !status.ok()) return status;
  AppendLine(listing, 0, HeaderText(header, volume.layout().nameOffset));
  std::vector<DirEntry> entries;
  const DosStatus status = ReadDirectory(volume, entries);
  for (const DirEntry& entry : entries) {
    const bool firstOfLaterBlock = entry.index == 0 && entry.block != entries.front().block;
    if (laterBlocks && firstOfLaterBlock) laterBlocks->push_back({listing.size(), entry.block});
    if (entry.used() && Passes(filter, entry)) {
      AppendLine(listing, entry.blocks(), ListingFileText(entry, kind));
    }
  }
  if (!status.ok()) return status;
  Bytes freeText(kBlocksFree, kBlocksFree + sizeof kBlocksFree - 1);
  freeText.insert(freeText.end(), kBlocksFreeSpaces, kSpace);
  AppendLine(listing, volume.bam().BlocksFree(), freeText);
  listing.push_back(0);
  listing.push_back(0);
  return {};
}

}  // namespace sim
