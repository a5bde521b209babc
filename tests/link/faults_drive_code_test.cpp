// Drive code files that are not what they should be (garbage, cut short, empty): the page that
// goes to the drive is no code that serves the job, so the job never answers. The command must
// end aborted on the time-out, with nothing asked for and nothing written.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace dw {
namespace {

// Runs the test in a folder of its own holding the virtual bus's drive code, the program
// looks for drive code in the current folder.
class DriveCodeFolder {
 public:
  DriveCodeFolder() : previous_(std::filesystem::current_path()) {
    for (const auto& entry :
         std::filesystem::directory_iterator(DISKWRIGHT_SOURCE_DIR "/sim/drivecode")) {
      std::filesystem::copy_file(entry.path(), folder_ / entry.path().filename().string());
    }
    std::filesystem::current_path(folder_.path());
  }
  ~DriveCodeFolder() { std::filesystem::current_path(previous_); }
  DriveCodeFolder(const DriveCodeFolder&) = delete;
  DriveCodeFolder& operator=(const DriveCodeFolder&) = delete;

  std::string Read(const std::string& name) const {
    std::ifstream in(folder_ / name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::trunc) << text;
  }
  std::string operator/(const std::string& name) const { return folder_ / name; }

 private:
  TempFolder folder_{"badcode"};
  std::filesystem::path previous_;
};

// The create on a blank disk: the tracks are read with drive code U0 before anything is asked.
// With `folderGone` the program runs in a working folder that was removed under it.
struct CreateWithCode {
  explicit CreateWithCode(const std::string& u0, bool folderGone = false) {
    folder.Write("1541_U0.h65", u0);
    if (folderGone) {
      std::filesystem::create_directory(folder / "gone");
      std::filesystem::current_path(folder / "gone");
      std::filesystem::remove(folder / "gone");
    }
    h.desk.QueueFile(folder / "copy.d64");
    h.desk.QueueCommand(kCmdCreateImage);
    h.Run();
    log = h.desk.fullLogTexts();
  }
  // How the command ended, from `from` on: its "-- done --" or "-- aborted --".
  std::string EndingAfter(const std::string& from) const {
    auto at = std::find(log.begin(), log.end(), from);
    auto ending = std::find_if(at, log.end(),
                               [](const std::string& line) { return line.rfind("-- ", 0) == 0; });
    return ending == log.end() ? std::string() : *ending;
  }

  DriveCodeFolder folder;
  Harness h{"8=1541-II+:blank"};
  std::vector<std::string> log;
};

TEST(DriveCodeFaults, AFileThatIsNoCleanCodeOrNoFolderIsToldAndTheCreateEndsAtOnce) {
  std::string whole;
  {
    DriveCodeFolder folder;
    whole = folder.Read("1541_U0.h65");
  }
  // One field of the second line is no byte: every later byte would land one place early.
  std::string badField = whole;
  const size_t secondLine = badField.find('\n') + 1;
  badField.replace(secondLine + 8, 2, "ZZ");
  for (const std::string& text :
       {std::string("zzzz ZZ ZZ ZZ ZZ\nnot our own typing, no\n\x01\x02\x03\n"), std::string(),
        badField}) {
    SCOPED_TRACE(text);
    CreateWithCode create(text);
    ASSERT_EQ(create.h.desk.messages().size(), 1u);
    EXPECT_EQ(create.h.desk.messages()[0].request.text, "Error: Can't read from file 1541_U0.h65");
    EXPECT_EQ(create.EndingAfter("Reading 35 tracks"), "-- aborted --");
    EXPECT_TRUE(create.h.desk.fileRequests().empty());
    EXPECT_EQ(std::find(create.log.begin(), create.log.end(), "Connection Timeout"),
              create.log.end());
  }
  // A good file, but the working folder the program looks in is gone.
  CreateWithCode create(whole, true);
  ASSERT_EQ(create.h.desk.messages().size(), 1u);
  EXPECT_EQ(create.h.desk.messages()[0].request.text, "Error: Can't read from file 1541_U0.h65");
  EXPECT_EQ(create.EndingAfter("Reading 35 tracks"), "-- aborted --");
}

// Two lines hold the RTS and the start of the text that names the page, not all of it: the
// page goes to the drive, but no job is answered.
TEST(DriveCodeFaults, ACutFileLoadsAPageThatNeverAnswersAndTheCreateEndsOnTheTimeout) {
  std::string whole;
  {
    DriveCodeFolder folder;
    whole = folder.Read("1541_U0.h65");
  }
  const size_t secondLine = whole.find('\n', whole.find('\n') + 1) + 1;
  CreateWithCode create(whole.substr(0, secondLine));
  EXPECT_EQ(create.EndingAfter("Connection Timeout"), "-- aborted --");
  EXPECT_TRUE(create.h.desk.messages().empty());
  EXPECT_TRUE(create.h.desk.fileRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(create.folder / "copy.d64"));
}

}  // namespace
}  // namespace dw
