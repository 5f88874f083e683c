// The display scale: the process's DPI awareness and the dots per inch of the system and a window.
#include "app/DisplayScale.h"

namespace {

// Newer than MinGW's headers for the systems this runs on; looked up at run time, since Windows 7
// and 8 have none of them.
using SetContextFunction = BOOL(WINAPI*)(HANDLE);
using SetAwarenessFunction = HRESULT(WINAPI*)(int);
using GetDpiFunction = UINT(WINAPI*)();
using GetWindowDpiFunction = UINT(WINAPI*)(HWND);
using GetMetricFunction = int(WINAPI*)(int, UINT);
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(-4);
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(-3);
const int kProcessPerMonitorDpiAware = 2;

template <typename Function>
Function Find(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

}  // namespace

void DeclareDpiAwareness()
{
    // Refused as "access denied" once the manifest or an earlier call has set it, and per-monitor
    // v2 is refused before Windows 10 1703 (and by Wine): each refusal moves on to the next.
    if (auto setContext = Find<SetContextFunction>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
        if (setContext(kPerMonitorAwareV2) || GetLastError() == ERROR_ACCESS_DENIED) return;
        if (setContext(kPerMonitorAware) || GetLastError() == ERROR_ACCESS_DENIED) return;
    }
    if (HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
        auto setAwareness = reinterpret_cast<SetAwarenessFunction>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
        const HRESULT result = setAwareness ? setAwareness(kProcessPerMonitorDpiAware) : E_NOTIMPL;
        FreeLibrary(shcore);
        if (SUCCEEDED(result) || result == E_ACCESSDENIED) return;
    }
    SetProcessDPIAware();
}

int SystemDpi()
{
    if (auto getDpi = Find<GetDpiFunction>(L"user32.dll", "GetDpiForSystem")) {
        if (UINT dpi = getDpi()) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int DpiOfWindow(HWND window)
{
    if (auto getDpi = Find<GetWindowDpiFunction>(L"user32.dll", "GetDpiForWindow")) {
        if (UINT dpi = getDpi(window)) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SkinSetPercent(int dpi)
{
    for (int percent : kSkinSetPercents)
        if (percent * 96 >= dpi * 100) return percent;
    return kSkinSetPercents[ARRAYSIZE(kSkinSetPercents) - 1];
}

int SystemMetricAt(int index, int dpi)
{
    if (auto getMetric = Find<GetMetricFunction>(L"user32.dll", "GetSystemMetricsForDpi")) {
        if (int value = getMetric(index, static_cast<UINT>(dpi))) return value;
    }
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}
