#pragma once
// The main window's fixed contents as data: the menus with their items and ids, the buttons
// of the command bar, and the fonts. The window is built from these tables alone.

#include <array>
#include <span>

#include "platform/desk.h"

namespace dw {

// A menu entry; id 0 is a separator.
struct MenuItemSpec {
  int id;
  const char* text;
  bool checkItem;
};

struct MenuSpec {
  const char* title;
  const char* objectName;
  std::span<const MenuItemSpec> items;
};

inline constexpr MenuItemSpec kSeparator{0, "", false};

inline constexpr std::array kFileMenuItems{
    MenuItemSpec{kCmdRestoreImage, "Restore disk image", false},
    MenuItemSpec{kCmdCreateImage, "Create disk image", false},
    MenuItemSpec{kCmdCreateG64, "Create G64 image", false},
    MenuItemSpec{kCmdVerifyImage, "Verify disk image", false},
    kSeparator,
    MenuItemSpec{kCmdQuit, "Quit", false},
};

// The separator at the top of this menu belongs to the layout.
inline constexpr std::array kDiskMenuItems{
    kSeparator,
    MenuItemSpec{kCmdFortyTracks, "Enable 40 tracks", true},
    MenuItemSpec{kCmdImageErrors, "Enable image errors", true},
    MenuItemSpec{kCmdRetryTracks, "Retry damaged tracks", true},
    MenuItemSpec{kCmdVerifyWrites, "Verify after writing", true},
    kSeparator,
    MenuItemSpec{kCmdFastFormat, "Fast Format", false},
    MenuItemSpec{kCmdDosCommand, "DOS command", false},
};

// Items that change only what the window shows; the program never hears of them, and the
// window keeps nothing of them between runs.
inline constexpr int kViewLowerCase = 200;
inline constexpr bool IsWindowOnly(int id) {
  return id == kViewLowerCase;
}

inline constexpr std::array kViewMenuItems{
    MenuItemSpec{kViewLowerCase, "Lower case characters", true},
};

inline constexpr std::array kToolsMenuItems{
    MenuItemSpec{kCmdRpmCheck, "RPM check", false},
    MenuItemSpec{kCmdRpmAdjust, "RPM adjust", false},
    MenuItemSpec{kCmdDumpTrack, "Dump track", false},
    MenuItemSpec{kCmdDumpRom, "Dump ROM", false},
    kSeparator,
    MenuItemSpec{kCmdGcrToHex, "GCR -> HEX", false},
    MenuItemSpec{kCmdHexToGcr, "HEX -> GCR", false},
};

inline constexpr std::array kInfoMenuItems{
    MenuItemSpec{kCmdErrorInfo, "Error info", false},
    MenuItemSpec{kCmdOpenLogFolder, "Open log folder", false},
    kSeparator,
    MenuItemSpec{kCmdAbout, "About", false},
};

inline constexpr std::array kMenus{
    MenuSpec{"File", "menuFile", kFileMenuItems},    MenuSpec{"Disk", "menuDisk", kDiskMenuItems},
    MenuSpec{"Tools", "menuTools", kToolsMenuItems}, MenuSpec{"Info", "menuInfo", kInfoMenuItems},
    MenuSpec{"View", "menuView", kViewMenuItems},
};

// The command bar's toggle buttons, left to right. The blanks in the labels pad them to one
// width; the tooltip of 33 is spelt as the users know it.
struct CommandButtonSpec {
  int id;
  const char* label;
  const char* toolTip;
};

inline constexpr std::array kCommandButtons{
    CommandButtonSpec{kCmdDirectory, "LOAD \"$\"", "Directory "},
    CommandButtonSpec{kCmdCreateImage, "  Create  ", "Create Disk Image"},
    CommandButtonSpec{kCmdRestoreImage, "  Restore ", "Resore Disk Image"},
    CommandButtonSpec{kCmdVerifyImage, "  Verify  ", "Verify Disk <-> Image"},
    CommandButtonSpec{kCmdDosCommand, "    CMD   ", "Send DOS Command"},
};

// Fonts by face and size; where a face is missing the window system's fallback stands in.
struct FontSpec {
  const char* face;
  int pointSize;
  bool bold;
};

inline constexpr FontSpec kSelectorFont{"Microsoft Sans Serif", 12, false};
inline constexpr FontSpec kListFont{"Consolas", 12, true};
inline constexpr FontSpec kPaneFont{"Consolas", 10, false};

}  // namespace dw
