#pragma once
// Reading a damaged track again. A worn disk often has sectors that read wrong on one
// revolution and right on the next; a sector damaged on the disk itself (or built with an error
// on purpose, as copy protection does) reads the same way every time. Create may read a track
// whose sectors are not all good again, up to a count the user gives, and keeps each sector's
// best read.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/program.h"

namespace dw {

inline constexpr int kFewestRetries = 1;
inline constexpr int kMostRetries = 20;
inline constexpr int kDefaultRetries = 3;

// The count of re-reads as the user typed it: a whole number from kFewestRetries to
// kMostRetries, blanks around it allowed; nullopt for anything else.
std::optional<int> RetryCountFrom(const std::string& text);

// The menu item: switched on, asks for the count ("Retries: 3" in the log); a count that is
// not one leaves the item off, told in the log. Switched off, "Retries disabled".
void ToggleTrackRetries(Program& p, int id);

// The map cells of the reads of one place (a sector, or a 1581 half track), the first read
// first: which read to keep. The first good one; else the first read of the code most reads
// gave, the first read's code when it is among the most frequent.
size_t KeptRead(std::span<const uint8_t> cells);

// Each sector's cell of every read of a track, and which of them to keep.
class TrackReads {
 public:
  explicit TrackReads(int places) : places_(places) {}

  void Add(std::vector<uint8_t> cells) { reads_.push_back(std::move(cells)); }
  int count() const { return static_cast<int>(reads_.size()); }
  uint8_t Cell(size_t read, size_t place) const { return reads_[read][place]; }
  // The last read found every place good.
  bool LastAllGood() const;
  // For each place, the read to keep.
  std::vector<size_t> Kept() const;
  // The cells the map shows for the kept reads: kMapRecovered for a place good in a later read
  // only.
  std::vector<uint8_t> KeptCells(const std::vector<size_t>& kept) const;

 private:
  int places_;
  std::vector<std::vector<uint8_t>> reads_;
};

// The log's account of the re-reads of a track: "Track 12: sectors 4, 7 recovered on try 2",
// a line for each try that recovered any, and "Track 12: sector 9 still bad after 4 reads".
// `names` gives each place's words ("sector 4", "sectors 20 to 39" for a 1581 half).
void LogRetries(Program& p, int track, const TrackReads& reads, const std::vector<size_t>& kept,
                const std::vector<std::string>& names);

}  // namespace dw
