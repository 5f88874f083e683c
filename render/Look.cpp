// The choice of look from the system's version and composition, and the DWM calls each look makes.
#include "render/Look.h"

#include <dwmapi.h>

DwmCalls dwmCalls = {DwmSetWindowAttribute, DwmExtendFrameIntoClientArea, DwmIsCompositionEnabled};
std::atomic<Look> currentLook{Look::Dark};

namespace {

// Window attributes and values newer than MinGW's dwmapi.h. The dark title bar's attribute is 19
// before build 18985 and 20 from it on; both take a BOOL.
const DWORD kDarkTitleAttributeBefore18985 = 19;
const DWORD kDarkTitleAttribute = 20;
const DWORD kDarkTitleAttributeFirstBuild = 18985;
const DWORD kSystemBackdropAttribute = 38;
const DWORD kTransientBackdrop = 3;  // the translucent backdrop of transient windows such as menus
const DWORD kSystemBackdropFirstBuild = 22621;

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

HRESULT SetDwordAttribute(HWND window, DWORD attribute, DWORD value)
{
    return dwmCalls.setWindowAttribute(window, attribute, &value, sizeof(value));
}

// The backdrop is drawn dark only when the window asks for the dark mode first.
bool SetTransientBackdrop(HWND window)
{
    return SUCCEEDED(SetDwordAttribute(window, kDarkTitleAttribute, TRUE)) &&
           SUCCEEDED(SetDwordAttribute(window, kSystemBackdropAttribute, kTransientBackdrop));
}

// Windows 8.x has no dark title bar, and Windows 10 before 1809 refuses the call: the bar stays light.
void DarkenTitleBar(HWND window, const SystemFacts& system)
{
    if (system.major < 10) return;
    DWORD attribute =
        system.build < kDarkTitleAttributeFirstBuild ? kDarkTitleAttributeBefore18985 : kDarkTitleAttribute;
    SetDwordAttribute(window, attribute, TRUE);
}

}  // namespace

SystemFacts AskSystem()
{
    SystemFacts system;
    // GetVersionEx answers 6.2 on Windows 8.1 and later to a program whose manifest does not name
    // them; RtlGetVersion answers the truth to any program.
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    auto getVersion = reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(proc));
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (getVersion && getVersion(&version) == 0) {
        system.major = version.dwMajorVersion;
        system.minor = version.dwMinorVersion;
        system.build = version.dwBuildNumber;
    }
    BOOL enabled = FALSE;
    system.compositionEnabled = SUCCEEDED(dwmCalls.isCompositionEnabled(&enabled)) && enabled;
    return system;
}

Look ChooseLook(const SystemFacts& system)
{
    // Without composition DWM draws neither glass nor a backdrop (Vista and 7 with it off, Wine).
    if (!system.compositionEnabled) return Look::Dark;
    if (system.major == 6 && system.minor <= 1) return Look::Glass;
    if (system.major >= 10 && system.build >= kSystemBackdropFirstBuild) return Look::Backdrop;
    return Look::Dark;
}

Look DecideLook(HWND window)
{
    return ApplyLook(window, AskSystem());
}

Look ApplyLook(HWND window, const SystemFacts& system)
{
    Look look = ChooseLook(system);
    if (look == Look::Backdrop && !SetTransientBackdrop(window)) look = Look::Dark;
    if (look == Look::Dark) DarkenTitleBar(window, system);
    currentLook = look;
    return look;
}

void ExtendFrameOverWindow(HWND window)
{
    MARGINS margins = {-1, -1, -1, -1};  // a negative margin makes the whole window one sheet of frame
    dwmCalls.extendFrameIntoClientArea(window, &margins);
}

bool IsColorSchemeChange(LPARAM settingChangeLParam)
{
    // The main window's class is registered in ANSI, so the system hands it the setting's name in
    // ANSI, converted from the broadcast's UTF-16.
    const char* setting = reinterpret_cast<const char*>(settingChangeLParam);
    return setting && lstrcmpiA(setting, "ImmersiveColorSet") == 0;
}
