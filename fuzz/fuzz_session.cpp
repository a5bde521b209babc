#include "fuzz/fuzz_session.h"

#include <filesystem>
#include <fstream>

#include "shell/main_loop.h"
#include "testkit/temp_folder.h"

namespace dw::fuzz {

Session::Session(std::function<std::unique_ptr<SerialPort>()> makePort)
    : ports(std::move(makePort)) {
  StartUp(program);
}

void RunToEnd(const std::function<void()>& part) {
  try {
    part();
  } catch (const ProgramEnded&) {
  }
}

InFolder::InFolder(const std::string& folder) : before_(std::filesystem::current_path()) {
  std::filesystem::current_path(folder);
}

InFolder::~InFolder() {
  std::error_code error;
  std::filesystem::current_path(before_, error);
}

std::string DriveCodeFolder() {
  return DISKWRIGHT_FUZZ_DRIVE_CODE_DIR;
}

const std::string& ScratchFolder() {
  static TempFolder folder("fuzz");
  static const std::string path = folder.path();
  return path;
}

void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace dw::fuzz
