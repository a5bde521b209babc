#pragma once
// Disk images for the link tests, made by cc1541 (an independent tool) in a fresh folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "testkit/temp_folder.h"

namespace dw::testing_support {

class ImageFolder {
 public:
  // An empty formatted image (".d64", ".d71" or ".d81") named "TEST" with ID "AB" (cc1541
  // takes lower-case ASCII for unshifted PETSCII); "" when cc1541 is missing.
  std::string Blank(const std::string& fileName) {
    std::string path = folder_ / fileName;
    std::string command = "cc1541 -q -n test -i ab '" + path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return path;
  }

  // A formatted image like Blank holding one program file with the given bytes; "" when
  // cc1541 is missing.
  std::string WithFile(const std::string& fileName, const std::string& cbmName,
                       const std::vector<uint8_t>& bytes) {
    std::string content = folder_ / "content.bin";
    std::ofstream(content, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::string path = folder_ / fileName;
    std::string command = "cc1541 -q -n test -i ab -f '" + cbmName + "' -w '" + content + "' '" +
                          path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return path;
  }

  // Sets one byte of an image file.
  static void Patch(const std::string& path, long offset, unsigned char value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.put(static_cast<char>(value));
  }

 private:
  TempFolder folder_{"images"};
};

#define REQUIRE_IMAGE(path) \
  if ((path).empty()) GTEST_SKIP() << "cc1541 is not installed (scripts/setup installs it)"

}  // namespace dw::testing_support
