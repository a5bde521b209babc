// The file requesters (type lists, starting folders, extension completion, the overwrite
// question), the Restore command's routing and the bounded seek in image files.

#include "commands/restore_from_file.h"
#include "core/image_file.h"
#include "testkit/harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "testkit/scripted_desk.h"
#include "testkit/temp_folder.h"

namespace dw {
namespace {

// No port answers: there is no adapter.
using NoPorts = VirtualPortOpener;

class Folder : public TempFolder {
 public:
  Folder() : TempFolder("select") {}
  std::string Make(const std::string& name, size_t size = 10) const {
    std::ofstream(*this / name, std::ios::binary) << std::string(size, 'x');
    return *this / name;
  }
};

struct Shell {
  std::vector<std::string> Texts() const { return desk.logTexts(); }
  const FileRequest& Request(size_t i) const { return desk.fileRequests().at(i).request; }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  NoPorts ports;
  Program p{desk, clock, ports};
};

constexpr const char* kD64List =
    "D64 Image (*.d64)|*.d64|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
constexpr const char* kD71List =
    "D71 Image (*.d71)|*.d71|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
constexpr const char* kD81List =
    "D81 Image (*.d81)|*.d81|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
// The open lists name G64 files (Restore takes them) just before "all files".
constexpr const char* kD64OpenList =
    "D64 Image (*.d64)|*.d64|PRG Image (*.prg)|*.prg|G64 Image (*.g64)|*.g64|all files (*.*)|*.*";
constexpr const char* kD81OpenList =
    "D81 Image (*.d81)|*.d81|PRG Image (*.prg)|*.prg|G64 Image (*.g64)|*.g64|all files (*.*)|*.*";
constexpr const char* k1571OpenList =
    "D64 Image (*.d64)|*.d64|D71 Image (*.d71)|*.d71|D64 & D71 Image (*.d64;*.d71)|*.d64;*.d71|"
    "PRG Image (*.prg)|*.prg|G64 Image (*.g64)|*.g64|all files (*.*)|*.*";

struct TypeCase {
  uint8_t family;
  uint8_t diskFormat;
  bool fortyTracks;
  bool saving;
  const char* list;
};

TEST(FileSelect, TypeListPerFamilyDiskAndRequester) {
  const TypeCase cases[] = {
      {kFamily1541, kDisk1541, false, false, kD64OpenList},
      {kFamily1541, kDisk1541, false, true, kD64List},
      {kFamily1541, kDisk1571DoubleSided, false, true, kD64List},
      {kFamily1570, kDisk1571DoubleSided, false, true, kD64List},
      {kFamilyUnknown, kDisk1541, false, true, kD64List},
      {kFamily1571, kDisk1571DoubleSided, false, true, kD71List},
      {kFamily1571, kDisk1571DoubleSided, true, true, kD64List},
      {kFamily1571, kDisk1541, false, true, kD64List},
      {kFamily1571, kDisk1541, false, false, k1571OpenList},
      {kFamily1571, kDisk1571DoubleSided, false, false, k1571OpenList},
      {kFamily1581, kDisk1581, false, false, kD81OpenList},
      {kFamily1581, kDisk1581, false, true, kD81List},
  };
  for (const TypeCase& c : cases) {
    Shell shell;
    shell.p.DriveFamily = c.family;
    shell.p.DiskFormat = c.diskFormat;
    shell.p.FortyTracks = c.fortyTracks;
    SelectImageFile(shell.p, c.saving, 0, "");
    ASSERT_EQ(shell.desk.fileRequests().size(), 1u);
    const FileRequest& request = shell.Request(0);
    SCOPED_TRACE(testing::Message() << "family " << int(c.family) << " saving " << c.saving);
    EXPECT_EQ(request.typeList, c.list);
    EXPECT_EQ(request.saving, c.saving);
    EXPECT_EQ(request.title, c.saving ? "Save as" : "Open");
    EXPECT_EQ(request.entry, 0);
  }
}

TEST(FileSelect, NoSaveListOffersG64) {
  for (const char* list : {kD64List, kD71List, kD81List}) {
    EXPECT_EQ(std::string(list).find("g64"), std::string::npos);
  }
}

TEST(FileSelect, EntryBeyondTheListSelectsTheLastOne) {
  Shell shell;
  SelectImageFile(shell.p, true, 4, "1541-II_$C000_ROM.bin");  // the ROM dump's request
  SelectImageFile(shell.p, false, -3, "");
  shell.p.DriveFamily = kFamily1571;
  SelectImageFile(shell.p, false, 4, "");
  SelectImageFile(shell.p, false, 7, "");
  EXPECT_EQ(shell.Request(0).entry, 2);
  EXPECT_EQ(shell.Request(1).entry, 0);
  EXPECT_EQ(shell.Request(2).entry, 4);
  EXPECT_EQ(shell.Request(3).entry, 5);
}

TEST(FileSelect, BareNameGetsTheExtensionOfTheEntrySelectedAtClosing) {
  struct Case {
    uint8_t family;
    uint8_t diskFormat;
    bool fortyTracks;
    int selected;
    const char* expected;
  };
  const Case cases[] = {
      {kFamily1541, kDisk1541, false, 0, "disk.d64"},
      {kFamily1541, kDisk1541, false, 1, "disk.prg"},
      {kFamily1541, kDisk1541, false, 2, "disk"},
      {kFamily1571, kDisk1571DoubleSided, false, 0, "disk.d71"},
      {kFamily1571, kDisk1571DoubleSided, true, 0, "disk.d64"},
      {kFamily1571, kDisk1541, false, 0, "disk.d64"},
      {kFamily1581, kDisk1581, false, 0, "disk.d81"},
      {kFamily1581, kDisk1581, false, 1, "disk.prg"},
  };
  for (const Case& c : cases) {
    Shell shell;
    Folder folder;
    shell.p.DriveFamily = c.family;
    shell.p.DiskFormat = c.diskFormat;
    shell.p.FortyTracks = c.fortyTracks;
    // Preselected PRG; the user switches to another entry before closing.
    shell.desk.QueueFile(folder / "disk", c.selected);
    EXPECT_EQ(SelectImageFile(shell.p, true, 1, ""), folder / c.expected)
        << "family " << int(c.family) << " entry " << c.selected;
  }
}

TEST(FileSelect, NameWithAnyExtensionNeverGetsASecondOne) {
  Shell shell;
  Folder folder;
  shell.desk.QueueFile(folder / "game.bin", 0);
  shell.desk.QueueFile(folder / "game.d64", 1);
  shell.desk.QueueFile(folder / "my.disk.image", 0);
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, ""), folder / "game.bin");
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, ""), folder / "game.d64");
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, ""), folder / "my.disk.image");
}

TEST(FileSelect, ExtensionIsJudgedOnTheFileNameNotTheFolder) {
  Shell shell;
  Folder folder;
  std::filesystem::create_directories(folder / "images.old");
  shell.desk.QueueFile(folder / "images.old/disk", 0);
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, ""), folder / "images.old/disk.d64");
}

TEST(FileSelect, ExistingFileAsksAndNoShowsTheRequesterAgain) {
  Shell shell;
  Folder folder;
  folder.Make("old.d64");
  // The bare name is completed to an existing file, so the question comes.
  shell.desk.QueueFile(folder / "old", 0);
  shell.desk.QueueMessageAnswer(MessageAnswer::kNo);
  shell.desk.QueueFile(folder / "old.d64", 0);
  shell.desk.QueueMessageAnswer(MessageAnswer::kYes);
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, "offered"), folder / "old.d64");
  ASSERT_EQ(shell.desk.messages().size(), 2u);
  const MessageRequest& question = shell.desk.messages()[0].request;
  EXPECT_EQ(question.caption, "File already exists");
  EXPECT_EQ(question.text, "Replace \"old.d64\"?");
  EXPECT_EQ(question.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(question.icon, MessageIcon::kWarning);
  EXPECT_EQ(question.defaultButton, MessageAnswer::kNo);
  // The second requester starts as the first did.
  ASSERT_EQ(shell.desk.fileRequests().size(), 2u);
  EXPECT_EQ(shell.Request(1).folder, shell.Request(0).folder);
  EXPECT_EQ(shell.Request(1).fileName, "offered");
  EXPECT_EQ(shell.Request(1).entry, 0);
  EXPECT_TRUE(shell.desk.log().empty());
}

TEST(FileSelect, NoThenANewNameNeedsNoQuestion) {
  Shell shell;
  Folder folder;
  folder.Make("a.prg");
  shell.desk.QueueFile(folder / "a.prg");
  shell.desk.QueueMessageAnswer(MessageAnswer::kNo);
  shell.desk.QueueFile(folder / "b.prg");
  EXPECT_EQ(SelectImageFile(shell.p, true, 1, "a.prg"), folder / "b.prg");
  EXPECT_EQ(shell.desk.messages().size(), 1u);
  EXPECT_EQ(shell.desk.fileRequests().size(), 2u);
}

TEST(FileSelect, NoThenCancelLogsSaveImageCanceled) {
  Shell shell;
  Folder folder;
  folder.Make("a.d64");
  shell.desk.QueueFile(folder / "a.d64");
  // No answer queued: the question takes its default button, No.
  EXPECT_EQ(SelectImageFile(shell.p, true, 0, ""), "");
  EXPECT_EQ(shell.desk.messages().size(), 1u);
  EXPECT_EQ(shell.desk.messages()[0].answer, MessageAnswer::kNo);
  EXPECT_EQ(shell.desk.fileRequests().size(), 2u);
  EXPECT_EQ(shell.Texts(), std::vector<std::string>{"Save Image canceled"});
  EXPECT_EQ(shell.p.LastSaveFolder, "");
}

TEST(FileSelect, CancelledOpenSaysNothing) {
  Shell shell;
  EXPECT_EQ(SelectImageFile(shell.p, false, 0, ""), "");
  EXPECT_TRUE(shell.desk.log().empty());
  EXPECT_EQ(shell.p.LastOpenFolder, "");
}

TEST(FileSelect, FoldersAreRememberedApartForOpenAndSave) {
  Shell shell;
  Folder saves;
  Folder opens;
  std::string current = std::filesystem::current_path().string();
  shell.desk.QueueFile(saves / "x.d64");
  SelectImageFile(shell.p, true, 0, "");
  shell.desk.QueueFile(opens / "y.d64");
  SelectImageFile(shell.p, false, 0, "");
  SelectImageFile(shell.p, true, 1, "NAME");
  SelectImageFile(shell.p, false, 0, "");
  EXPECT_EQ(shell.Request(0).folder, current);
  EXPECT_EQ(shell.Request(1).folder, current);
  EXPECT_EQ(shell.Request(2).folder, saves.path());
  EXPECT_EQ(shell.Request(2).fileName, "NAME");
  EXPECT_EQ(shell.Request(3).folder, opens.path());
  EXPECT_EQ(shell.Request(3).fileName, "");
  EXPECT_EQ(shell.p.LastSaveFolder, saves.path());
  EXPECT_EQ(shell.p.LastOpenFolder, opens.path());
}

TEST(RestoreRouting, ByExtensionAndFamily) {
  using R = RestoreRoute;
  struct Case {
    uint8_t family;
    const char* path;
    R route;
    bool needsFastSerial;
  };
  const Case cases[] = {
      {kFamily1541, "/x/game.Prg", R::kPrg, false},
      {kFamily1581, "/x/GAME.PRG", R::kPrg, false},
      {kFamilyUnknown, "/x/game.prg", R::kPrg, false},
      {kFamily1541, "/x/raw.g64", R::kG64, true},
      {kFamily1570, "/x/raw.G64", R::kG64, false},
      {kFamily1571, "/x/raw.g64", R::kG64, false},
      {kFamily1581, "/x/raw.g64", R::kNotFor1581, false},
      {kFamilyUnknown, "/x/raw.g64", R::kUnknownDrive, false},
      {kFamily1541, "/x/disk.d64", R::kImage, true},
      {kFamily1570, "/x/disk.d71", R::kImage, false},
      {kFamily1571, "/x/disk.D71", R::kImage, false},
      {kFamily1581, "/x/disk.d81", R::kImage1581, false},
      {kFamily1581, "/x/disk.d64", R::kImage1581, false},
      {kFamilyUnknown, "/x/disk.d64", R::kUnknownDrive, false},
      {kFamily1571, "/x/noextension", R::kImage, false},
      {kFamily1571, "/x/some.prg.bak", R::kImage, false},
      {kFamily1571, "/x.prg/disk", R::kImage, false},
  };
  for (const Case& c : cases) {
    RestoreChoice choice = ChooseRestoreRoute(c.family, c.path);
    EXPECT_EQ(choice.route, c.route) << c.path << " family " << int(c.family);
    EXPECT_EQ(choice.needsFastSerial, c.needsFastSerial) << c.path << " family " << int(c.family);
  }
}

TEST(RestoreFromFile, G64ToA1581IsNotApplicable) {
  Shell shell;
  shell.p.DriveFamily = kFamily1581;
  shell.desk.QueueFile("/x/raw.g64", 4);
  RestoreFromFile(shell.p);
  EXPECT_EQ(shell.Texts(), std::vector<std::string>{"NOT APPLICABLE TO 1581"});
  ASSERT_EQ(shell.desk.fileRequests().size(), 1u);
  EXPECT_EQ(shell.Request(0).title, "Open");
  EXPECT_EQ(shell.Request(0).entry, 0);
}

TEST(RestoreFromFile, ImageOnA1541NeedsTheFastSerialDriver) {
  for (const char* path : {"/x/disk.d64", "/x/raw.g64"}) {
    Shell shell;
    shell.p.FastSerialDriver = 0;
    shell.desk.QueueFile(path);
    RestoreFromFile(shell.p);
    EXPECT_EQ(shell.Texts(),
              std::vector<std::string>{"Not supported without 6522 Fast Serial Driver!"});
  }
}

TEST(RestoreFromFile, UnknownDriveIsRefusedNamingItsModelByte) {
  for (const char* path : {"/x/disk.d64", "/x/raw.g64"}) {
    Shell shell;
    shell.p.DriveFamily = kFamilyUnknown;
    shell.p.DriveModelByte = 0x55;
    shell.desk.QueueFile(path);
    RestoreFromFile(shell.p);
    EXPECT_EQ(
        shell.Texts(),
        std::vector<std::string>{"Not supported on an unknown drive (model byte $55 at $FF40)"})
        << path;
    EXPECT_EQ(shell.p.LinkState, kLinkIecError) << path;
  }
}

TEST(RestoreFromFile, MixedCasePrgTakesThePrgRoute) {
  Shell shell;
  Folder folder;
  // Without a listing no PRG is restored; the refusal shows the PRG route was taken.
  shell.p.DriveFamily = kFamily1581;
  shell.desk.QueueFile(folder.Make("Game.Prg", 300));
  RestoreFromFile(shell.p);
  EXPECT_EQ(shell.Texts(), std::vector<std::string>{
                               "Can't restore: no 'BLOCKS FREE' line in the directory listing"});
}

TEST(RestoreFromFile, CancelEndsQuietly) {
  Shell shell;
  RestoreFromFile(shell.p);
  EXPECT_TRUE(shell.desk.log().empty());
  EXPECT_EQ(shell.desk.fileRequests().size(), 1u);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

TEST(SeekImageFile, ToTheEndSucceedsOneFurtherFailsAndStays) {
  Shell shell;
  Folder folder;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(folder.Make("d.d64", 100).c_str(), "rb"));
  ASSERT_TRUE(file);
  EXPECT_TRUE(SeekImageFile(shell.p, file.get(), 40, false));
  EXPECT_EQ(std::ftell(file.get()), 40);
  EXPECT_TRUE(SeekImageFile(shell.p, file.get(), 100, false));
  EXPECT_EQ(std::ftell(file.get()), 100);
  EXPECT_TRUE(shell.desk.log().empty());

  EXPECT_TRUE(SeekImageFile(shell.p, file.get(), 7, false));
  EXPECT_FALSE(SeekImageFile(shell.p, file.get(), 101, false));
  EXPECT_EQ(std::ftell(file.get()), 7);
  EXPECT_EQ(shell.Texts(), std::vector<std::string>{"Error: File access beyond EOF!"});

  EXPECT_FALSE(SeekImageFile(shell.p, file.get(), 5000, true));
  EXPECT_FALSE(SeekImageFile(shell.p, file.get(), -1, true));
  EXPECT_EQ(std::ftell(file.get()), 7);
  EXPECT_EQ(shell.desk.log().size(), 1u);
}

TEST(SeekImageFile, EmptyFileAllowsOnlyPositionZero) {
  Shell shell;
  Folder folder;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(folder.Make("e.d64", 0).c_str(), "rb"));
  ASSERT_TRUE(file);
  EXPECT_TRUE(SeekImageFile(shell.p, file.get(), 0, false));
  EXPECT_FALSE(SeekImageFile(shell.p, file.get(), 1, false));
}

}  // namespace
}  // namespace dw
