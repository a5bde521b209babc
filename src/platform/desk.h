#pragma once
// The desk: everything of the main window that the program talks to while it works (log
// pane, status bar, progress bar, device selector, directory list, command bar, check
// marks, message boxes, requesters and the window's events). The Qt window implements it
// for users; a scripted desk implements it for tests.
//
// Texts are byte strings; each byte is the character with the same code (Latin-1), which is
// how the drive's error texts reach the window. The directory list's lines are the drive's
// PETSCII bytes.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dw {

// Menu and command-bar ids share one space.
enum CommandId : int {
  kCmdFastFormat = 24,
  kCmdRpmCheck = 25,
  kCmdRpmAdjust = 26,
  kCmdDumpRom = 27,
  kCmdAbout = 28,
  kCmdQuit = 29,
  kCmdErrorInfo = 30,
  kCmdDirectory = 31,
  kCmdCreateImage = 32,
  kCmdRestoreImage = 33,
  kCmdVerifyImage = 34,
  kCmdDosCommand = 35,
  kCmdDumpTrack = 37,
  kCmdGcrToHex = 38,
  kCmdHexToGcr = 39,
  kCmdFortyTracks = 40,
  kCmdImageErrors = 41,
  // Shows the folder of the kept log; needs no drive.
  kCmdOpenLogFolder = 42,
  kCmdCreateG64 = 43,
  kCmdVerifyWrites = 44,
  // "Retry damaged tracks": Create reads a track with bad sectors again.
  kCmdRetryTracks = 45,
  // The identity of the directory list: a double-click on it dispatches this id.
  kDirectoryListId = 100,
};

enum class EventKind {
  kCommand,               // menu item or command-bar button; id says which
  kResetButton,           // the RESET toggle was clicked
  kDeviceSelected,        // a new selection in the device selector
  kDirectoryDoubleClick,  // left double-click on a line of the directory list
  kCloseRequest,          // the window's close button
  kOther,                 // any other control event
};

struct DeskEvent {
  EventKind kind = EventKind::kOther;
  int id = 0;
};

enum class MessageIcon { kNone, kWarning, kInformation, kQuestion };
enum class MessageButtons { kOk, kYesNo, kYesNoCancel };
// kCancel also stands for a question box closed without a button.
enum class MessageAnswer { kOk, kYes, kNo, kCancel };

struct MessageRequest {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::kNone;
  MessageButtons buttons = MessageButtons::kOk;
  MessageAnswer defaultButton = MessageAnswer::kOk;
};

struct TextRequest {
  std::string title;
  std::string prompt;
  std::string defaultText;
};

struct FileRequest {
  bool saving = false;
  std::string title;     // "Open" or "Save as"
  std::string folder;    // starting folder
  std::string fileName;  // offered name (save only; may be empty)
  // Alternating display names and patterns separated by "|".
  std::string typeList;
  int entry = 0;  // preselected entry of the type list, counted from 0
};

struct FileAnswer {
  std::string path;       // empty when the user cancelled
  int selectedEntry = 0;  // entry of the type list selected when the requester closed
};

// The disk map: one column per track of the layout an operation works on, one cell per sector.
// A cell holds 0 while its sector has not been read or written yet, 1 when it is good, else the
// drive's job code for it (2, 3, 4, 5, 9 and 11 are what a track read finds; $80 a 1581 burst
// status of another format), or kMapDiffers for the sector where a verify found the disk unlike
// the image; kMapRecovered for a sector that read good only when its track was read again.
inline constexpr uint8_t kMapNotRead = 0;
inline constexpr uint8_t kMapGood = 1;
inline constexpr uint8_t kMapDiffers = 0xFF;
inline constexpr uint8_t kMapRecovered = 0xFE;

struct DiskMapLayout {
  std::vector<int> sectorsPerTrack;  // index 0 is track 1
  // The words of each code as the drive's controller names it (the drive family decides).
  std::map<uint8_t, std::string> codeTexts;
  // Which command on which drive the map shows, and when it started.
  std::string caption;
};

class Desk {
 public:
  virtual ~Desk() = default;

  // Log pane: append one line and scroll to the bottom; empty it.
  virtual void AppendLogLine(const std::string& line) = 0;
  virtual void ClearLog() = 0;
  // The "Track GCR" pane.
  virtual void AppendGcrPaneText(const std::string& text) = 0;
  virtual void ClearGcrPane() = 0;

  // Status bar: field 1 text and field 2 progress bar.
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetProgress(int value, int minimum, int maximum) = 0;

  // Events. TakeEvent handles whatever the window system has pending (redraws, resizes)
  // and returns the next event meant for the program, without waiting. WaitEvent waits up
  // to maxMs for one. WaitIdle is the main loop's 1 ms wait: since nothing changes while the
  // program is idle, a real window may sleep there until something happens.
  virtual std::optional<DeskEvent> TakeEvent() = 0;
  virtual std::optional<DeskEvent> WaitEvent(int maxMs) = 0;
  virtual std::optional<DeskEvent> WaitIdle() = 0;

  // The RESET toggle button: down means the user asks to abort.
  virtual bool IsResetDown() = 0;
  virtual void ReleaseReset() = 0;

  // Device selector.
  virtual void ClearDevices() = 0;
  virtual void AddDevice(const std::string& text) = 0;
  virtual int DeviceCount() = 0;
  virtual int SelectedDevice() = 0;  // -1 when none
  virtual std::string DeviceText(int index) = 0;
  virtual void SetDeviceText(int index, const std::string& text) = 0;
  virtual void SelectDevice(int index) = 0;
  virtual void SetDevicesEnabled(bool enabled) = 0;

  // Directory list. A line is the listing line's number, a blank and the line's bytes as the
  // drive sent them (PETSCII, which the desk shows as the computer's screen would); a note is
  // the program's own text after a line (the disk's format after the header). DirectoryLine
  // gives the line's bytes followed by its note.
  virtual void ClearDirectory() = 0;
  virtual void AddDirectoryLine(const std::string& text) = 0;
  virtual int DirectoryCount() = 0;
  virtual std::string DirectoryLine(int index) = 0;
  virtual void SetDirectoryNote(int index, const std::string& note) = 0;
  virtual int SelectedDirectoryLine() = 0;  // -1 when none
  virtual void ClearDirectorySelection() = 0;

  // Command bar (ids 31..35) and the check items of the menu.
  virtual void SetCommandButtonsEnabled(bool enabled) = 0;
  virtual void SetCommandButtonEnabled(int id, bool enabled) = 0;
  virtual void ReleaseCommandButton(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  // The words of a menu item that carries a setting of its own (how many retries); a desk
  // without menus has nothing to show them on.
  virtual void SetItemText(int /*id*/, const std::string& /*text*/) {}

  // Modal boxes and requesters.
  virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;
  // The one-line input requester; nullopt when cancelled. Each typed character comes back as
  // one byte, the low 8 bits of its code (a character whose low 8 bits are 0 gives a $00 byte),
  // as the drive is sent it.
  virtual std::optional<std::string> AskText(const TextRequest& request) = 0;
  virtual FileAnswer ChooseFile(const FileRequest& request) = 0;

  // Releases the window; the program is ending.
  virtual void Close() = 0;

  // Shows a PC folder in the system's file manager; false when nothing could show it.
  virtual bool OpenFolder(const std::string& /*path*/) { return false; }

  // Pictures of the disk. A desk without them ignores these calls. The disk map starts empty
  // with each whole-disk operation and gets a track at a time; what it draws is up to the desk,
  // which must not hold the operation up.
  virtual void StartDiskMap(const DiskMapLayout& /*layout*/) {}
  // The cells of one track, sector 0 first (fewer than its sectors leaves the rest as they are).
  virtual void ShowTrackOnMap(int /*track*/, const std::vector<uint8_t>& /*cells*/) {}
  virtual void ShowSectorOnMap(int /*track*/, int /*sector*/, uint8_t /*cell*/) {}
  // A series of spindle speed measurements: `planned` of them at most, then one call each. The
  // caption says which command on which drive measures, and when it started.
  virtual void StartRpmSeries(int /*planned*/, const std::string& /*caption*/) {}
  virtual void ShowRpm(double /*rpm*/) {}
};

}  // namespace dw
