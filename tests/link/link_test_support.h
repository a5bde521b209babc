#pragma once
// Disk images for the link tests, made by cc1541 (an independent tool) in a fresh folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace dw::testing_support {

// The log without the "hh:mm:ss " stamps.
inline std::vector<std::string> Texts(const std::vector<std::string>& log) {
  std::vector<std::string> texts;
  for (const std::string& line : log) texts.push_back(line.size() > 9 ? line.substr(9) : line);
  return texts;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line == text) return true;
  }
  return false;
}

class ImageFolder {
 public:
  ImageFolder() {
    folder_ = std::filesystem::temp_directory_path() /
              ("diskwright-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ~ImageFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  // An empty formatted image (".d64", ".d71" or ".d81") named "TEST" with ID "AB" (cc1541 takes
  // lower-case ASCII for unshifted PETSCII); "" when
  // cc1541 is missing.
  std::string Blank(const std::string& fileName) {
    std::string path = (folder_ / fileName).string();
    std::string command = "cc1541 -q -n test -i ab '" + path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return path;
  }

  // Sets one byte of an image file.
  static void Patch(const std::string& path, long offset, unsigned char value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.put(static_cast<char>(value));
  }

  std::filesystem::path folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};

#define REQUIRE_IMAGE(path) \
  if ((path).empty()) GTEST_SKIP() << "cc1541 is not installed (scripts/setup installs it)"

}  // namespace dw::testing_support
