// Resource and command ids shared by Kanasift.rc and the code. Plain #defines only, so
// that the resource compiler and the platform-free code can both read this file.
#pragma once

#define IDI_APP 100          // the program's own icon (16x16 and 32x32)
#define IDR_TRAY_MENU 101    // the tray menu; its sub-menu 0 is shown
#define IDD_INPUT_DIALOG 401 // the input dialog template

// Tray pictures: prefix-match set 200-203; the partial-match set is 100 higher.
#define IDI_TRAY_ENABLED 200
#define IDI_TRAY_DISABLED 201
#define IDI_TRAY_NOT_IN_USE 202
#define IDI_TRAY_FORCE_ENABLED 203
#define IDI_TRAY_PARTIAL_OFFSET 100

#define IDS_VERSION 2000

// Tray menu commands.
#define ID_CMD_USE 1000
#define ID_CMD_FORCE_ENABLE 1001
#define ID_CMD_KEEP_ALIVE_DICT 1002
#define ID_CMD_PARTIAL_MATCH 1003
#define ID_CMD_USE_TOOLTIP 1004
#define ID_CMD_ANIMATE_TOOLTIP 1005
#define ID_CMD_CHECK_BY_SPACE 1006
#define ID_CMD_VERSION 1007
#define ID_CMD_SHORTCUT_LIST 1008
#define ID_CMD_SPOTTER 1009
#define ID_CMD_REMOVE_ICON 1010
#define ID_CMD_EXIT 1011
#define ID_CMD_FIRST ID_CMD_USE
#define ID_CMD_LAST ID_CMD_EXIT
// Added later, outside the range above, so that no id there changes its meaning.
#define ID_CMD_START_WITH_WINDOWS 1020
