#pragma once
// The desk of the command-line program: the log goes to standard output as it is written,
// message boxes and the progress bar to standard error, and the requesters and questions are
// answered from the command's arguments (what the arguments leave open takes the default and
// says so). Ctrl+C stands for the RESET toggle.

#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desk.h"

namespace dw::cli {

class TerminalDesk final : public Desk {
 public:
  TerminalDesk(Clock& clock, bool quiet);

  // --- answers the command's arguments give -------------------------------------------
  void QueueText(std::string text) { texts_.push_back(std::move(text)); }
  // An empty path takes the name the save requester offers, in the current folder.
  void QueueFile(std::string path) { files_.push_back(std::move(path)); }
  // The answer to the question box with this title.
  void AnswerQuestion(const std::string& title, MessageAnswer answer) {
    questions_[title] = answer;
  }
  // Questions no option answers are put to the user at this terminal (a file descriptor;
  // -1: none, they take their default).
  void AskAt(int terminal) { terminal_ = terminal; }
  // While connecting, a wait that has gone on for this long in all ends like the window's
  // close button: no drive has answered.
  void SetConnecting(bool connecting, int giveUpAfterMs);

  // --- one command ------------------------------------------------------------------
  // Forgets what the last command showed.
  void BeginCommand();
  // For commands whose log lines are their result (tables, dumps, conversions): --quiet then
  // keeps them, all but the closing line.
  void SetLogIsResult(bool logIsResult) { logIsResult_ = logIsResult; }
  // A box reporting a problem (a file that cannot be read or written, a size that does not
  // match, a failed verify) or a requester left unanswered was shown since BeginCommand.
  bool problemShown() const { return problemShown_; }
  bool requesterCancelled() const { return requesterCancelled_; }
  // The log lines since BeginCommand, as written (with their stamps).
  const std::vector<std::string>& commandLog() const { return commandLog_; }
  const std::string& statusText() const { return statusText_; }
  const std::vector<std::string>& devices() const { return devices_; }
  // The directory list's lines as the drive sent them, and the program's note after each.
  const std::vector<std::string>& directory() const { return directory_; }
  std::string directoryNote(int index) const;
  void SelectDirectoryLine(int index) { selectedDirectory_ = index; }
  bool interrupted() const;

  // Results always reach standard output, also with --quiet; errors standard error.
  void PrintResult(const std::string& text);
  // A result that is UTF-8 already.
  void PrintUtf8Result(const std::string& text);
  void PrintError(const std::string& text);

  // --- Desk -------------------------------------------------------------------------
  void AppendLogLine(const std::string& line) override;
  void ClearLog() override {}
  void AppendGcrPaneText(const std::string& text) override;
  void ClearGcrPane() override {}
  void SetStatusText(const std::string& text) override;
  void SetProgress(int value, int minimum, int maximum) override;
  std::optional<DeskEvent> TakeEvent() override { return std::nullopt; }
  std::optional<DeskEvent> WaitEvent(int maxMs) override;
  std::optional<DeskEvent> WaitIdle() override { return DeskEvent{EventKind::kCloseRequest, 0}; }
  bool IsResetDown() override;
  void ReleaseReset() override;
  void ClearDevices() override;
  void AddDevice(const std::string& text) override { devices_.push_back(text); }
  int DeviceCount() override { return static_cast<int>(devices_.size()); }
  int SelectedDevice() override { return selectedDevice_; }
  std::string DeviceText(int index) override;
  void SetDeviceText(int index, const std::string& text) override;
  void SelectDevice(int index) override { selectedDevice_ = index; }
  void SetDevicesEnabled(bool) override {}
  void ClearDirectory() override;
  void AddDirectoryLine(const std::string& text) override;
  int DirectoryCount() override { return static_cast<int>(directory_.size()); }
  std::string DirectoryLine(int index) override;
  void SetDirectoryNote(int index, const std::string& note) override;
  int SelectedDirectoryLine() override { return selectedDirectory_; }
  void ClearDirectorySelection() override { selectedDirectory_ = -1; }
  void SetCommandButtonsEnabled(bool) override {}
  void SetCommandButtonEnabled(int, bool) override {}
  void ReleaseCommandButton(int) override {}
  void SetChecked(int, bool) override {}
  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> AskText(const TextRequest& request) override;
  FileAnswer ChooseFile(const FileRequest& request) override;
  void Close() override { ClearProgressLine(); }

 private:
  void ClearProgressLine();
  void DrawProgressLine();
  void PrintBox(const std::string& caption, const std::string& text);
  MessageAnswer AskOnTerminal(const MessageRequest& request);

  Clock& clock_;
  const bool quiet_;
  const bool progressShown_;
  std::deque<std::string> texts_;
  std::deque<std::string> files_;
  std::map<std::string, MessageAnswer> questions_;
  int terminal_ = -1;
  bool logIsResult_ = false;
  bool connecting_ = false;
  int giveUpAfterMs_ = 0;
  int waitedMs_ = 0;
  int resetAcknowledged_ = 0;

  bool problemShown_ = false;
  bool requesterCancelled_ = false;
  std::vector<std::string> commandLog_;
  std::string statusText_;
  std::vector<std::string> devices_;
  int selectedDevice_ = -1;
  std::vector<std::string> directory_;
  std::vector<std::string> directoryNotes_;
  int selectedDirectory_ = -1;
  int progressValue_ = 0;
  int progressMaximum_ = 0;
  bool progressDrawn_ = false;
};

// A log line as written starts with its stamp, "hh:mm:ss ".
inline constexpr size_t kLogStampLength = 9;

}  // namespace dw::cli
