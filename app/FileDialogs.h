// The common item dialogs the menu opens: files or a folder to take in, and a name to save the list as.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class PickMode { Files, Folder };

// Shows the open dialog (several files, or one folder) and returns what the user chose as full
// paths; empty when the dialog was cancelled or could not be shown. Window thread.
std::vector<std::wstring> PickPaths(HWND owner, PickMode mode, const wchar_t* title);

// Shows the save dialog for a playlist (.m3u8 by default); "" when cancelled. Window thread.
std::wstring PickSavePath(HWND owner);
