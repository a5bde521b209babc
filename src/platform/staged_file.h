#pragma once
// A PC file written whole or not at all: the bytes go into a file of its own beside the target
// (in the same folder, so that the final rename stays on one file system), which takes the
// target's name only when every byte is written and the file closed without error. Until then
// a file of the target's name stays as it was.

#include <cstdint>
#include <span>
#include <string>

#include "platform/pc_file.h"

namespace dw {

class StagedFile {
 public:
  // Starts the file under the staging name (replacing a file of that name) for the target. A
  // target that exists but is no file (a device, a folder) is not replaced: nothing is opened.
  StagedFile(std::string target, std::string staging);
  // A file neither committed nor kept is removed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& stagingPath() const { return staging_; }

  // Appends every byte and pushes them to the operating system; false when the file did not
  // take them all.
  bool Append(std::span<const uint8_t> bytes);
  // Closes the file and puts it in the target's place; false when that failed, and the staging
  // file is then gone.
  bool Commit();
  // Closes the file and leaves it under its staging name, for bytes worth keeping that are not
  // the whole target; false when it could not be closed cleanly, and it is then gone.
  bool Keep();
  // Closes the file and removes it.
  void Discard();

 private:
  std::string target_;
  std::string staging_;
  PcFile file_;
  bool created_ = false;
  bool settled_ = false;
};

}  // namespace dw
