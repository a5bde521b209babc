#include "disk/track_retries.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "core/log.h"

namespace dw {

namespace {

// "sector 4", "sectors 4, 7", "sectors 20 to 39".
std::string PlaceWords(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  const bool one = names.size() == 1 && names[0].find(' ') == std::string::npos;
  return (one ? "sector " : "sectors ") + list;
}

}  // namespace

std::optional<int> RetryCountFrom(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  const size_t last = text.find_last_not_of(' ');
  int count = 0;
  const char* end = text.data() + last + 1;
  auto [stop, status] = std::from_chars(text.data() + first, end, count);
  if (status != std::errc() || stop != end) return std::nullopt;
  if (count < kFewestRetries || count > kMostRetries) return std::nullopt;
  return count;
}

namespace {

// The item says the count it reads with, so that a glance at the menu tells it.
void ShowRetriesOnItem(Program& p, int id, int count) {
  const std::string item = "Retry damaged tracks";
  if (count == 0) {
    p.desk.SetItemText(id, item);
  } else {
    p.desk.SetItemText(
        id, item + " (" + std::to_string(count) + (count == 1 ? " retry)" : " retries)"));
  }
}

}  // namespace

void ToggleTrackRetries(Program& p, int id) {
  if (p.RetriesMark) {
    p.RetriesMark = false;
    p.desk.SetChecked(id, false);
    ShowRetriesOnItem(p, id, 0);
    LogLine(p, "Retries disabled");
    return;
  }
  const std::string range = std::to_string(kFewestRetries) + " to " + std::to_string(kMostRetries);
  const std::optional<std::string> answer =
      p.desk.AskText({"Diskwright", "Read a damaged track again how many times? (" + range + ")",
                      std::to_string(kDefaultRetries)});
  const std::optional<int> count = answer ? RetryCountFrom(*answer) : std::nullopt;
  p.desk.SetChecked(id, count.has_value());
  if (!count) {
    if (answer)
      LogLine(p, "Retries: \"" + *answer + "\" is no count from " + range + "; retries stay off");
    return;
  }
  p.RetriesMark = true;
  p.RetryCount = *count;
  ShowRetriesOnItem(p, id, *count);
  LogLine(p, "Retries: " + std::to_string(*count));
}

size_t KeptRead(std::span<const uint8_t> cells) {
  const auto good = std::find(cells.begin(), cells.end(), kMapGood);
  if (good != cells.end()) return static_cast<size_t>(good - cells.begin());
  std::map<uint8_t, int> seen;
  for (uint8_t cell : cells) ++seen[cell];
  size_t kept = 0;
  // Reads are looked at in order, so a tie goes to the code read first (the first read's, when
  // it is among them).
  for (size_t read = 1; read < cells.size(); ++read) {
    if (seen[cells[read]] > seen[cells[kept]]) kept = read;
  }
  return kept;
}

bool TrackReads::LastAllGood() const {
  if (reads_.empty()) return false;
  const std::vector<uint8_t>& last = reads_.back();
  return std::all_of(last.begin(), last.end(), [](uint8_t cell) { return cell == kMapGood; });
}

std::vector<size_t> TrackReads::Kept() const {
  std::vector<size_t> kept;
  std::vector<uint8_t> cells;
  for (int place = 0; place < places_; ++place) {
    cells.clear();
    for (const std::vector<uint8_t>& read : reads_)
      cells.push_back(read[static_cast<size_t>(place)]);
    kept.push_back(KeptRead(cells));
  }
  return kept;
}

std::vector<uint8_t> TrackReads::KeptCells(const std::vector<size_t>& kept) const {
  std::vector<uint8_t> cells;
  for (size_t place = 0; place < kept.size(); ++place) {
    const uint8_t cell = reads_[kept[place]][place];
    cells.push_back(cell == kMapGood && kept[place] > 0 ? kMapRecovered : cell);
  }
  return cells;
}

void LogRetries(Program& p, int track, const TrackReads& reads, const std::vector<size_t>& kept,
                const std::vector<std::string>& names) {
  const std::string head = "Track " + std::to_string(track) + ": ";
  const std::vector<uint8_t> cells = reads.KeptCells(kept);
  for (size_t read = 1; read < static_cast<size_t>(reads.count()); ++read) {
    std::vector<std::string> recovered;
    for (size_t place = 0; place < kept.size(); ++place) {
      if (cells[place] == kMapRecovered && kept[place] == read) recovered.push_back(names[place]);
    }
    if (!recovered.empty()) {
      LogLine(p, head + PlaceWords(recovered) + " recovered on try " + std::to_string(read + 1));
    }
  }
  std::vector<std::string> bad;
  for (size_t place = 0; place < kept.size(); ++place) {
    if (cells[place] != kMapGood && cells[place] != kMapRecovered) bad.push_back(names[place]);
  }
  if (!bad.empty()) {
    LogLine(
        p, head + PlaceWords(bad) + " still bad after " + std::to_string(reads.count()) + " reads");
  }
}

}  // namespace dw
