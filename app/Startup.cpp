// Process start: the single-instance hand-off, the main window, the message loop.
#include "app/Startup.h"

#include <gdiplus.h>
#include <mmsystem.h>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <cwchar>

#include "app/DisplayScale.h"
#include "app/MainWindowProc.h"
#include "app/PlayerState.h"
#include "app/Session.h"
#include "app/Skin.h"
#include "components/ShortPath.h"

const char kWindowClassName[] = "OrvandelLumetraV3";
const char kWindowTitle[] = "Orvandel's Lumetra";

const char* CommandTextOf(const char* commandLine, UINT codePage)
{
    if (!commandLine) return "";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    bool quoted = false;
    while (*p && (*p > ' ' || quoted)) {
        if (*p == '"') quoted = !quoted;
        if (IsDBCSLeadByteEx(codePage, *p) && p[1]) ++p;  // a double-byte character travels whole
        ++p;
    }
    while (*p && *p <= ' ') ++p;
    return reinterpret_cast<const char*>(p);
}

namespace {

void AppendConverted(std::string& out, const wchar_t* text, int length, UINT codePage)
{
    if (length <= 0) return;
    int size = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    size_t at = out.size();
    out.resize(at + size);
    WideCharToMultiByte(codePage, 0, text, length, &out[at], size, nullptr, nullptr);
}

}  // namespace

std::string ReachableCommandLine(const wchar_t* commandLine, UINT codePage)
{
    std::string out;
    if (!commandLine) return out;
    const wchar_t* p = commandLine;
    while (*p) {
        const wchar_t* quote = wcschr(p, L'"');
        if (!quote) {
            AppendConverted(out, p, static_cast<int>(wcslen(p)), codePage);
            break;
        }
        AppendConverted(out, p, static_cast<int>(quote - p), codePage);
        out += '"';
        const wchar_t* name = quote + 1;
        const wchar_t* close = wcschr(name, L'"');
        const std::wstring quoted(name, close ? close : name + wcslen(name));
        std::string reachable(3 * (quoted.size() + MAX_PATH), '\0');  // a short path may be the longer
        if (GetReachablePath(quoted.c_str(), &reachable[0], reachable.size(), codePage))
            out += reachable.c_str();
        else
            AppendConverted(out, quoted.c_str(), static_cast<int>(quoted.size()), codePage);
        if (!close) break;
        out += '"';
        p = close + 1;
    }
    return out;
}

int StartupShowCommand()
{
    STARTUPINFOA info = {};
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
}

bool ForwardToRunningInstance(const char* text)
{
    HWND running = FindWindowA(kWindowClassName, kWindowTitle);
    if (!running) return false;
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    if (text && *text) {
        COPYDATASTRUCT data = {};
        data.dwData = 0;
        data.cbData = static_cast<DWORD>(strlen(text) + 1);  // the terminating zero travels along
        data.lpData = const_cast<char*>(text);
        SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    return true;
}

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassExA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, const char* commandText)
{
    // Made at the scale new windows get; a window that opens on a monitor of another scale is laid
    // out again for that one at once.
    windowDpi = SystemDpi();
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, kWindowClassName, kWindowTitle,
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, 0, Scaled(360), Scaled(290),
                                  nullptr, nullptr, instance, const_cast<char*>(commandText));
    const int dpi = window ? DpiOfWindow(window) : windowDpi.load();
    if (dpi != windowDpi) {
        RECT place = {};
        GetWindowRect(window, &place);
        place.right = place.left + MulDiv(360, dpi, 96);
        place.bottom = place.top + MulDiv(290, dpi, 96);
        RescaleWindow(window, dpi, place);
    }
    return window;
}

namespace {

DWORD WINAPI FindSoundDevices(void*)
{
    waveOutGetNumDevs();
    return 0;
}

// The first waveOut call of a process finds the system's sound devices, which takes about as long
// as making the window (tens of milliseconds under Wine). With files to play, that search runs on
// a thread of its own while the window is made, and the first file's device opens sooner.
void StartFindingSoundDevices()
{
    HANDLE thread = CreateThread(nullptr, 0, FindSoundDevices, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

}  // namespace

int RunPlayer(HINSTANCE instance, const char* text, int showCommand)
{
    if (!text) text = "";
    DeclareDpiAwareness();
    srand(static_cast<unsigned>(_time64(nullptr)));

    // GDI+ lives until the process ends; it is never shut down.
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    // The mutex stays open for the life of the process.
    CreateMutexA(nullptr, TRUE, kWindowClassName);
    DWORD mutexError = GetLastError();
    if ((mutexError == ERROR_ALREADY_EXISTS || mutexError == ERROR_ACCESS_DENIED) && ForwardToRunningInstance(text))
        return 0;
    if (*text) StartFindingSoundDevices();

    if (!RegisterMainWindowClass(instance)) {
        MessageBoxA(nullptr, "Can't Register Window", "Error!", MB_ICONERROR);
        return 0;
    }
    // Its creation restores the session's settings and takes the text's files in.
    HWND window = CreateMainWindow(instance, text);
    if (!window) {
        MessageBoxA(nullptr, "Can't Create Window", "Error!", MB_ICONERROR);
        return 1;
    }
    ShowWindow(window, showCommand);
    if (!*text) StartSessionRestore(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) DispatchMessageA(&message);
    return 0;
}
