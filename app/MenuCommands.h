// The player's commands in the window's system menu and its right-click menu.
#pragma once

#include <windows.h>

// Command ids: below 0xF000 and with the low four bits clear, as the system menu needs.
const UINT kOpenFilesCommand = 0x0100;
const UINT kAddFilesCommand = 0x0110;
const UINT kAddFolderCommand = 0x0120;
const UINT kSavePlaylistCommand = 0x0130;
const UINT kAlwaysOnTopCommand = 0x0140;

// WM_CREATE: the commands go below the system menu's own items.
void AddCommandsToSystemMenu(HWND window);
// WM_CONTEXTMENU at a screen point ((-1, -1) from the keyboard): the same commands, unless the
// point is on the overlay's rows. True when the menu was shown.
bool ShowContextMenu(HWND window, LPARAM screenPoint);
// WM_INITMENUPOPUP: the commands that take files in (and the save) are grey while an intake
// runs, and always on top has its check mark.
void UpdateCommandStates(HWND window, HMENU menu);
// Runs the command with this id; false when the id is none of ours. Window thread.
bool RunMenuCommand(HWND window, UINT id);
// Keeps the window above the others, or no longer.
void SetAlwaysOnTop(HWND window, bool onTop);
bool IsAlwaysOnTop(HWND window);
