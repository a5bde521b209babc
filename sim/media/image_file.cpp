#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sim/media/images.h"

namespace sim {

std::string ExtensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file || size < 0) {
    if (error) *error = "cannot read \"" + path + "\"";
    return false;
  }
  return true;
}

bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
  const std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
      if (error) *error = "cannot create \"" + temporary + "\": " + std::strerror(errno);
      return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
      if (error) *error = "cannot write \"" + temporary + "\"";
      file.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  // Not std::rename: on Windows it refuses to replace a file that exists.
  std::error_code failure;
  std::filesystem::rename(temporary, path, failure);
  if (failure) {
    if (error) *error = "cannot replace \"" + path + "\": " + failure.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace sim
