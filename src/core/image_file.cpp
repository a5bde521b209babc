#include "core/image_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/log.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

// Pieces of the requesters' type lists: display names and patterns separated by "|".
constexpr std::string_view kD64Types = "D64 Image (*.d64)|*.d64|";
constexpr std::string_view kD71Types = "D71 Image (*.d71)|*.d71|";
constexpr std::string_view kD64AndD71Types =
    "D71 Image (*.d71)|*.d71|D64 & D71 Image (*.d64;*.d71)|*.d64;*.d71|";
constexpr std::string_view kD81Types = "D81 Image (*.d81)|*.d81|";
constexpr std::string_view kPrgAndAllTypes = "PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
// Restore takes G64 files: the open lists name them just before "all files", so that every
// entry a caller preselects keeps its number.
constexpr std::string_view kPrgG64AndAllTypes =
    "PRG Image (*.prg)|*.prg|G64 Image (*.g64)|*.g64|all files (*.*)|*.*";
constexpr std::string_view kG64AndAllTypes = "G64 Image (*.g64)|*.g64|all files (*.*)|*.*";

// Entries of every save list: the image type first, then PRG, then all files.
constexpr int kImageEntry = 0;
constexpr int kPrgEntry = 1;

struct TypeList {
  std::string text;
  std::string imageExtension;  // given to a bare name saved with the image entry
  bool prgEntry = true;        // the second entry is PRG
};

TypeList BuildTypeList(const Program& p, bool saving) {
  TypeList list{std::string(kD64Types), "d64"};
  if (p.DriveFamily == kFamily1571) {
    // A double-sided disk in a 1571 is saved as D71, unless 40 tracks were asked for.
    if (saving && p.DiskFormat == kDisk1571DoubleSided && !p.FortyTracks) {
      list = {std::string(kD71Types), "d71"};
    } else if (!saving) {
      list.text += kD64AndD71Types;
    }
  } else if (p.DriveFamily == kFamily1581) {
    list = {std::string(kD81Types), "d81"};
  }
  list.text += saving ? kPrgAndAllTypes : kPrgG64AndAllTypes;
  return list;
}

int EntryCount(const std::string& typeList) {
  return static_cast<int>((std::count(typeList.begin(), typeList.end(), '|') + 1) / 2);
}

std::string StartFolder(const std::string& lastFolder) {
  if (!lastFolder.empty()) return lastFolder;
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string() : current.string();
}

// A bare name gets the extension of the type selected when the requester closed.
std::string CompleteExtension(const std::string& path, int selectedEntry,
                              const std::string& imageExtension, bool prgEntry) {
  if (std::filesystem::path(path).filename().has_extension()) return path;
  if (selectedEntry == kImageEntry) return path + "." + imageExtension;
  if (selectedEntry == kPrgEntry && prgEntry) return path + ".prg";
  return path;
}

bool ConfirmReplace(Program& p, const std::string& path) {
  MessageRequest question{"File already exists", "Replace \"" + FilePart(path) + "\"?",
                          MessageIcon::kWarning, MessageButtons::kYesNo, MessageAnswer::kNo};
  return p.desk.ShowMessage(question) == MessageAnswer::kYes;
}

std::string ChooseFileToOpen(Program& p, const TypeList& types, int entry) {
  FileRequest request{false,         "Open",     StartFolder(p.LastOpenFolder),
                      std::string(), types.text, entry};
  std::string path = p.desk.ChooseFile(request).path;
  if (!path.empty()) p.LastOpenFolder = FolderPart(path);
  return path;
}

std::string ChooseFileToSave(Program& p, const TypeList& types, int entry,
                             const std::string& defaultName) {
  FileRequest request{true,        "Save as",  StartFolder(p.LastSaveFolder),
                      defaultName, types.text, entry};
  std::string path;
  for (;;) {
    FileAnswer answer = p.desk.ChooseFile(request);
    path = answer.path;
    if (path.empty()) break;
    path = CompleteExtension(path, answer.selectedEntry, types.imageExtension, types.prgEntry);
    if (!PcPathExists(path) || ConfirmReplace(p, path)) break;
  }
  if (path.empty()) {
    LogLine(p, "Save Image canceled");
  } else {
    p.LastSaveFolder = FolderPart(path);
  }
  return path;
}

}  // namespace

std::string SelectImageFile(Program& p, bool saving, int entry, const std::string& defaultName) {
  TypeList types = BuildTypeList(p, saving);
  // An entry past the list (the ROM dump asks for a fifth) selects the last one.
  entry = std::clamp(entry, 0, EntryCount(types.text) - 1);
  return saving ? ChooseFileToSave(p, types, entry, defaultName)
                : ChooseFileToOpen(p, types, entry);
}

std::string SelectG64File(Program& p) {
  return ChooseFileToSave(p, TypeList{std::string(kG64AndAllTypes), "g64", false}, kImageEntry,
                          std::string());
}

bool SeekImageFile(Program& p, std::FILE* file, int32_t position, bool quiet) {
  long size = -1;
  if (file != nullptr) {
    long here = std::ftell(file);
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
      size = std::ftell(file);
      std::fseek(file, here, SEEK_SET);
    }
  }
  if (size < 0 || position < 0 || position > size) {
    if (!quiet) LogLine(p, "Error: File access beyond EOF!");
    return false;
  }
  return std::fseek(file, position, SEEK_SET) == 0;
}

}  // namespace dw
