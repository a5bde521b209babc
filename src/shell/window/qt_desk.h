#pragma once
// The desk of the real program: the Qt main window behind the Desk interface. The program
// runs its own loop; TakeEvent, WaitEvent and WaitIdle let Qt handle what is pending and hand
// back the events that the window's controls queued (menu items, command-bar clicks, RESET,
// a device chosen by the user, a double-click in the directory list, the close request).

#include <QElapsedTimer>
#include <QTimer>
#include <deque>
#include <memory>

#include "platform/desk.h"
#include "shell/window/main_window.h"

namespace dw {

class QtDesk final : public Desk {
 public:
  QtDesk();
  ~QtDesk() override;
  QtDesk(const QtDesk&) = delete;
  QtDesk& operator=(const QtDesk&) = delete;

  MainWindow& window() { return *window_; }

  void AppendLogLine(const std::string& line) override;
  void ClearLog() override;
  void AppendGcrPaneText(const std::string& text) override;
  void ClearGcrPane() override;

  void SetStatusText(const std::string& text) override;
  void SetProgress(int value, int minimum, int maximum) override;

  std::optional<DeskEvent> TakeEvent() override;
  std::optional<DeskEvent> WaitEvent(int maxMs) override;
  std::optional<DeskEvent> WaitIdle() override;

  bool IsResetDown() override;
  void ReleaseReset() override;

  void ClearDevices() override;
  void AddDevice(const std::string& text) override;
  int DeviceCount() override;
  int SelectedDevice() override;
  std::string DeviceText(int index) override;
  void SetDeviceText(int index, const std::string& text) override;
  void SelectDevice(int index) override;
  void SetDevicesEnabled(bool enabled) override;

  void ClearDirectory() override;
  void AddDirectoryLine(const std::string& text) override;
  int DirectoryCount() override;
  std::string DirectoryLine(int index) override;
  void SetDirectoryNote(int index, const std::string& note) override;
  int SelectedDirectoryLine() override;
  void ClearDirectorySelection() override;

  void SetCommandButtonsEnabled(bool enabled) override;
  void SetCommandButtonEnabled(int id, bool enabled) override;
  void ReleaseCommandButton(int id) override;
  void SetChecked(int id, bool checked) override;
  void SetItemText(int id, const std::string& text) override;

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> AskText(const TextRequest& request) override;
  FileAnswer ChooseFile(const FileRequest& request) override;

  void Close() override;
  bool OpenFolder(const std::string& path) override;

  void StartDiskMap(const DiskMapLayout& layout) override;
  void ShowTrackOnMap(int track, const std::vector<uint8_t>& cells) override;
  void ShowSectorOnMap(int track, int sector, uint8_t cell) override;
  void StartRpmSeries(int planned, const std::string& caption) override;
  void ShowRpm(double rpm) override;

 private:
  void Queue(EventKind kind, int id = 0) { events_.push_back({kind, id}); }
  std::optional<DeskEvent> Next();
  // Lines logged in a burst are painted together: a repaint of the pane costs several times an
  // append, and a command may log thousands of lines.
  void HoldLogPaint();
  void ReleaseLogPaint(bool now);

  // Declared before the window, so that the window (whose signals fill the queue) goes first.
  std::deque<DeskEvent> events_;
  QTimer waitTimer_;
  bool waitExpired_ = false;
  QElapsedTimer sinceLogPaint_;
  bool logPaintHeld_ = false;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace dw
