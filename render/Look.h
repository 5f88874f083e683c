// The look of the main window (glass, a system backdrop or our own dark backdrop), decided in one place.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include <atomic>

// Which look a system gets
// ------------------------
// Glass: Windows Vista and 7 with composition on; DWM draws glass wherever the program paints
// alpha 0. Backdrop: Windows 11 22H2 (build 22621) and later; DWM draws a translucent dark backdrop
// behind the whole client area. Dark: everywhere else (Windows 8 to 11 21H2, where DWM draws no
// glass and alpha 0 would show the white frame; Vista and 7 without composition; Wine): the program
// paints an opaque dark backdrop, and the title bar is made dark where the system offers it.
enum class Look { Glass, Backdrop, Dark };

// What the system offers, as the look is decided from it.
struct SystemFacts {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    bool compositionEnabled = false;
};

// The DWM calls a look makes. Real ones by default; a test puts a recorder in their place.
struct DwmCalls {
    HRESULT(WINAPI* setWindowAttribute)(HWND, DWORD, LPCVOID, DWORD);
    HRESULT(WINAPI* extendFrameIntoClientArea)(HWND, const MARGINS*);
    HRESULT(WINAPI* isCompositionEnabled)(BOOL*);
};
extern DwmCalls dwmCalls;

// The look the window shows now. Written on the window thread; row workers read it as they start
// a row. Dark until DecideLook has run.
extern std::atomic<Look> currentLook;

// The true version (RtlGetVersion from ntdll, which does not depend on the manifest's supportedOS)
// and dwmCalls.isCompositionEnabled.
SystemFacts AskSystem();
// The decision table, nothing else (pure).
Look ChooseLook(const SystemFacts& system);
// Decides the look for window from AskSystem(), makes its DWM calls through dwmCalls (falling from
// Backdrop to Dark when a call fails), stores it in currentLook and returns it. Called on the
// window thread before the window is shown and again when composition, the theme or the accent
// changes.
Look DecideLook(HWND window);
// Same, with the facts given (for tests and for DecideLook).
Look ApplyLook(HWND window, const SystemFacts& system);
// Extends the DWM frame over the whole client area (margins -1) through dwmCalls; what
// WM_ACTIVATE does, for every look.
void ExtendFrameOverWindow(HWND window);
// True when the system's theme or accent changed: WM_SETTINGCHANGE with lParam the text
// "ImmersiveColorSet" (any case; lParam may be null).
bool IsColorSchemeChange(LPARAM settingChangeLParam);
