#include "cli/terminal_desk.h"

#include <algorithm>
#include <array>

#include "cli/interrupt.h"
#include "platform/latin1.h"
#include "platform/terminal.h"

namespace dw::cli {

namespace {

constexpr int kProgressWidth = 40;
// How often a question waiting for its answer looks for Ctrl+C.
constexpr int kAnswerPollMs = 100;

// Indexed by MessageAnswer.
constexpr std::array<const char*, 4> kAnswerNames = {"OK", "Yes", "No", "Cancel"};

std::string AnswerName(MessageAnswer answer) {
  return kAnswerNames.at(static_cast<size_t>(answer));
}

// The lists of the desk: an index outside reads as an empty text and writes nothing.
std::string ItemAt(const std::vector<std::string>& items, int index) {
  return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<size_t>(index)]
                                                              : std::string();
}

void SetItemAt(std::vector<std::string>& items, int index, const std::string& text) {
  if (index >= 0 && index < static_cast<int>(items.size()))
    items[static_cast<size_t>(index)] = text;
}

// Boxes break their lines with CR LF; one terminal line reads better.
std::string OneLine(std::string text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line.push_back(c == '\n' ? ' ' : c);
  }
  return line;
}

}  // namespace

TerminalDesk::TerminalDesk(Clock& clock, bool quiet)
    : clock_(clock), quiet_(quiet), progressShown_(!quiet && StandardErrorIsTerminal()) {}

void TerminalDesk::SetConnecting(bool connecting, int giveUpAfterMs) {
  connecting_ = connecting;
  giveUpAfterMs_ = giveUpAfterMs;
  waitedMs_ = 0;
}

void TerminalDesk::BeginCommand() {
  problemShown_ = false;
  requesterCancelled_ = false;
  commandLog_.clear();
  statusText_.clear();
}

bool TerminalDesk::interrupted() const {
  return InterruptCount() > 0;
}

void TerminalDesk::PrintResult(const std::string& text) {
  PrintUtf8Result(Latin1ToUtf8(text));
}

void TerminalDesk::PrintUtf8Result(const std::string& text) {
  ClearProgressLine();
  std::fputs((text + "\n").c_str(), stdout);
  std::fflush(stdout);
  DrawProgressLine();
}

void TerminalDesk::PrintError(const std::string& text) {
  ClearProgressLine();
  std::fflush(stdout);
  std::fputs((Latin1ToUtf8(text) + "\n").c_str(), stderr);
  DrawProgressLine();
}

void TerminalDesk::AppendLogLine(const std::string& line) {
  commandLog_.push_back(line);
  const bool closing = line.find("-- done --") != std::string::npos ||
                       line.find("-- aborted --") != std::string::npos;
  if (!quiet_ || (logIsResult_ && !closing)) PrintResult(line);
}

void TerminalDesk::AppendGcrPaneText(const std::string& text) {
  ClearProgressLine();
  std::fputs(Latin1ToUtf8(text).c_str(), stdout);
  if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
  std::fflush(stdout);
  DrawProgressLine();
}

// The status text stands beside the bar, as in the window's status bar: it tells what the
// drive does while the bar waits ("Formatting 80 tracks: 0:23 of about 1:04").
void TerminalDesk::SetStatusText(const std::string& text) {
  statusText_ = text;
  DrawProgressLine();
}

void TerminalDesk::SetProgress(int value, int minimum, int maximum) {
  progressValue_ = std::max(0, value - minimum + 1);
  progressMaximum_ = std::max(0, maximum - minimum + 1);
  if (value <= 0) {
    ClearProgressLine();
    progressValue_ = 0;
    return;
  }
  DrawProgressLine();
}

void TerminalDesk::ClearProgressLine() {
  if (!progressDrawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressDrawn_ = false;
}

void TerminalDesk::DrawProgressLine() {
  if (!progressShown_ || progressValue_ <= 0 || progressMaximum_ <= 0) return;
  const int done = std::min(kProgressWidth, progressValue_ * kProgressWidth / progressMaximum_);
  std::string bar = "\r[" + std::string(static_cast<size_t>(done), '#') +
                    std::string(static_cast<size_t>(kProgressWidth - done), '-') + "] " +
                    std::to_string(progressValue_) + "/" + std::to_string(progressMaximum_) +
                    (statusText_.empty() ? "" : "  " + Latin1ToUtf8(statusText_)) + "\033[K";
  std::fputs(bar.c_str(), stderr);
  std::fflush(stderr);
  progressDrawn_ = true;
}

std::optional<DeskEvent> TerminalDesk::WaitEvent(int maxMs) {
  clock_.SleepMs(maxMs);
  // Ctrl+C ends a wait as the window's close button does; the exchange wait never gets here.
  if (InterruptCount() > resetAcknowledged_) return DeskEvent{EventKind::kCloseRequest, 0};
  if (connecting_) {
    waitedMs_ += maxMs;
    if (waitedMs_ >= giveUpAfterMs_) return DeskEvent{EventKind::kCloseRequest, 0};
  }
  return std::nullopt;
}

bool TerminalDesk::IsResetDown() {
  return InterruptCount() > resetAcknowledged_;
}

void TerminalDesk::ReleaseReset() {
  resetAcknowledged_ = InterruptCount();
}

void TerminalDesk::ClearDevices() {
  devices_.clear();
  selectedDevice_ = -1;
}

std::string TerminalDesk::DeviceText(int index) {
  return ItemAt(devices_, index);
}

void TerminalDesk::SetDeviceText(int index, const std::string& text) {
  SetItemAt(devices_, index, text);
}

void TerminalDesk::ClearDirectory() {
  directory_.clear();
  directoryNotes_.clear();
  selectedDirectory_ = -1;
}

void TerminalDesk::AddDirectoryLine(const std::string& text) {
  directory_.push_back(text);
  directoryNotes_.emplace_back();
}

std::string TerminalDesk::DirectoryLine(int index) {
  return ItemAt(directory_, index) + ItemAt(directoryNotes_, index);
}

std::string TerminalDesk::directoryNote(int index) const {
  return ItemAt(directoryNotes_, index);
}

void TerminalDesk::SetDirectoryNote(int index, const std::string& note) {
  SetItemAt(directoryNotes_, index, note);
}

MessageAnswer TerminalDesk::ShowMessage(const MessageRequest& request) {
  if (request.buttons == MessageButtons::kOk) {
    // The program's own boxes ("Diskwright") report a problem; others warn and go on.
    if (request.caption == "Diskwright") problemShown_ = true;
    PrintBox(request.caption, request.text);
    return MessageAnswer::kOk;
  }
  auto given = questions_.find(request.caption);
  if (given != questions_.end()) {
    PrintError(request.caption + ": " + OneLine(request.text) + " " + AnswerName(given->second));
    return given->second;
  }
  if (terminal_ >= 0 && request.buttons == MessageButtons::kYesNo) return AskOnTerminal(request);
  PrintError(request.caption + ": " + OneLine(request.text) + " " +
             AnswerName(request.defaultButton) + " (the default: no option answers it)");
  return request.defaultButton;
}

MessageAnswer TerminalDesk::AskOnTerminal(const MessageRequest& request) {
  const bool yesByDefault = request.defaultButton == MessageAnswer::kYes;
  ClearProgressLine();
  std::fflush(stdout);
  std::fputs(Latin1ToUtf8(request.caption + ": " + OneLine(request.text) +
                          (yesByDefault ? " [Y/n] " : " [y/N] "))
                 .c_str(),
             stderr);
  std::fflush(stderr);
  MessageAnswer answer = request.defaultButton;
  // Ctrl+C at the question keeps the default, as does an empty line or the input's end.
  const int interruptsBefore = InterruptCount();
  for (;;) {
    if (InterruptCount() > interruptsBefore) {
      std::fputc('\n', stderr);
      break;
    }
    const std::optional<std::string> typed = TypedWithin(terminal_, kAnswerPollMs);
    if (!typed) continue;
    if (typed->empty()) {
      std::fputc('\n', stderr);
    } else if ((*typed)[0] == 'y' || (*typed)[0] == 'Y') {
      answer = MessageAnswer::kYes;
    } else if ((*typed)[0] == 'n' || (*typed)[0] == 'N') {
      answer = MessageAnswer::kNo;
    }
    break;
  }
  DrawProgressLine();
  return answer;
}

void TerminalDesk::PrintBox(const std::string& caption, const std::string& text) {
  // A box of paragraphs (a report) keeps its lines; a short one reads better as one line.
  if (text.find("\r\n\r\n") == std::string::npos) {
    PrintError(caption + ": " + OneLine(text));
    return;
  }
  std::string lines = caption + ": ";
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = text.substr(start, end - start);
    lines += line + "\n" + (text.compare(end + 2, 2, "\r\n") == 0 ? "" : "  ");
  }
  PrintError(lines + text.substr(start));
}

std::optional<std::string> TerminalDesk::AskText(const TextRequest& request) {
  if (!texts_.empty()) {
    std::string text = texts_.front();
    texts_.pop_front();
    return text;
  }
  if (request.defaultText.empty()) {
    requesterCancelled_ = true;
    PrintError(request.title + ": " + request.prompt + " no answer given, cancelled");
    return std::nullopt;
  }
  PrintError(request.title + ": " + request.prompt + " no answer given, taking the default \"" +
             request.defaultText + "\"");
  return request.defaultText;
}

FileAnswer TerminalDesk::ChooseFile(const FileRequest& request) {
  FileAnswer answer;
  // Typed names keep their extension; entry 0 adds the image type to a bare one.
  answer.selectedEntry = request.entry;
  if (!files_.empty()) {
    answer.path = files_.front();
    files_.pop_front();
    if (answer.path.empty() && !request.fileName.empty()) {
      answer.path = request.folder + "/" + request.fileName;
    }
  }
  if (answer.path.empty()) {
    requesterCancelled_ = true;
    PrintError(request.title + ": no file given, cancelled");
  }
  return answer;
}

}  // namespace dw::cli
