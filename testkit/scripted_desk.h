#pragma once
// A desk without a window: it records everything the program shows (log lines, status
// texts, progress, message boxes, requesters) and plays back the user's actions at set
// virtual times, answering boxes and requesters from queues. Used by the tests and the
// scenario runner to run the real main loop and commands headless.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desk.h"

namespace dw {

class ScriptedDesk final : public Desk {
 public:
  explicit ScriptedDesk(VirtualClock& clock) : clock_(clock) {}

  // --- the script -------------------------------------------------------------------
  // An event that becomes pending at the given virtual time (microseconds).
  void ScheduleEvent(int64_t atUs, DeskEvent event);
  void ScheduleCommand(int64_t atUs, int id) { ScheduleEvent(atUs, {EventKind::kCommand, id}); }
  // An event the user makes once the program is idle again (after the running command has
  // ended) and not before notBeforeUs: released one at a time by the main loop's idle wait, in
  // order; timed events due before it come first.
  void QueueIdleEvent(DeskEvent event, int64_t notBeforeUs = 0) {
    idleEvents_.push_back({notBeforeUs, event});
  }
  void QueueCommand(int id) { QueueIdleEvent({EventKind::kCommand, id}); }
  // Answers, used in order; when a queue is empty a box takes its default button and a
  // requester is cancelled.
  void QueueMessageAnswer(MessageAnswer answer) { messageAnswers_.push_back(answer); }
  // The answer to every question with this caption, ahead of the queue (the user who restores
  // over a disk of files means to).
  void AnswerQuestion(const std::string& caption, MessageAnswer answer) {
    standingAnswers_[caption] = answer;
  }
  void QueueText(std::optional<std::string> text) { textAnswers_.push_back(std::move(text)); }
  void QueueFile(std::string path, int selectedEntry = -1) {
    fileAnswers_.push_back({std::move(path), selectedEntry});
  }
  // Something the user does while the next box or file requester is open (changing the disk in
  // the drive, say), in order: one action for each box or requester shown.
  void QueueWhileAsked(std::function<void()> action) { whileAsked_.push_back(std::move(action)); }
  // Something the user does as the disk map shows a track (pulling the disk out as the last
  // track comes up, say); once.
  void WhenTrackShown(int track, std::function<void()> action) {
    trackShownActions_[track] = std::move(action);
  }
  // Selects a directory line as a click would (the double-click event is scheduled apart).
  void SelectDirectoryLine(int index) { selectedDirectory_ = index; }
  void PressReset() { resetDown_ = true; }

  // --- what was shown ---------------------------------------------------------------
  struct ShownMessage {
    MessageRequest request;
    MessageAnswer answer;
  };
  struct ShownFileRequest {
    FileRequest request;
    FileAnswer answer;
  };
  // Once no event is left the main loop's idle wait sees a close request; past one virtual
  // hour every wait does, so a program that would wait for ever (no adapter answering, no
  // drive powered) still ends.
  static constexpr int64_t kTimeLimitUs = int64_t{3600} * 1000000;

  const std::vector<std::string>& log() const { return log_; }
  // The log pane's lines without their "hh:mm:ss " stamps.
  std::vector<std::string> logTexts() const;
  // Whether any line since the start, across reconnections, reads `text` after its stamp.
  bool Logged(const std::string& text) const;
  // Everything shown, in order: "LOG ...", "STATUS ...", "BOX ...", "ASK ...", "FILE ...".
  const std::vector<std::string>& transcript() const { return transcript_; }
  // Every log line since the program started, across reconnections (which empty the pane).
  const std::vector<std::string>& fullLog() const { return fullLog_; }
  std::vector<std::string> fullLogTexts() const;
  const std::vector<std::string>& statusTexts() const { return statusTexts_; }
  // The virtual time each status text was shown at, in the order of statusTexts().
  const std::vector<int64_t>& statusTimesUs() const { return statusTimesUs_; }
  const std::string& statusText() const { return statusText_; }
  int progressValue() const { return progressValue_; }
  int progressMaximum() const { return progressMaximum_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<TextRequest>& textRequests() const { return textRequests_; }
  const std::vector<ShownFileRequest>& fileRequests() const { return fileRequests_; }
  const std::vector<std::string>& devices() const { return devices_; }
  // The directory list's lines, each with its note.
  const std::vector<std::string>& directory() const { return directory_; }
  const std::string& gcrPane() const { return gcrPane_; }
  bool devicesEnabled() const { return devicesEnabled_; }
  bool commandButtonsEnabled() const { return commandButtonsEnabled_; }
  bool checked(int id) const;
  // The words a menu item was last given; empty when never.
  std::string itemText(int id) const { return itemTexts_.count(id) ? itemTexts_.at(id) : ""; }
  bool closed() const { return closed_; }
  // The folders the program had shown in a file manager.
  const std::vector<std::string>& openedFolders() const { return openedFolders_; }
  bool resetDown() const { return resetDown_; }
  size_t pendingEvents() const { return events_.size() + idleEvents_.size(); }
  // The disk map as the last operation left it: one vector of cells per track (index 0 is
  // track 1), and how often it was started and how many track calls it got since.
  const DiskMapLayout& diskMapLayout() const { return diskMapLayout_; }
  const std::vector<std::vector<uint8_t>>& diskMap() const { return diskMap_; }
  int diskMapStarts() const { return diskMapStarts_; }
  int trackMapCalls() const { return trackMapCalls_; }
  // The speeds of the last RPM series and the number it planned.
  const std::vector<double>& rpmValues() const { return rpmValues_; }
  int rpmPlanned() const { return rpmPlanned_; }
  const std::string& rpmCaption() const { return rpmCaption_; }

  // --- Desk -------------------------------------------------------------------------
  void AppendLogLine(const std::string& line) override;
  void ClearLog() override { log_.clear(); }
  void AppendGcrPaneText(const std::string& text) override { gcrPane_ += text; }
  void ClearGcrPane() override { gcrPane_.clear(); }
  void SetStatusText(const std::string& text) override;
  void SetProgress(int value, int minimum, int maximum) override;
  std::optional<DeskEvent> TakeEvent() override;
  std::optional<DeskEvent> WaitEvent(int maxMs) override;
  std::optional<DeskEvent> WaitIdle() override;
  bool IsResetDown() override { return resetDown_; }
  void ReleaseReset() override { resetDown_ = false; }
  void ClearDevices() override;
  void AddDevice(const std::string& text) override { devices_.push_back(text); }
  int DeviceCount() override { return static_cast<int>(devices_.size()); }
  int SelectedDevice() override { return selectedDevice_; }
  std::string DeviceText(int index) override;
  void SetDeviceText(int index, const std::string& text) override;
  void SelectDevice(int index) override;
  void SetDevicesEnabled(bool enabled) override { devicesEnabled_ = enabled; }
  void ClearDirectory() override;
  void AddDirectoryLine(const std::string& text) override;
  int DirectoryCount() override { return static_cast<int>(directory_.size()); }
  std::string DirectoryLine(int index) override;
  void SetDirectoryNote(int index, const std::string& note) override;
  int SelectedDirectoryLine() override { return selectedDirectory_; }
  void ClearDirectorySelection() override { selectedDirectory_ = -1; }
  void SetCommandButtonsEnabled(bool enabled) override { commandButtonsEnabled_ = enabled; }
  void SetCommandButtonEnabled(int, bool) override {}
  void ReleaseCommandButton(int) override {}
  void SetChecked(int id, bool value) override { checked_[id] = value; }
  void SetItemText(int id, const std::string& text) override { itemTexts_[id] = text; }
  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> AskText(const TextRequest& request) override;
  FileAnswer ChooseFile(const FileRequest& request) override;
  void Close() override { closed_ = true; }
  bool OpenFolder(const std::string& path) override {
    openedFolders_.push_back(path);
    return true;
  }
  void StartDiskMap(const DiskMapLayout& layout) override;
  void ShowTrackOnMap(int track, const std::vector<uint8_t>& cells) override;
  void ShowSectorOnMap(int track, int sector, uint8_t cell) override;
  void StartRpmSeries(int planned, const std::string& caption) override {
    rpmPlanned_ = planned;
    rpmCaption_ = caption;
    rpmValues_.clear();
  }
  void ShowRpm(double rpm) override { rpmValues_.push_back(rpm); }

 private:
  void RunWhileAsked();
  struct Timed {
    int64_t atUs;
    DeskEvent event;
  };
  std::optional<DeskEvent> Deliver();

  VirtualClock& clock_;
  std::deque<Timed> events_;
  std::deque<Timed> idleEvents_;  // atUs: not before then
  std::vector<std::string> transcript_;
  std::deque<MessageAnswer> messageAnswers_;
  std::map<std::string, MessageAnswer> standingAnswers_;
  std::deque<std::optional<std::string>> textAnswers_;
  std::deque<FileAnswer> fileAnswers_;
  std::deque<std::function<void()>> whileAsked_;
  std::map<int, std::function<void()>> trackShownActions_;
  bool limitCloseTaken_ = false;

  std::vector<std::string> log_;
  std::vector<std::string> fullLog_;
  std::vector<std::string> statusTexts_;
  std::vector<int64_t> statusTimesUs_;
  std::string statusText_;
  int progressValue_ = 0;
  int progressMaximum_ = 0;
  std::vector<ShownMessage> messages_;
  std::vector<TextRequest> textRequests_;
  std::vector<ShownFileRequest> fileRequests_;
  std::vector<std::string> devices_;
  int selectedDevice_ = -1;
  std::vector<std::string> directory_;       // each line with its note
  std::vector<std::string> directoryBytes_;  // as the drive sent them
  int selectedDirectory_ = -1;
  std::string gcrPane_;
  std::map<int, bool> checked_;
  std::map<int, std::string> itemTexts_;
  bool devicesEnabled_ = true;
  bool commandButtonsEnabled_ = true;
  bool resetDown_ = false;
  bool closed_ = false;
  std::vector<std::string> openedFolders_;
  DiskMapLayout diskMapLayout_;
  std::vector<std::vector<uint8_t>> diskMap_;
  int diskMapStarts_ = 0;
  int trackMapCalls_ = 0;
  std::vector<double> rpmValues_;
  int rpmPlanned_ = 0;
  std::string rpmCaption_;
};

}  // namespace dw
