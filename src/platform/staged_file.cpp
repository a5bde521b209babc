#include "platform/staged_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace dw {

namespace fs = std::filesystem;

namespace {

// Only a file can be replaced whole: a rename over a device or a folder would put the new file
// in the place of the device or the folder itself.
bool Replaceable(const std::string& target) {
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  return !fs::exists(status) || fs::is_regular_file(status);
}

}  // namespace

StagedFile::StagedFile(std::string target, std::string staging)
    : target_(std::move(target)), staging_(std::move(staging)) {
  if (Replaceable(target_)) file_ = PcFile::Create(staging_);
  created_ = file_.IsOpen();
}

StagedFile::~StagedFile() {
  if (!settled_) Discard();
}

bool StagedFile::Append(std::span<const uint8_t> bytes) {
  return file_.Append(bytes);
}

bool StagedFile::Commit() {
  if (settled_) return false;
  std::error_code error;
  if (file_.IsOpen() && file_.Close()) {
    fs::rename(staging_, target_, error);
    if (!error) {
      settled_ = true;
      return true;
    }
  }
  Discard();
  return false;
}

bool StagedFile::Keep() {
  if (settled_) return false;
  if (file_.IsOpen() && file_.Close()) {
    settled_ = true;
    return true;
  }
  Discard();
  return false;
}

void StagedFile::Discard() {
  if (settled_) return;
  settled_ = true;
  // A file of the staging name that this one could not replace is not its to remove.
  if (!created_) return;
  if (file_.IsOpen()) file_.Close();
  std::error_code error;
  fs::remove(staging_, error);
}

}  // namespace dw
