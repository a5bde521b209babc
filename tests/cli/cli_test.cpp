// diskwright-cli run as a user runs it, against the virtual bus: its output and exit status.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "testkit/temp_folder.h"
#include "tests/cli/run_cli.h"

namespace dw::cli_test {

namespace {

std::string Slurp(const std::string& path) {
  return ReadWholeFile(path);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A working folder holding the virtual bus's drive code, as the program needs it.
class CliTest : public ::testing::Test {
 protected:
  CliTest() : folder_("cli") {
    for (const auto& entry : std::filesystem::directory_iterator(
             std::string(DISKWRIGHT_SOURCE_DIR) + "/sim/drivecode")) {
      std::filesystem::copy_file(entry.path(), folder_ / entry.path().filename().string());
    }
  }

  std::string Path(const std::string& name) const { return folder_ / name; }

  // A program file of `size` bytes, load address first, the rest from the seed.
  std::string MakePrg(const std::string& name, size_t size, uint32_t seed) {
    std::string bytes = {'\x01', '\x08'};
    for (size_t i = 2; i < size; ++i) {
      seed = seed * 1103515245u + 12345u;
      bytes.push_back(static_cast<char>(seed >> 16));
    }
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return bytes;
  }

  // A disk made by cc1541 holding one program file.
  void MakeDisk(const std::string& image, const std::string& diskName, const std::string& id,
                const std::string& fileName, const std::string& prg) {
    const std::string command = "cd '" + folder_.path() + "' && cc1541 -q -n '" + diskName +
                                "' -i '" + id + "' -f '" + fileName + "' -w '" + prg + "' '" +
                                image + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // The disk most tests use: "TEST DISK",AB with the program file GAME of `size` bytes.
  std::string MakeGameDisk(const std::string& image, size_t size, uint32_t seed) {
    const std::string game = MakePrg("game.prg", size, seed);
    MakeDisk(image, "test disk", "ab", "game", "game.prg");
    return game;
  }

  CliRun Run(const std::vector<std::string>& args, const CliOptions& options = {}) {
    return RunCli(folder_.path(), args, options);
  }

  TempFolder folder_;
};

TEST_F(CliTest, DrivesListsEveryDriveOnTheBusWithItsModel) {
  MakePrg("a.prg", 100, 1);
  MakeDisk("a.d64", "one", "aa", "a", "a.prg");
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64,10=1581", "--quiet", "drives"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"8: 1541-II+", "10: 1581"}));

  // Without --quiet the log comes first, stamped, and the closing drive list after it.
  run = Run({"--port", "sim:8=1541-II+:a.d64,10=1581", "drives"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.out, "BUSLINK V2.0 found @ COM0")) << run.out;
  EXPECT_TRUE(Contains(run.out, "Drive #10 present: 1581")) << run.out;
  EXPECT_EQ(Lines(run.out).back(), "10: 1581");
}

TEST_F(CliTest, DirPrintsTheListingOfTheDisk) {
  MakeGameDisk("a.d64", 3000, 2);
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "dir"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_TRUE(Contains(lines[0], "\"TEST DISK       \" AB")) << lines[0];
  EXPECT_TRUE(Contains(lines[1], "12   \"GAME\"")) << lines[1];
  EXPECT_TRUE(Contains(lines[2], "652 BLOCKS FREE.")) << lines[2];
}

// cc1541 takes capitals as the computer's lower case set writes them: shifted letters, which
// the upper case set, the one the computer starts with, shows as graphics.
TEST_F(CliTest, DirShowsNamesAsTheComputersScreenDoesInEitherSet) {
  const std::string hello = MakePrg("hello.prg", 300, 5);
  MakeDisk("a.d64", "TEST DISK", "ab", "HELLO", "hello.prg");
  const std::string port = "sim:8=1541-II+:a.d64";

  CliRun run = Run({"--port", port, "--quiet", "dir", "--charset", "lower"});
  EXPECT_EQ(run.status, 0) << run.err;
  // (cc1541 pads the ID it is given over the DOS type.)
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"0 \"TEST DISK       \" ab    (1541 DISK)",
                                                      "2    \"HELLO\"            prg  ",
                                                      "662 blocks free.             "}));

  // The upper case set: the lines of Shift+T, E and D, the heart of Shift+S, the arcs of
  // Shift+I and K, and never the Latin-1 letter of the same code ($D3 would be "Ó").
  run = Run({"--port", port, "--quiet", "dir"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_TRUE(Contains(lines[0], "0 \"\u258F\u23BA\u2665\u258F \u23BB\u256E\u2665\u256F  "))
      << lines[0];
  EXPECT_TRUE(Contains(lines[0], "\" AB    (1541 DISK)")) << lines[0];
  EXPECT_TRUE(Contains(lines[2], "662 BLOCKS FREE.")) << lines[2];
  EXPECT_FALSE(Contains(run.out, "\u00D3")) << run.out;

  // --raw: each byte as the character of its code, as before.
  run = Run({"--port", port, "--quiet", "dir", "--raw"});
  EXPECT_TRUE(Contains(Lines(run.out)[0], "\u00D4\u00C5\u00D3\u00D4 \u00C4\u00C9\u00D3\u00CB"))
      << run.out;

  // A name is found as either set shows it; the PC name offered is plain ASCII.
  run = Run({"--port", port, "--quiet", "get", "HELLO"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("HELLO.prg")), hello);

  run = Run({"--port", port, "dir", "--charset", "mixed"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "--charset takes upper")) << run.err;
}

TEST_F(CliTest, GetAndPutCarryProgramFilesUnchangedBothWays) {
  const std::string game = MakeGameDisk("a.d64", 700, 3);
  const std::string port = "sim:8=1541-II+:a.d64";

  CliRun run = Run({"--port", port, "--quiet", "get", "GAME", "copy.prg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("copy.prg")), game);

  // A file put on the virtual disk stays there for the next run, as on a real disk.
  const std::string tool = MakePrg("tool.prg", 900, 4);
  run = Run({"--port", port, "--quiet", "put", "tool.prg"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Run({"--port", port, "--quiet", "get", "TOOL", "back.prg"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("back.prg")), tool);

  // The bus in virtual time from here on, to keep the test short.
  // Without a name for the PC file, the CBM name is taken.
  run = Run({"--port", port, "--virtual-time", "--quiet", "get", "GAME"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("GAME.prg")), game);

  // A file the disk does not hold is told and nothing is written.
  run = Run({"--port", port, "--virtual-time", "--quiet", "get", "NONE", "none.prg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "no file \"NONE\" on the disk")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(Path("none.prg")));

  // An existing PC file is kept unless --replace says otherwise.
  std::ofstream(Path("kept.prg")) << "mine";
  run = Run({"--port", port, "--virtual-time", "--quiet", "get", "GAME", "kept.prg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "File already exists")) << run.err;
  EXPECT_EQ(Slurp(Path("kept.prg")), "mine");
  run = Run({"--port", port, "--virtual-time", "--quiet", "get", "GAME", "kept.prg", "--replace"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("kept.prg")), game);
}

TEST_F(CliTest, CmdPrintsTheDrivesAnswerAndAnErrorAnswerExitsOne) {
  MakeGameDisk("a.d64", 300, 5);
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "cmd", "X"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"31,SYNTAX ERROR,00,00"}));
  // With --quiet the log of a failed command goes to standard error.
  EXPECT_TRUE(Contains(run.err, "DOS command: \"X\"")) << run.err;

  // Longer than the adapter takes: refused whole, nothing reaches the drive, no answer.
  run = Run(
      {"--port", "sim:8=1541-II+:a.d64", "--quiet", "cmd", "N0:" + std::string(37, 'N') + ",ZZ"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Contains(run.err, "ERROR - IEC string too long")) << run.err;

  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "cmd", "S:GAME"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"01, FILES SCRATCHED,01,00"}));
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "dir"});
  EXPECT_FALSE(Contains(run.out, "GAME")) << run.out;

  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "status"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"00, OK,00,00"}));
}

TEST_F(CliTest, CreateInRealTimeMakesTheImageWithAProgressBarOnATerminal) {
  MakeGameDisk("a.d64", 20000, 6);
  CliOptions terminal;
  terminal.stderrOnTerminal = true;
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "create", "made.d64"}, terminal);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Slurp(Path("made.d64")), Slurp(Path("a.d64")));
  EXPECT_TRUE(Contains(run.err, "] 1/35")) << run.err;
  EXPECT_TRUE(Contains(run.err, "\r[########################################] 35/35")) << run.err;
  // The log stays on standard output, free of the bar.
  EXPECT_TRUE(Contains(run.out, "T35:11111111111111111 ")) << run.out;
  EXPECT_FALSE(Contains(run.out, "35/35"));
}

TEST_F(CliTest, VerifyTellsAnImageThatMatchesFromOneThatDoesNot) {
  MakeGameDisk("a.d64", 20000, 7);
  // The same disk with one more file: its directory, BAM and one block differ.
  std::filesystem::copy_file(Path("a.d64"), Path("other.d64"));
  MakePrg("more.prg", 200, 8);
  MakeDisk("other.d64", "test disk", "ab", "more", "more.prg");
  const std::string port = "sim:8=1541-II+:a.d64";

  // Standard error is a file here: no bar, no carriage returns. A weak sector is read again.
  CliRun run = Run(
      {"--port", port + ":weak@18/1", "--virtual-time", "create", "made.d64", "--retries", "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("made.d64")), Slurp(Path("a.d64")));
  EXPECT_TRUE(Contains(run.out, "Track 18: sector 1 recovered on try ")) << run.out;
  EXPECT_EQ(run.err, "");

  // The G64 of the same disk, tracks 36 to 40 (unformatted) too; a bare name gets ".g64".
  run = Run({"--port", port, "--virtual-time", "create-g64", "made", "--40"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "Saved made.g64: 40 tracks, 768 sectors, 85 with errors"))
      << run.out;
  EXPECT_EQ(Slurp(Path("made.g64")).size(), 0x2ACu + 40u * 7930u);

  run = Run({"--port", port, "--virtual-time", "--quiet", "verify", "made.d64"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{"Verify OK", "Verified 683 sectors against made.d64"}));
  run = Run({"--port", port, "--virtual-time", "--quiet", "verify", "other.d64"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Diskwright: Verify failed!")) << run.err;
}

TEST_F(CliTest, CtrlCAbortsAsResetDoesAndLeavesNoFile) {
  // About 13 s of download at the bus's pace; Ctrl+C comes in the middle of it.
  const std::string game = MakeGameDisk("a.d64", 20000, 9);
  CliOptions interrupt;
  interrupt.interruptAfterMs = 2500;
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "get", "GAME", "cut.prg"}, interrupt);
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "-- aborted --")) << run.out;
  EXPECT_TRUE(Contains(run.err, "aborted; resetting the bus")) << run.err;
  // The reconnection after RESET found the drive again.
  std::vector<std::string> lines = Lines(run.out);
  EXPECT_TRUE(Contains(lines.back(), "Drive #11")) << run.out;
  // No file of the name asked for; the bytes received are kept beside it, where the log says.
  EXPECT_FALSE(std::filesystem::exists(Path("cut.prg")));
  const std::string kept = Slurp(Path("cut.prg.part"));
  ASSERT_GT(kept.size(), 0u);
  EXPECT_EQ(kept, game.substr(0, kept.size()));
  EXPECT_TRUE(Contains(run.out, "kept in cut.prg.part")) << run.out;
}

TEST_F(CliTest, AWrongCallSaysWhatIsWrongInOneLineAndExitsTwo) {
  const std::vector<std::vector<std::string>> calls = {
      {},
      {"frob"},
      {"get"},
      {"dir", "--40"},
      {"--drive", "12", "dir"},
      {"create", "x.d64", "--each-disk", "b%d.d64"},
      {"create", "--each-disk", "box.d64"},
      {"create", "--each-disk", "b%d.d64", "--count", "9999999999"},
      {"create", "x.d64", "--retries", "0"},
      {"create", "x.d64", "--retries", "21"},
      {"create", "x.d64", "--retries", "two"},
      {"restore", "x.d64", "--format", "maybe"},
      {"rpm", "7"},
      {"format", "NOID"},
      {"format", "NAME,"},
      {"format", "SEVENTEEN CHARS X,XX"},
  };
  for (const std::vector<std::string>& call : calls) {
    CliRun run = Run(call);
    EXPECT_EQ(run.status, 2) << call.size();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  }
  // Calls the arguments allow but the files do not: nothing reaches the drive.
  MakeGameDisk("a.d64", 300, 10);
  const std::string before = Slurp(Path("a.d64"));
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "put", "a.d64"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "no .prg file")) << run.err;
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "restore", "missing.d64"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "cannot read missing.d64")) << run.err;
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "verify", "game.prg"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "verify compares the disk with a disk image")) << run.err;
  EXPECT_EQ(Slurp(Path("a.d64")), before);
  // An image name that cannot be written is refused before the disk is read: as given, as
  // completed by the drive's image type, or in a folder that is not there.
  std::ofstream(Path("out.d64")) << "kept";
  for (const char* target : {"out.d64", "out", "nofolder/out.d64"}) {
    run = Run({"--port", "sim:8=1541-II+:a.d64", "create", target});
    EXPECT_EQ(run.status, 2) << target;
    EXPECT_FALSE(Contains(run.out, "Reading")) << run.out;
  }
  EXPECT_TRUE(Contains(run.err, "create: cannot write into nofolder: no such folder")) << run.err;
  run = Run({"--port", "sim:8=1541-II+:a.d64", "create", "out"});
  EXPECT_TRUE(Contains(run.err, "create: out.d64 exists; --replace writes over it")) << run.err;
  EXPECT_EQ(Slurp(Path("out.d64")), "kept");
  std::ofstream(Path("out.g64")) << "kept";
  run = Run({"--port", "sim:8=1541-II+:a.d64", "create-g64", "out"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "create-g64: out.g64 exists; --replace writes over it")) << run.err;
  EXPECT_EQ(Slurp(Path("out.g64")), "kept");

  CliRun help = Run({"create", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "--each-disk PATTERN")) << help.out;
  help = Run({"-h"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "usage: diskwright-cli")) << help.out;
  CliRun version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(
      version.out, std::regex("diskwright-cli \\(Diskwright\\) [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
}

TEST_F(CliTest, RestoreOverADiskWithFilesIsAskedOnATerminalAndElsewhereNeedsYes) {
  MakeGameDisk("a.d64", 3000, 16);
  const std::string before = Slurp(Path("a.d64"));
  MakePrg("n.prg", 500, 17);
  MakeDisk("new.d64", "new disk", "nd", "new", "n.prg");
  const std::vector<std::string> restore = {"--port", "sim:8=1541-II+:a.d64", "--virtual-time",
                                            "restore", "new.d64"};
  const std::string question =
      "Overwrite disk: Overwrite \"TEST DISK\" (ID AB, 1 file) in drive 8?";
  // No terminal to ask at: the default, No, and the disk as it was.
  CliRun run = Run(restore);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, question + " No")) << run.err;
  EXPECT_TRUE(Contains(run.err, "restore: the disk holds files; --yes writes over them"))
      << run.err;
  CliOptions enter;
  enter.typed = "\n";
  run = Run(restore, enter);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, question + " [y/N]")) << run.err;
  EXPECT_EQ(Slurp(Path("a.d64")), before);

  CliOptions yes;
  yes.typed = "y\n";
  std::vector<std::string> logged = restore;
  logged.insert(logged.begin(), {"--log", "run.log"});
  run = Run(logged, yes);
  EXPECT_EQ(run.status, 0) << run.err;
  // The drive's own DOS reads the new disk; the log file kept the command.
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "dir"});
  EXPECT_TRUE(Contains(run.out, "\"NEW DISK        \" ND")) << run.out;
  const std::string log = Slurp(Path("run.log"));
  EXPECT_EQ(log.rfind("=== ", 0), 0u) << log;
  EXPECT_TRUE(Contains(log, "Restoring from file: \"new.d64\"; 35 Tracks")) << log;

  // --yes answers for a script.
  std::ofstream(Path("old.d64"), std::ios::binary) << before;
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--virtual-time", "restore", "old.d64", "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "dir"});
  EXPECT_TRUE(Contains(run.out, "\"TEST DISK       \" AB")) << run.out;

  // A disk without files has nothing to lose: no question.
  const std::string format = "cd '" + folder_.path() + "' && cc1541 -q -n empty -i em empty.d64";
  ASSERT_EQ(std::system(format.c_str()), 0);
  run = Run({"--port", "sim:8=1541-II+:empty.d64", "--virtual-time", "restore", "new.d64"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(Contains(run.err, "Overwrite disk")) << run.err;
}

TEST_F(CliTest, ADriveSwitchedOffEndsWithExitThree) {
  MakeGameDisk("a.d64", 300, 11);
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64:off", "--quiet", "dir"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Contains(run.err, "no drive answers")) << run.err;
  EXPECT_EQ(run.out, "");

  run = Run({"--port", "sim:8=1541-II+:a.d64,9=1571:off", "--drive", "9", "--quiet", "dir"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Contains(run.err, "drive 9 does not answer (found: 8: 1541-II+)")) << run.err;
}

TEST_F(CliTest, BatchArchivingMakesOneImageForEveryDiskPutIn) {
  const std::vector<std::string> images = {"one.d64", "two.d64", "three.d64"};
  for (size_t i = 0; i < images.size(); ++i) {
    const std::string prg = "f" + std::to_string(i) + ".prg";
    MakePrg(prg, 4000 + 3000 * i, static_cast<uint32_t>(20 + i));
    MakeDisk(images[i], "disk " + std::to_string(i), "d" + std::to_string(i), "f", prg);
  }
  // A hand changes the disk at 40 s and at 80 s of the bus's time; each create takes about 20.
  // The 1581 on the bus does not keep drive 8 from archiving.
  CliRun run = Run({"--port", "sim:8=1541-II+:one.d64,9=1581", "--drive", "8", "--virtual-time",
                    "--sim-change", "40:8:two.d64", "--sim-change", "80:8:three.d64", "--quiet",
                    "create", "--each-disk", "box-%02d.d64", "--count", "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(Path("box-01.d64")), Slurp(Path("one.d64")));
  EXPECT_EQ(Slurp(Path("box-02.d64")), Slurp(Path("two.d64")));
  EXPECT_EQ(Slurp(Path("box-03.d64")), Slurp(Path("three.d64")));
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                "Summary: 3 disk(s)", "box-01.d64: 0 bad sector(s)",
                                "box-02.d64: 0 bad sector(s)", "box-03.d64: 0 bad sector(s)"}));
  EXPECT_FALSE(Contains(run.err, "\r"));
}

// --verify reads every written track back: a disk the drive wrote wrong while answering each
// write as done is no copy (exit status 1), and the same disk unverified passes.
TEST_F(CliTest, RestoreAndFormatWithVerifyTellABadDiskFromAGoodOne) {
  MakeGameDisk("a.d64", 300, 16);
  const std::string image = Slurp(Path("a.d64"));
  std::ofstream(Path("b.d64"), std::ios::binary) << image;
  CliRun run = Run({"--port", "sim:8=1541-II+:b.d64", "--virtual-time", "--sim-fault",
                    "badwrite 8 12 4", "restore", "a.d64", "--yes", "--verify"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Contains(run.out,
                       "Verify after writing: Track 12, Sector 4: read with code 5, "
                       "written with 1"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "-- aborted --")) << run.out;
  EXPECT_FALSE(Contains(run.out, "Restored 35 tracks onto drive 8")) << run.out;
  run = Run({"--port", "sim:8=1541-II+:b.d64", "--virtual-time", "--sim-fault", "badwrite 8 12 4",
             "restore", "a.d64", "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "Restored 35 tracks onto drive 8")) << run.out;

  run = Run({"--port", "sim:8=1541-II+:blank", "--virtual-time", "format", "NEW,NW", "--verify"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "Verify after writing: on")) << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "Verify after writing: 683 sectors on 35 tracks read back as "
                       "written"))
      << run.out;
}

TEST_F(CliTest, ACommandThatRefusesOrCannotBeDoneIsNoSuccess) {
  MakeGameDisk("a.d64", 300, 13);
  const std::string before = Slurp(Path("a.d64"));
  // A G64 without a single track, dumps of no track or one the disk layout lacks, a program
  // file the disk has no room for.
  std::string g64 = std::string("GCR-1541") + '\0' + '\x54' + std::string(2 + 84 * 8, '\0');
  std::ofstream(Path("empty.g64"), std::ios::binary) << g64;
  // More blocks than the disk has free.
  MakePrg("big.prg", 254 * 700, 15);
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"restore", "empty.g64", "--yes"}, "G64 image not valid"},
      {{"dump-track", "0"}, "No track number in \"0\""},
      {{"dump-track", "99"}, "Track 99 is not on the disk layout"},
      {{"put", "big.prg"}, "Can't restore: "},
  };
  for (const auto& [call, line] : refused) {
    std::vector<std::string> args = {"--port", "sim:8=1541-II+:a.d64", "--virtual-time", "--quiet"};
    args.insert(args.end(), call.begin(), call.end());
    CliRun run = Run(args);
    EXPECT_EQ(run.status, 1) << call[0];
    EXPECT_TRUE(Contains(run.err, line)) << run.err;
  }
  EXPECT_EQ(Slurp(Path("a.d64")), before);

  MakePrg("m.prg", 300, 14);
  const std::string command = "cd '" + folder_.path() + "' && cc1541 -q -w m.prg m.d81 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  CliRun run = Run({"--port", "sim:10=1581:m.d81", "--virtual-time", "--quiet", "format", "A,B"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "NOT APPLICABLE TO 1581")) << run.err;
  // A G64 holds GCR tracks: nothing for a 1581, nor from a 1541 without the fast serial driver.
  run = Run({"--port", "sim:10=1581:m.d81", "--virtual-time", "--quiet", "create-g64", "m.g64"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "NOT APPLICABLE TO 1581")) << run.err;
  run = Run({"--port", "sim:8=1541-II:a.d64", "--virtual-time", "--quiet", "create-g64", "a.g64"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Not supported without 6522 Fast Serial Driver!")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(Path("m.g64")) || std::filesystem::exists(Path("a.g64")));

  // A 1541 without the fast serial driver cannot make images: no file, and the batch stops.
  run = Run({"--port", "sim:8=1541-II:a.d64", "--virtual-time", "--quiet", "create", "--each-disk",
             "box-%d.d64"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Not supported without 6522 Fast Serial Driver!")) << run.err;
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{"Summary: 1 disk(s)", "box-1.d64: not written"}));
  EXPECT_FALSE(std::filesystem::exists(Path("box-1.d64")));
}

TEST_F(CliTest, ErrorInfoKeepsItsTableWithQuiet) {
  MakeGameDisk("a.d64", 300, 12);
  CliRun run = Run({"--port", "sim:8=1541-II+:a.d64", "--quiet", "error-info"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 17u) << run.out;
  EXPECT_TRUE(Contains(lines[0], "DOS low level errors for current device:"));
  EXPECT_TRUE(Contains(lines[16], "#F: ")) << lines[16];
}

}  // namespace

}  // namespace dw::cli_test
