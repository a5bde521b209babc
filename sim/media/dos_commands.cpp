// Commands on channel 15: I, N, S, R, V, C and the U commands the drives share. Block and
// buffer commands (B-, U1/U2, P, &, D) are not modelled and answer 31 like unknown letters.

#include <algorithm>
#include <array>
#include <string_view>

#include "sim/media/dos_state.h"

namespace sim {
namespace {

constexpr size_t kCommandBufferLength = 41;
constexpr uint8_t kColon = ':';
constexpr uint8_t kEqual = '=';
constexpr uint8_t kBurstCommandMask = 0x1E;
constexpr uint8_t kBurstFormat = 0x06;
constexpr uint8_t kBurstDriveBit = 0x01;
constexpr uint8_t kBurstCustomFormat = 0x80;
constexpr uint8_t kBurstCommandBits = 0x1F;
constexpr uint8_t kBurstDumpCache = 0x1D;
constexpr std::string_view kBurstFormatName = ":COPYRIGHT CBM,86";

using Handler = DosStatus (*)(DosState&, std::span<const uint8_t>);

bool HasColon(std::span<const uint8_t> args) {
  return std::find(args.begin(), args.end(), kColon) != args.end();
}

DosStatus Initialise(DosState& state, std::span<const uint8_t>) {
  if (DosStatus status = state.CloseAll(); !status.ok()) return status;
  return state.ForceLogIn();
}

void FreeFile(Volume& volume, const DirEntry& entry) {
  std::vector<TrackSector> blocks;
  BlocksOfFile(volume, entry, blocks);  // what cannot be followed stays allocated
  for (const TrackSector& ts : blocks) volume.bam().Free(ts);
}

DosStatus Scratch(DosState& state, std::span<const uint8_t> args) {
  if (!HasColon(args)) return DosFail(kDosSyntaxNoName);
  int drive = 0;
  std::vector<Bytes> patterns = SplitAt(AfterDrive(args, drive), ',');
  std::erase_if(patterns, [](const Bytes& pattern) { return pattern.empty(); });
  if (patterns.empty()) return DosFail(kDosSyntaxNoName);
  if (drive != 0) return DosFail(kDosDriveNotReady);
  if (DosStatus status = state.LogIn(); !status.ok()) return status;
  Volume& volume = *state.volume;
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  int scratched = 0;
  for (DirEntry& entry : entries) {
    if (!entry.used() || (entry.type() & kTypeLocked)) continue;
    const bool matches = std::any_of(patterns.begin(), patterns.end(),
                                     [&](const Bytes& p) { return NameMatches(p, entry.name()); });
    if (!matches) continue;
    DirEntry scratchedEntry = entry;
    scratchedEntry.setType(0);
    if (DosStatus status = WriteDirEntry(volume, scratchedEntry); !status.ok()) return status;
    FreeFile(volume, entry);
    ++scratched;
  }
  if (scratched > 0) {
    if (DosStatus status = volume.WriteBam(); !status.ok()) return status;
  }
  return DosFail(kDosFilesScratched, scratched, 0);
}

DosStatus Rename(DosState& state, std::span<const uint8_t> args) {
  if (!HasColon(args)) return DosFail(kDosSyntaxNoName);
  int drive = 0;
  const Bytes rest = AfterDrive(args, drive);
  const auto equal = std::find(rest.begin(), rest.end(), kEqual);
  if (equal == rest.end()) return DosFail(kDosSyntax);
  const Bytes newName(rest.begin(), equal);
  int oldDrive = 0;
  const Bytes oldName = AfterDrive(Bytes(equal + 1, rest.end()), oldDrive);
  if (newName.empty() || oldName.empty()) return DosFail(kDosSyntaxNoName);
  if (HasWildcards(newName) || HasWildcards(oldName)) return DosFail(kDosSyntaxBadName);
  if (drive != 0 || oldDrive != 0) return DosFail(kDosDriveNotReady);
  if (DosStatus status = state.LogIn(); !status.ok()) return status;
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(*state.volume, entries); !status.ok()) return status;
  if (FindEntry(entries, newName)) return DosFail(kDosFileExists);
  std::optional<DirEntry> entry = FindEntry(entries, oldName);
  if (!entry) return DosFail(kDosFileNotFound);
  entry->setName(PadName(newName));
  return WriteDirEntry(*state.volume, *entry);
}

bool IsBurstFormatAfterU(std::span<const uint8_t> args) {
  return args.size() >= 2 && args[0] == '0' && (args[1] & kBurstCommandMask) == kBurstFormat;
}

bool IsBurstDumpAfterU(std::span<const uint8_t> args) {
  return args.size() >= 2 && args[0] == '0' && (args[1] & kBurstCommandBits) == kBurstDumpCache;
}

// The 1581's burst format: "N" on the drive the command byte names, with the DOS's own name and
// ID; the image written over it afterwards brings its own.
DosStatus BurstFormat(DosState& state, uint8_t commandByte) {
  if (state.kind != DriveKind::k1581 || (commandByte & kBurstCustomFormat) != 0)
    return DosFail(kDosSyntaxUnknown);
  Bytes args{static_cast<uint8_t>('0' + (commandByte & kBurstDriveBit))};
  args.insert(args.end(), kBurstFormatName.begin(), kBurstFormatName.end());
  return FormatCommand(state, args);
}

// "UJ" and "U:" reset the drive; "U0>M0"/"U0>M1" switch a 1571 between 1541 and 1571 mode;
// "U0>S" and a byte set the file interleave (1571, 1581); "U0" + $06 is the 1581's burst format,
// "U0" + $1D its dump of the track cache (the drive's side of it is the bus's).
// The 1541 family has no burst commands and the 1571's are not modelled: they answer 31.
DosStatus User(DosState& state, std::span<const uint8_t> args) {
  const Bytes text(args.begin(), args.end());
  if (!text.empty() && (text[0] == 'J' || text[0] == kColon)) {
    state.DropAll();
    state.volume.reset();
    state.interleaveOverride = 0;
    state.doubleSidedMode = state.startMode;
    return DosFail(kDosVersion);
  }
  if (IsBurstFormatAfterU(text)) return BurstFormat(state, text[1]);
  if (IsBurstDumpAfterU(text)) {
    return state.kind == DriveKind::k1581 ? DosStatus{} : DosFail(kDosSyntaxUnknown);
  }
  const bool burst = text.size() >= 3 && text[0] == '0' && text[1] == '>';
  const bool fastDrive = state.kind != DriveKind::k1541;
  if (burst && fastDrive && text[2] == 'S' && text.size() >= 4 && text[3] > 0) {
    state.interleaveOverride = text[3];
    return {};
  }
  if (burst && state.kind == DriveKind::k1571 && text[2] == 'M' && text.size() >= 4 &&
      (text[3] == '0' || text[3] == '1')) {
    state.doubleSidedMode = text[3] == '1';
    return {};
  }
  return DosFail(kDosSyntaxUnknown);
}

struct CommandEntry {
  uint8_t letter;
  Handler run;
};

constexpr std::array<CommandEntry, 7> kCommands = {{
    {'I', Initialise},
    {'N', FormatCommand},
    {'S', Scratch},
    {'R', Rename},
    {'V', ValidateCommand},
    {'C', CopyCommand},
    {'U', User},
}};

}  // namespace

bool IsBurstFormat(std::span<const uint8_t> command) {
  return !command.empty() && command[0] == 'U' && IsBurstFormatAfterU(command.subspan(1));
}

bool IsBurstDumpCache(std::span<const uint8_t> command) {
  return !command.empty() && command[0] == 'U' && IsBurstDumpAfterU(command.subspan(1));
}

std::optional<DosStatus> RunCommand(DosState& state, std::span<const uint8_t> command) {
  const Bytes text = WithoutCr(command);
  if (text.empty()) return DosStatus{};
  if (text.size() >= 2 && text[0] == 'M' && text[1] == '-') return std::nullopt;
  if (text.size() > kCommandBufferLength) return DosFail(kDosSyntaxLong);
  for (const CommandEntry& entry : kCommands) {
    if (entry.letter == text[0]) return entry.run(state, std::span(text).subspan(1));
  }
  return DosFail(kDosSyntaxUnknown);
}

}  // namespace sim
