// Starts a program and times, from just before its process is created, the first moment it is
// seen doing something: sound in the capture, its first frame painted, or a whole folder scan.
//   Launch.exe sound CAPTURE-FILE [--hold [--minimize]] -- COMMAND-LINE
//   Launch.exe paint [--hold] -- COMMAND-LINE
//   Launch.exe scan [--hold] -- COMMAND-LINE
//   Launch.exe forward CAPTURE -- COMMAND-LINE -- SECOND-COMMAND-LINE
//     starts the first, waits for its sound (silence, so the capture only grows), then times the
//     second from its start until a sample that is not silent arrives in the capture
// Prints "launch ms=<milliseconds>" once the moment came (for sound, with the window's milestones; for
// forward, with when the second program had handed its file over and ended).
// With --hold the program then keeps running (its window minimized with --minimize) until a line
// arrives on stdin (the bench reads the
// system's CPU counters meanwhile).
// The program is always ended and waited for before this one returns. With LUMETRA_BENCH_APPDATA
// set, the program gets it as its APPDATA.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "components/Win32Handles.h"

namespace {

const DWORD kTimeoutMs = 60000;
const wchar_t kScanningTitle[] = L"Scanning for music files";  // the player's title while it scans

// While it scans, the player animates dots and blanks after that text; only the title it gives
// back at the end differs from it.
bool IsScanTitle(const std::wstring& title)
{
    return title.compare(0, wcslen(kScanningTitle), kScanningTitle) == 0;
}

using KernelHandle = ScopedHandle<CloseHandle>;

double MillisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* title;  // null: any shown window without an owner
    HWND found;
};

std::wstring TitleOf(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId) return TRUE;
    // Wine gives each thread with windows a hidden IME window of its own: look past it.
    bool matches =
        search->title ? TitleOf(window) == search->title : IsWindowVisible(window) && !GetWindow(window, GW_OWNER);
    if (!matches) return TRUE;
    search->found = window;
    return FALSE;
}

HWND WindowOf(DWORD processId, const wchar_t* title = nullptr)
{
    WindowSearch search = {processId, title, nullptr};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls until the condition holds, the program ends or the time is up.
template <typename Condition>
bool PollUntil(HANDLE process, DWORD intervalMs, Condition condition)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (WaitForSingleObject(process, intervalMs) == WAIT_OBJECT_0) return condition();
        if (GetTickCount() - start > kTimeoutMs) return false;
    }
    return true;
}

// Reads what the capture gained since offset (advancing it); true once a sample is not silent.
bool LoudSampleArrived(const char* capture, uint64_t& offset)
{
    KernelHandle file(CreateFileA(capture, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) return false;
    int16_t samples[8192];
    DWORD read = 0;
    while (ReadFile(file.Get(), samples, sizeof samples, &read, nullptr) && read >= sizeof(int16_t)) {
        const DWORD count = read / sizeof(int16_t);
        offset += count * sizeof(int16_t);
        for (DWORD i = 0; i < count; ++i)
            if (samples[i] > 64 || samples[i] < -64) return true;
    }
    return false;
}

uint64_t FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool SoundArrived(const char* capture)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(capture, GetFileExInfoStandard, &data) &&
           (data.nFileSizeLow != 0 || data.nFileSizeHigh != 0);
}

// The first WM_PAINT has begun once the shown window has no update region left (BeginPaint
// validated it); it has finished once the window thread takes the next sent message.
bool FirstPaintDone(HANDLE process, DWORD processId)
{
    HWND window = nullptr;
    bool begun = PollUntil(process, 1, [&] {
        if (!window) window = WindowOf(processId);
        return window && !GetUpdateRect(window, nullptr, FALSE);
    });
    DWORD_PTR result = 0;
    return begun && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &result);
}

// From the title that says a scan runs to the title it gives back.
bool ScanTimed(HANDLE process, DWORD processId, double& ms)
{
    HWND window = nullptr;
    if (!PollUntil(process, 2,
                   [&] { return (window = WindowOf(processId)) != nullptr && IsScanTitle(TitleOf(window)); }))
        return false;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!PollUntil(process, 2, [&] { return IsWindow(window) && !IsScanTitle(TitleOf(window)); })) return false;
    ms = MillisecondsSince(start);
    return true;
}

// On the way to the first sound, when the window was first shown and when its title said that a
// scan ran and then gave the title back: where a slow start spends its time.
struct Milestones {
    HWND window = nullptr;
    double shown = -1, scanning = -1, restored = -1;

    void Watch(DWORD processId, const LARGE_INTEGER& start)
    {
        if (!window) {
            window = WindowOf(processId);
            if (window) shown = MillisecondsSince(start);
            return;
        }
        if (restored >= 0) return;
        bool scanTitle = IsScanTitle(TitleOf(window));
        if (scanTitle && scanning < 0) scanning = MillisecondsSince(start);
        if (!scanTitle && scanning >= 0) restored = MillisecondsSince(start);
    }

    std::string Text() const
    {
        if (!window) return "";
        char text[128];
        snprintf(text, sizeof text, " shown=%.1f scanning=%.1f restored=%.1f", shown, scanning, restored);
        return text;
    }
};

void WaitForLineOnInput()
{
    char line[64];
    fgets(line, sizeof line, stdin);
}

int Usage()
{
    fprintf(stderr, "usage: Launch.exe sound CAPTURE | paint | scan [--hold] -- COMMAND-LINE\n"
                    "       Launch.exe forward CAPTURE -- COMMAND-LINE -- SECOND-COMMAND-LINE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) return Usage();
    const std::string mode = argv[1];
    int next = 2;
    const char* capture = nullptr;
    if (mode == "sound" || mode == "forward")
        capture = argv[next++];
    else if (mode != "paint" && mode != "scan")
        return Usage();
    bool hold = false;
    if (next < argc && strcmp(argv[next], "--hold") == 0) {
        hold = true;
        ++next;
    }
    bool minimize = false;
    if (hold && next < argc && strcmp(argv[next], "--minimize") == 0) {
        minimize = true;
        ++next;
    }
    if (next >= argc || strcmp(argv[next], "--") != 0 || next + 1 >= argc) return Usage();
    std::string commandLine, secondCommandLine;
    std::string* filling = &commandLine;
    for (int i = next + 1; i < argc; ++i) {
        if (mode == "forward" && strcmp(argv[i], "--") == 0 && filling == &commandLine) {
            filling = &secondCommandLine;
            continue;
        }
        if (!filling->empty()) *filling += ' ';
        *filling += std::string("\"") + argv[i] + "\"";
    }
    if (mode == "forward" && secondCommandLine.empty()) return Usage();
    if (capture) DeleteFileA(capture);
    // The player keeps its session under %APPDATA%, which Wine sets for every process: the bench
    // names the folder each start gets, so no start restores what another one left.
    if (const char* appData = getenv("LUMETRA_BENCH_APPDATA")) SetEnvironmentVariableA("APPDATA", appData);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER start;
    // Wine now and then fails a process start at once (error 1359); the clock starts again with
    // each try, so only the start that worked is timed.
    bool created = false;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        QueryPerformanceCounter(&start);
        created = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &info) != FALSE;
    }
    if (!created) {
        fprintf(stderr, "launch: cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return 1;
    }
    KernelHandle process(info.hProcess), thread(info.hThread);

    double ms = 0;
    double handedOver = -1;  // forward: when the second program had handed its file over and ended
    bool seen = false;
    Milestones milestones;
    if (mode == "sound") {
        seen = PollUntil(process.Get(), 1, [&] {
            milestones.Watch(info.dwProcessId, start);
            return SoundArrived(capture);
        });
        ms = MillisecondsSince(start);
    } else if (mode == "forward") {
        // The first plays silence; the second hands its file over and ends, and the first plays it.
        seen = PollUntil(process.Get(), 1, [&] { return SoundArrived(capture); });
        uint64_t offset = FileSize(capture) & ~static_cast<uint64_t>(1);
        STARTUPINFOA secondStartup = {};
        secondStartup.cb = sizeof secondStartup;
        PROCESS_INFORMATION second = {};
        LARGE_INTEGER secondStart;
        QueryPerformanceCounter(&secondStart);
        seen = seen && CreateProcessA(nullptr, &secondCommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &secondStartup, &second);
        if (seen) {
            KernelHandle secondProcess(second.hProcess), secondThread(second.hThread);
            seen = PollUntil(process.Get(), 1, [&] {
                if (handedOver < 0 && WaitForSingleObject(secondProcess.Get(), 0) == WAIT_OBJECT_0)
                    handedOver = MillisecondsSince(secondStart);
                return LoudSampleArrived(capture, offset);
            });
            ms = MillisecondsSince(secondStart);
            if (WaitForSingleObject(secondProcess.Get(), 5000) != WAIT_OBJECT_0)
                TerminateProcess(secondProcess.Get(), 0);
        }
    } else if (mode == "paint") {
        seen = FirstPaintDone(process.Get(), info.dwProcessId);
        ms = MillisecondsSince(start);
    } else {
        seen = ScanTimed(process.Get(), info.dwProcessId, ms);
    }

    if (seen) {
        if (mode == "forward")
            printf("launch ms=%.1f handed=%.1f\n", ms, handedOver);
        else
            printf("launch ms=%.1f%s\n", ms, milestones.Text().c_str());
        fflush(stdout);
        if (minimize) {
            HWND window = WindowOf(info.dwProcessId);
            if (window) ShowWindowAsync(window, SW_MINIMIZE);
        }
        if (hold) WaitForLineOnInput();
    } else {
        fprintf(stderr, "launch: no %s seen (the program ended, or %lu s went by)\n", mode.c_str(), kTimeoutMs / 1000);
    }
    if (WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 0);
        WaitForSingleObject(process.Get(), 10000);
    }
    return seen ? 0 : 1;
}
