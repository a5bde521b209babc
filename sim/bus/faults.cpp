#include "sim/bus/faults.h"

#include <array>
#include <charconv>
#include <sstream>

namespace sim {

namespace {

// What follows the word.
enum class Args {
  kNone,
  kDevice,
  kDeviceTrack,
  kDeviceTrackSector,
  kDeviceTrackMaybeSector,
  kDeviceFraction,
  kMilliseconds
};

struct FaultWord {
  FaultKind kind;
  std::string_view word;
  Args args;
};

constexpr std::array<FaultWord, 26> kFaultWords{{
    {FaultKind::kPowerOff, "poweroff", Args::kDevice},
    {FaultKind::kPowerOn, "poweron", Args::kDevice},
    {FaultKind::kUnplug, "unplug", Args::kNone},
    {FaultKind::kReplug, "replug", Args::kNone},
    {FaultKind::kEject, "eject", Args::kDevice},
    {FaultKind::kInsert, "insert", Args::kDevice},
    {FaultKind::kProtect, "protect", Args::kDevice},
    {FaultKind::kUnprotect, "unprotect", Args::kDevice},
    {FaultKind::kSilentReply, "silent", Args::kNone},
    {FaultKind::kWrongEcho, "echo", Args::kNone},
    {FaultKind::kOversizeReply, "oversize", Args::kNone},
    {FaultKind::kJunkInInput, "junk", Args::kNone},
    {FaultKind::kJunkAheadReply, "junkahead", Args::kNone},
    {FaultKind::kUnformatTrack, "unformat", Args::kDeviceTrack},
    {FaultKind::kWrongRateTrack, "wrongrate", Args::kDeviceTrack},
    {FaultKind::kPullDuringJob, "pullout", Args::kDeviceFraction},
    {FaultKind::kCodeHang, "hangcode", Args::kDevice},
    {FaultKind::kMotorStop, "motorstop", Args::kDevice},
    {FaultKind::kMotorStart, "motorstart", Args::kDevice},
    {FaultKind::kStuckWrite, "stuckwrite", Args::kDeviceFraction},
    {FaultKind::kNoAnswer, "notpresent", Args::kNone},
    {FaultKind::kReadTimeout, "readtimeout", Args::kNone},
    {FaultKind::kBusWait, "buswait", Args::kMilliseconds},
    {FaultKind::kBadWrite, "badwrite", Args::kDeviceTrackMaybeSector},
    {FaultKind::kWeakSector, "weak", Args::kDeviceTrackSector},
    {FaultKind::kGarbledWrite, "garble", Args::kDeviceTrackSector},
}};

constexpr int kLongestBusWaitMs = 2000;

bool ReadNumber(const std::string& text, int* number) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

bool ReadFraction(const std::string& text, double* fraction) {
  if (text.empty()) return true;
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *fraction);
  return status == std::errc() && end == text.data() + text.size() && *fraction >= 0.0 &&
         *fraction < 1.0;
}

const FaultWord& Entry(FaultKind kind) {
  for (const FaultWord& entry : kFaultWords) {
    if (entry.kind == kind) return entry;
  }
  return kFaultWords[0];
}

// The words after the fault's own, read into it; the text of the mistake otherwise.
std::string ReadArgs(const FaultWord& entry, const std::string& first, const std::string& second,
                     const std::string& third, Fault* fault) {
  const std::string word(entry.word);
  switch (entry.args) {
    case Args::kNone:
      return first.empty() ? "" : "fault " + word + " takes no device number";
    case Args::kDevice:
      if (ReadNumber(first, &fault->device) && second.empty()) return "";
      return "fault " + word + " needs one device number, e.g. \"" + word + " 8\"";
    case Args::kDeviceTrack:
      if (ReadNumber(first, &fault->device) && ReadNumber(second, &fault->track) && third.empty())
        return "";
      return "fault " + word + " needs a device and a track number, e.g. \"" + word + " 8 18\"";
    case Args::kDeviceTrackSector:
      if (ReadNumber(first, &fault->device) && ReadNumber(second, &fault->track) &&
          ReadNumber(third, &fault->sector))
        return "";
      return "fault " + word + " needs a device, a track and a sector number, e.g. \"" + word +
             " 8 18 4\"";
    case Args::kDeviceTrackMaybeSector:
      if (ReadNumber(first, &fault->device) && ReadNumber(second, &fault->track) &&
          (third.empty() || ReadNumber(third, &fault->sector)) && fault->sector >= 0)
        return "";
      return "fault " + word + " needs a device and a track number and may take a sector, e.g. \"" +
             word + " 8 18\" or \"" + word + " 8 18 4\"";
    case Args::kDeviceFraction:
      if (ReadNumber(first, &fault->device) && ReadFraction(second, &fault->fraction) &&
          third.empty())
        return "";
      return "fault " + word + " needs a device number and may take the fraction of the work (0 " +
             "up to 1) where it strikes, e.g. \"" + word + " 8 0.3\"";
    case Args::kMilliseconds: {
      int ms = 0;
      if (ReadNumber(first, &ms) && ms >= 1 && ms <= kLongestBusWaitMs && second.empty()) {
        fault->durationUs = int64_t{ms} * 1000;
        return "";
      }
      return "fault " + word + " needs the milliseconds of the wait (1 to 2000), e.g. \"" + word +
             " 1500\"";
    }
  }
  return "";
}

}  // namespace

bool FaultNeedsDevice(FaultKind kind) {
  const Args args = Entry(kind).args;
  return args != Args::kNone && args != Args::kMilliseconds;
}

bool FaultNeedsTrack(FaultKind kind) {
  const Args args = Entry(kind).args;
  return args == Args::kDeviceTrack || args == Args::kDeviceTrackSector ||
         args == Args::kDeviceTrackMaybeSector;
}

std::string_view FaultName(FaultKind kind) {
  return Entry(kind).word;
}

bool ParseFault(std::string_view words, Fault* fault, std::string* error) {
  std::istringstream in{std::string(words)};
  std::string word;
  std::string first;
  std::string second;
  std::string third;
  std::string fourth;
  in >> word >> first >> second >> third >> fourth;
  for (const FaultWord& entry : kFaultWords) {
    if (entry.word != word) continue;
    Fault parsed;
    parsed.kind = entry.kind;
    // No fault takes more than three words after its own.
    const std::string mistake = fourth.empty() ? ReadArgs(entry, first, second, third, &parsed)
                                               : "fault " + word + " takes at most three numbers";
    if (!mistake.empty()) {
      *error = mistake;
      return false;
    }
    *fault = parsed;
    return true;
  }
  std::string known;
  for (const FaultWord& entry : kFaultWords)
    known += (known.empty() ? "" : ", ") + std::string(entry.word);
  *error = "unknown fault \"" + std::string(words) + "\" (known: " + known + ")";
  return false;
}

}  // namespace sim
