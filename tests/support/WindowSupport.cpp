// Test helpers for windows the player opens: dialogs, their texts, the main window, processes.
#include "support/WindowSupport.h"

#include <cstdio>

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "support/TestSupport.h"

namespace {

struct DialogSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {}, title[256] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 256);
    if (wcscmp(className, L"#32770") == 0 && (!search->title || wcscmp(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialogNow(const wchar_t* title)
{
    DialogSearch search = {title, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    return TRUE;
}

}  // namespace

HWND WaitForDialog(const wchar_t* title, int timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindDialogNow(title)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForDialogNoPump(const wchar_t* title, int timeoutMs)
{
    DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        if (HWND found = FindDialogNow(title)) return found;
        if ((LONG)(end - GetTickCount()) <= 0) return nullptr;
        Sleep(10);
    }
}

std::vector<std::wstring> DialogTexts(HWND dialog)
{
    std::vector<std::wstring> texts;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND WaitForControl(HWND dialog, const wchar_t* text, int timeoutMs)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            found = nullptr;
            for (HWND child = FindWindowExW(dialog, nullptr, nullptr, text); child;
                 child = FindWindowExW(dialog, child, nullptr, text)) {
                if (IsWindowVisible(child)) {
                    found = child;
                    break;
                }
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<std::wstring> ReadTaskDialog(HWND dialog)
{
    if (!dialog || !WaitForControl(dialog, L"OK", 10000)) return {};
    return DialogTexts(dialog);
}

bool HasText(const std::vector<std::wstring>& texts, const std::wstring& text)
{
    for (const std::wstring& t : texts)
        if (t == text) return true;
    return false;
}

void CloseDialog(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitFor([&] { return !IsWindow(dialog); }, 5000);
}

void CloseAllDialogs()
{
    while (HWND dialog = FindDialogNow(nullptr)) {
        CloseDialog(dialog);
        if (IsWindow(dialog)) DestroyWindow(dialog);
    }
}

std::wstring ExecutableFileName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

HWND CreatePlayerWindow()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterMainWindowClass(instance);
    HWND window = CreateMainWindow(instance);
    if (window) ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

void DestroyPlayerWindow(HWND window)
{
    // A start still opening its file would otherwise finish into the next test's window.
    WaitForStarts();
    if (IsWindow(window)) DestroyWindow(window);
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool WaitForStarts(int timeoutMs)
{
    // The worker needs nothing from this thread, and not pumping leaves a window's update region
    // for the test to see.
    auto busy = [] {
        StateLock lock(stateLock);
        return startWorkerBusy;
    };
    const DWORD end = GetTickCount() + timeoutMs;
    while (busy() && static_cast<LONG>(end - GetTickCount()) > 0) Sleep(1);
    MSG message;
    while (PeekMessageA(&message, nullptr, kStartEndedMessage, kStartEndedMessage, PM_REMOVE))
        DispatchMessageA(&message);
    return !busy();
}

MessageBoxCloser::MessageBoxCloser()
    : watcher([this] {
          while (!done) {
              if (HWND box = FindWindowA("#32770", "Lumetra")) {
                  ++closed;
                  PostMessageA(box, WM_COMMAND, IDOK, 0);
                  for (int waited = 0; IsWindow(box) && waited < 5000; waited += 5) Sleep(5);
              }
              Sleep(5);
          }
      })
{
}

MessageBoxCloser::~MessageBoxCloser()
{
    done = true;
    watcher.join();
}

ChildProcess::ChildProcess(const std::string& commandLine, const char* currentFolder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Under Wine a start now and then fails at once while other processes come and go (seen: once
    // in several hundred starts); it is tried again, and the error shown, rather than fail a test.
    for (int attempt = 0;; ++attempt) {
        std::string line = commandLine;
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, currentFolder, &startup, &info))
            break;
        fprintf(stderr, "CreateProcess failed (error %lu), attempt %d\n", GetLastError(), attempt + 1);
        if (attempt == 2) return;
        Sleep(200);
    }
    CloseHandle(info.hThread);
    handle = info.hProcess;
}

ChildProcess::~ChildProcess()
{
    if (!handle) return;
    if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) {
        TerminateProcess(handle, 99);
        WaitForSingleObject(handle, 10000);
    }
    CloseHandle(handle);
}

ProcessResult ChildProcess::Wait(int timeoutMs)
{
    ProcessResult result;
    if (!handle) return result;
    result.finished = WaitFor([&] { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (!result.finished) {
        TerminateProcess(handle, 99);
        WaitForSingleObject(handle, 10000);
    }
    GetExitCodeProcess(handle, &result.exitCode);
    return result;
}
