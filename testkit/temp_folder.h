#pragma once
// A folder of its own for one test, removed with everything in it afterwards.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace dw {

class TempFolder {
 public:
  explicit TempFolder(const std::string& name) {
    // Test programs run side by side, each with the same counter and often the same
    // addresses: a random part keeps their folders apart.
    static int counter = 0;
    static const unsigned processPart = std::random_device{}();
    path_ = std::filesystem::temp_directory_path() /
            ("diskwright-" + name + "-" + std::to_string(processPart) + "-" +
             std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace dw
