// Test helpers for windows the player opens: dialogs, their texts, the main window, processes.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// A top-level dialog (class #32770) of this process with the given title, waiting up to timeoutMs
// while pumping this thread's messages; null when none appeared.
HWND WaitForDialog(const wchar_t* title, int timeoutMs);
// The same from a thread that must not pump (a watcher while the window thread sits in a modal loop).
HWND WaitForDialogNoPump(const wchar_t* title, int timeoutMs);
// Texts of every child window of a dialog, in Z order.
std::vector<std::wstring> DialogTexts(HWND dialog);
bool HasText(const std::vector<std::wstring>& texts, const std::wstring& text);
// Presses OK and waits for the dialog to go.
void CloseDialog(HWND dialog);
// Closes every dialog of this process that is open now.
void CloseAllDialogs();
// The title a task dialog shows when none is given: the executable's file name.
std::wstring ExecutableFileName();

// Creates the player's main window in this process, as the program's start does.
HWND CreatePlayerWindow();
// Destroys it (runs the teardown) and drains the quit message it posts.
void DestroyPlayerWindow(HWND window);

struct ProcessResult {
    bool finished = false;
    DWORD exitCode = 0;
};
// Starts a process with the given command line; the handle is closed by WaitForProcess.
HANDLE StartProcess(const std::string& commandLine);
// Waits (pumping messages) for it to end; kills it after the timeout.
ProcessResult WaitForProcess(HANDLE process, int timeoutMs);
