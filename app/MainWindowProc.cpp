// The window procedure of the main window: each message goes to the code that owns it.
#include "app/MainWindowProc.h"

#include "app/KeyCommands.h"
#include "app/MenuCommands.h"
#include "app/TaskbarButtons.h"
#include "app/PlayerState.h"
#include "app/Session.h"
#include "app/Skin.h"
#include "intake/CommandIntake.h"
#include "intake/DropIntake.h"
#include "intake/IntakeGate.h"
#include "intake/ScanSession.h"
#include "playback/ControlMouse.h"
#include "playback/StartWorker.h"
#include "playback/Transport.h"
#include "playback/Volume.h"
#include "render/BackBuffer.h"
#include "render/Look.h"
#include "render/MainView.h"
#include "render/PlaylistView.h"

namespace {

// Composition, the theme or the accent changed: the look is decided again, and rows drawn for the
// old one are drawn again at the next opening of the overlay.
void OnSystemLookChanged(HWND window)
{
    const Look before = currentLook;
    DecideLook(window);
    ExtendFrameOverWindow(window);
    if (currentLook != before) {
        StateLock lock(stateLock);
        if (!playlistBuilding) playlistBuilt = false;
    }
    InvalidateWindow(window);
}

void OnForwardedText(HWND window, const COPYDATASTRUCT* data)
{
    if (!data) return;
    const char* text = data->cbData ? static_cast<const char*>(data->lpData) : "";
    if (!TakeCommandText(window, text, data->cbData)) KeepForwardedTextForAfterRestore(text, data->cbData);
}

void OnKeyDown(HWND window, WPARAM key)
{
    if (key == VK_F1)
        TogglePlaylistOverlay(window);
    else if (!RunKeyCommand(window, key))
        ScrollPlaylistByKey(window, key);
}

void OnMouse(HWND window, WPARAM wParam, LPARAM lParam)
{
    StateLock lock(stateLock);
    HandleControlMouse(lParam, window, wParam);
    if (playlistVisible) TrackPlaylistPointer(HIWORD(lParam), window, wParam == MK_LBUTTON);
    PresentBackBuffer();
}

void OnDropFiles(HWND window, HDROP drop)
{
    if (!BeginIntake()) {  // one intake at a time: a drop during another is refused
        DragFinish(drop);
        return;
    }
    {
        StateLock lock(stateLock);
        CancelStartRequests();
        if (UnloadSound()) currentIndex = 0;
        ResetPlaylistView();
        idle = true;
    }
    StartDropIntake(window, drop);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        DecideLook(window);  // before the window is first shown
        InitializeWindow(window, static_cast<const char*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        AddCommandsToSystemMenu(window);
        RegisterTaskbarMessage();
        return 0;
    case WM_SYSCOMMAND:
        if (RunMenuCommand(window, static_cast<UINT>(wParam & 0xFFF0))) return 0;
        break;
    case WM_COMMAND:
        if (!OnThumbButtonClicked(window, wParam)) RunMenuCommand(window, LOWORD(wParam));
        return 0;
    case WM_CONTEXTMENU:
        if (ShowContextMenu(window, lParam)) return 0;
        break;
    case WM_INITMENUPOPUP:
        UpdateCommandStates(window, reinterpret_cast<HMENU>(wParam));
        break;
    case WM_DESTROY:
        TeardownWindow(window);
        return 0;
    case WM_ACTIVATE:
        ExtendFrameOverWindow(window);
        return 0;
    case WM_PAINT:
        PaintMainView(window);
        return 0;
    case WM_COPYDATA:
        OnForwardedText(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(window, wParam);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        OnMouse(window, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        if (playlistVisible)
            ScrollPlaylistByWheel(window, static_cast<short>(HIWORD(wParam)));
        else
            ChangeVolumeByWheel(window, static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DWMCOMPOSITIONCHANGED:
    case WM_THEMECHANGED:
        OnSystemLookChanged(window);
        return 0;
    case WM_SETTINGCHANGE:
        if (IsColorSchemeChange(lParam)) OnSystemLookChanged(window);
        break;
    case WM_DPICHANGED:
        if (lParam) RescaleWindow(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case kStartEndedMessage:
        OnStartEnded(window, wParam != 0);
        return 0;
    case kRestoreEndedMessage:
        OnRestoreEnded(window);
        return 0;
    case kScanShownMessage:
        ShowScanOnWindow(window, wParam != 0);
        return 0;
    }
    if (IsTaskbarButtonCreated(message)) {
        OnTaskbarButtonCreated(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // No exception may unwind into the system's message dispatch: a message whose handling fails
    // (out of memory, a component's message) is dropped, and the player goes on.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}
