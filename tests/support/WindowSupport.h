// Test helpers for windows the player opens: dialogs, their texts, the main window, processes.
#pragma once

#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

// A top-level dialog (class #32770) of this process with the given title, waiting up to timeoutMs
// while pumping this thread's messages; null when none appeared.
HWND WaitForDialog(const wchar_t* title, int timeoutMs);
// The same from a thread that must not pump (a watcher while the window thread sits in a modal loop).
HWND WaitForDialogNoPump(const wchar_t* title, int timeoutMs);
// Texts of every child window of a dialog, in Z order.
std::vector<std::wstring> DialogTexts(HWND dialog);
// The visible child of a window whose text is exactly text, waiting up to timeoutMs while pumping
// this thread's messages; null when none came. Wine makes a task dialog's controls one by one, so
// a test waits for the control it needs rather than for a number of children.
HWND WaitForControl(HWND dialog, const wchar_t* text, int timeoutMs);
// The texts of a task dialog once it is complete (its OK button is there); empty when it never is.
std::vector<std::wstring> ReadTaskDialog(HWND dialog);
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
// Waits until the start worker has finished every start asked for, then handles what it posted
// (and nothing else); false when it was still busy after timeoutMs.
bool WaitForStarts(int timeoutMs = 30000);

// Closes the player's message boxes ("Lumetra", this process or another) from a thread of its own
// for as long as it lives, counting them; they are answered OK, one at a time.
class MessageBoxCloser {
public:
    MessageBoxCloser();
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
    int Closed() const { return closed; }

private:
    std::atomic<int> closed{0};
    std::atomic<bool> done{false};
    std::thread watcher;
};

struct ProcessResult {
    bool finished = false;
    DWORD exitCode = 0;
};

// A process a test started. However the test ends, a failed assertion included, the process is
// ended (TerminateProcess) and waited for, so it never outlives the test holding ctest's pipes.
class ChildProcess {
public:
    // Starts commandLine, in currentFolder when one is given.
    explicit ChildProcess(const std::string& commandLine, const char* currentFolder = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return handle != nullptr; }
    // Waits (pumping messages) for the process to end by itself; ends it after the timeout.
    ProcessResult Wait(int timeoutMs);

private:
    HANDLE handle = nullptr;
};
