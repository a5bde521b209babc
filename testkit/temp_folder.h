#pragma once
// A folder of its own for one test, removed with everything in it afterwards.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace dw {

class TempFolder {
 public:
  explicit TempFolder(const std::string& name) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("diskwright-" + name + "-" + std::to_string(counter++) + "-" +
             std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF));
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
