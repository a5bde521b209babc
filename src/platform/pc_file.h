#pragma once
// PC files as the commands use them: opened and closed within one command on every path (the
// object closes what it opened), every write checked, and the few path pieces the requesters
// and the PRG transfers need.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace dw {

class PcFile {
 public:
  // Existing file, for reading.
  static PcFile OpenForReading(const std::string& path);
  // New or emptied file, for writing.
  static PcFile Create(const std::string& path);

  bool IsOpen() const { return file_ != nullptr; }
  std::FILE* get() const { return file_.get(); }

  // Appends every byte and pushes them to the operating system; false when the file did not
  // take them all (disk full, medium removed).
  bool Append(std::span<const uint8_t> bytes);
  // Reads up to buffer.size() bytes; 0 at the end of the file or on a read error.
  size_t Read(std::span<uint8_t> buffer);
  // A read failed (as opposed to reaching the end).
  bool ReadFailed() const;
  // Closes the file; false when its last bytes could not be written.
  bool Close();

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
};

// Writes the bytes as the whole file at path, or nothing: they go into a new file in the same
// folder, which takes the name only when every byte is written and the file closed without
// error. false when that failed; the folder then holds neither a partial file nor a changed
// one of that name.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// Size of the file in bytes; 0 when it does not exist or is not a regular file.
int64_t PcFileSize(const std::string& path);
// True when anything (file, folder, device) exists under the path.
bool PcPathExists(const std::string& path);
// Whether a new file can be made in the folder (an empty name: the current folder), found by
// making one and removing it; false with the system's words in `reason`.
bool PcFolderTakesFiles(const std::string& folder, std::string* reason);

// "C:/games/disk.d64" gives "disk.d64", "C:/games" and "D64"; a name whose file part has no
// extension gives "".
std::string FilePart(const std::string& path);
std::string FolderPart(const std::string& path);
std::string UpperExtension(const std::string& path);

// Upper case of the ASCII letters; other bytes unchanged.
std::string AsciiUpper(std::string text);

}  // namespace dw
