#include "cli/commands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <system_error>

#include "cli/batch.h"
#include "commands/restore_from_file.h"
#include "disk/create_image.h"
#include "disk/petscii.h"
#include "disk/track_retries.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "platform/desk.h"
#include "platform/latin1.h"
#include "platform/pc_file.h"
#include "tools/g64_create.h"

namespace dw::cli {

namespace {

using Runner = std::function<int(Session&)>;

// A terminal's font seldom has the legacy computing symbols; the long-standing ones stand in.
void PrintDirectory(Session& s) {
  const std::vector<std::string>& lines = s.desk.directory();
  const CharacterSet set = s.call.Option("--charset") == "lower" ? CharacterSet::kLowerUpper
                                                                 : CharacterSet::kUpperGraphics;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string note = s.desk.directoryNote(static_cast<int>(i));
    if (s.call.Has("--raw")) {
      s.desk.PrintResult(lines[i] + note);
    } else {
      s.desk.PrintUtf8Result(PetsciiToUtf8(lines[i], set, true) + Latin1ToUtf8(note));
    }
  }
}

// The name between the quotes of a file line of the listing, as the drive sent it or as `dir`
// shows it in either character set; the header line (0) is no file.
int FindDirectoryLine(Session& s, const std::string& name) {
  const std::vector<std::string>& lines = s.desk.directory();
  for (size_t i = 1; i < lines.size(); ++i) {
    const size_t open = lines[i].find('"');
    const size_t close = open == std::string::npos ? open : lines[i].find('"', open + 1);
    if (close == std::string::npos) continue;
    const std::string bytes = lines[i].substr(open + 1, close - open - 1);
    if (bytes == name || PetsciiToUtf8(bytes, CharacterSet::kUpperGraphics, true) == name ||
        PetsciiToUtf8(bytes, CharacterSet::kLowerUpper, true) == name) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool IsReadableFile(Session& s, const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) return true;
  s.desk.PrintError("diskwright-cli: " + s.call.command + ": cannot read " + path);
  return false;
}

void AnswerReplace(Session& s) {
  if (s.call.Has("--replace")) s.desk.AnswerQuestion("File already exists", MessageAnswer::kYes);
}

int Directory(Session& s) {
  const int status = RunMenuCommand(s, kCmdDirectory);
  PrintDirectory(s);
  return status;
}

int Get(Session& s) {
  const std::string& name = s.call.arguments[0];
  int status = RunMenuCommand(s, kCmdDirectory);
  if (status != kExitDone) return status;
  const int line = FindDirectoryLine(s, name);
  if (line < 0) {
    s.desk.PrintError("diskwright-cli: get: no file \"" + name + "\" on the disk");
    return kExitDriveError;
  }
  const std::string target = s.call.arguments.size() > 1 ? s.call.arguments[1] : std::string();
  AnswerReplace(s);
  s.desk.QueueFile(target);
  s.desk.SelectDirectoryLine(line);
  // A download cut short takes no file's place: what came is kept beside it, and said so.
  return RunMenuCommand(s, kDirectoryListId);
}

int Put(Session& s) {
  const std::string& path = s.call.arguments[0];
  if (UpperExtension(path) != "PRG") {
    s.desk.PrintError("diskwright-cli: put: " + path +
                      " is no .prg file (restore writes disk images)");
    return kExitWrongCall;
  }
  if (!IsReadableFile(s, path)) return kExitWrongCall;
  s.desk.QueueFile(path);
  return RunMenuCommand(s, kCmdRestoreImage);
}

int DosCommand(Session& s) {
  s.desk.QueueText(s.call.arguments[0]);
  const int status = RunMenuCommand(s, kCmdDosCommand);
  // A command refused before it reached the drive has no answer to print.
  if (status != kExitLinkFailed && !s.desk.statusText().empty()) {
    s.desk.PrintResult(s.desk.statusText());
  }
  return status;
}

int Status(Session& s) {
  s.desk.BeginCommand();
  s.program.LinkState = 0;
  const std::string answer = ReadErrorChannel(s.program);
  const int status = ExitStatusOf(s);
  if (status == kExitLinkFailed) {
    ReportFailure(s, status);
  } else {
    s.desk.PrintResult(answer);
  }
  return status;
}

int Create(Session& s) {
  s.program.FortyTracksMark = s.call.Has("--40");
  s.program.ImageErrorsMark = s.call.Has("--errors");
  s.program.RetriesMark = s.call.Has("--retries");
  if (s.program.RetriesMark) s.program.RetryCount = *RetryCountFrom(s.call.Option("--retries"));
  // A name the call gave is the only name there is: no second requester follows a refusal.
  s.desk.AnswerQuestion(kDiscardImageCaption, MessageAnswer::kYes);
  if (s.call.Has("--each-disk")) return CreateEachDisk(s);
  if (!ImageTargetUsable(s, s.call.arguments[0])) return kExitWrongCall;
  AnswerReplace(s);
  s.desk.QueueFile(s.call.arguments[0]);
  return RunMenuCommand(s, kCmdCreateImage);
}

int CreateG64(Session& s) {
  s.program.FortyTracksMark = s.call.Has("--40");
  s.desk.AnswerQuestion(kDiscardG64Caption, MessageAnswer::kYes);
  if (!ImageTargetUsable(s, s.call.arguments[0])) return kExitWrongCall;
  AnswerReplace(s);
  s.desk.QueueFile(s.call.arguments[0]);
  return RunMenuCommand(s, kCmdCreateG64);
}

// --quiet keeps a command's result: its own last lines ("Verify OK" and what was verified)
// before "-- done --".
void PrintLastLinesAsResult(Session& s, size_t count) {
  const std::vector<std::string>& log = s.desk.commandLog();
  if (!s.call.quiet || log.size() < count + 1) return;
  for (size_t i = log.size() - 1 - count; i + 1 < log.size(); ++i) {
    s.desk.PrintResult(log[i].substr(std::min(log[i].size(), kLogStampLength)));
  }
}

int Verify(Session& s) {
  const std::string& path = s.call.arguments[0];
  if (UpperExtension(path) == "PRG") {
    s.desk.PrintError("diskwright-cli: verify: " + path +
                      " is a program file; verify compares the disk with a disk image");
    return kExitWrongCall;
  }
  if (!IsReadableFile(s, path)) return kExitWrongCall;
  s.desk.QueueFile(path);
  const int status = RunMenuCommand(s, kCmdVerifyImage);
  if (status == kExitDone) PrintLastLinesAsResult(s, 2);
  return status;
}

int Restore(Session& s) {
  const std::string& path = s.call.arguments[0];
  static const std::vector<std::string> kRestorable = {"D64", "D71", "D81", "G64", "PRG"};
  const std::string extension = UpperExtension(path);
  if (std::find(kRestorable.begin(), kRestorable.end(), extension) == kRestorable.end()) {
    s.desk.PrintError("diskwright-cli: restore: " + path +
                      ": the type is told by the extension: .d64, .d71, .d81, .g64 or .prg");
    return kExitWrongCall;
  }
  if (!IsReadableFile(s, path)) return kExitWrongCall;
  if (s.call.Has("--format")) {
    s.desk.AnswerQuestion("Resore Image", s.call.Option("--format") == "yes" ? MessageAnswer::kYes
                                                                             : MessageAnswer::kNo);
  }
  if (s.call.Has("--yes")) s.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  s.program.VerifyWritesMark = s.call.Has("--verify");
  s.desk.QueueFile(path);
  const int status = RunMenuCommand(s, kCmdRestoreImage);
  const std::vector<std::string>& log = s.desk.commandLog();
  if (std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.size() > kLogStampLength && line.substr(kLogStampLength) == kRestoreCanceled;
      })) {
    s.desk.PrintError("diskwright-cli: restore: the disk holds files; --yes writes over them");
  }
  return status;
}

int Format(Session& s) {
  s.program.VerifyWritesMark = s.call.Has("--verify");
  s.desk.QueueText(s.call.arguments[0]);
  return RunMenuCommand(s, kCmdFastFormat);
}

int ErrorInfo(Session& s) {
  s.desk.SetLogIsResult(true);
  return RunMenuCommand(s, kCmdErrorInfo);
}

// The GCR tools ask their input as the window asks it.
int Tool(Session& s, int id) {
  s.desk.SetLogIsResult(true);
  return RunMenuCommand(s, id);
}

std::string JoinedArguments(const Session& s) {
  std::string text;
  for (const std::string& word : s.call.arguments) text += (text.empty() ? "" : " ") + word;
  return text;
}

const std::map<std::string, Runner>& Runners() {
  static const std::map<std::string, Runner> runners = {
      {"drives",
       [](Session& s) {
         for (const std::string& device : s.desk.devices()) s.desk.PrintResult(device);
         return kExitDone;
       }},
      {"dir", Directory},
      {"get", Get},
      {"put", Put},
      {"cmd", DosCommand},
      {"status", Status},
      {"create", Create},
      {"create-g64", CreateG64},
      {"verify", Verify},
      {"restore", Restore},
      {"format", Format},
      {"error-info", ErrorInfo},
      {"dump-track",
       [](Session& s) {
         s.desk.QueueText(s.call.arguments[0]);
         return Tool(s, kCmdDumpTrack);
       }},
      {"rpm",
       [](Session& s) {
         const bool series = !s.call.arguments.empty() && s.call.arguments[0] == "500";
         return Tool(s, series ? kCmdRpmAdjust : kCmdRpmCheck);
       }},
      {"dump-rom",
       [](Session& s) {
         AnswerReplace(s);
         s.desk.QueueFile(s.call.arguments[0]);
         return Tool(s, kCmdDumpRom);
       }},
      {"hex2gcr",
       [](Session& s) {
         s.desk.QueueText(JoinedArguments(s));
         return Tool(s, kCmdHexToGcr);
       }},
      {"gcr2hex",
       [](Session& s) {
         s.desk.QueueText(JoinedArguments(s));
         return Tool(s, kCmdGcrToHex);
       }},
  };
  return runners;
}

}  // namespace

int RunCommandOfCall(Session& s) {
  auto found = Runners().find(s.call.command);
  return found == Runners().end() ? kExitWrongCall : found->second(s);
}

bool ImageTargetUsable(Session& s, const std::string& path) {
  std::string reason;
  if (!PcFolderTakesFiles(FolderPart(path), &reason)) {
    const std::string folder = FolderPart(path).empty() ? "." : FolderPart(path);
    s.desk.PrintError("diskwright-cli: " + s.call.command + ": cannot write into " + folder + ": " +
                      reason);
    return false;
  }
  if (s.call.Has("--replace")) return true;
  // A bare name takes the extension of the drive's image type, which a 1571 chooses by the disk.
  std::vector<std::string> names = {path};
  if (UpperExtension(path).empty() && s.call.command == "create-g64") {
    names = {path + ".g64"};
  } else if (UpperExtension(path).empty()) {
    DetectDriveModel(s.program);
    const uint8_t family = s.program.DriveFamily;
    names = {family == kFamily1581 ? path + ".d81" : path + ".d64"};
    if (family == kFamily1571) names.push_back(path + ".d71");
  }
  for (const std::string& name : names) {
    if (PcPathExists(name)) {
      s.desk.PrintError("diskwright-cli: " + s.call.command + ": " + name +
                        " exists; --replace writes over it");
      return false;
    }
  }
  return true;
}

}  // namespace dw::cli
