// The window procedure of the main window: each message goes to the code that owns it.
#include "app/MainWindowProc.h"

#include <dwmapi.h>
#include <process.h>

#include <new>

#include "app/PlayerState.h"
#include "app/Skin.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "intake/CommandIntake.h"
#include "intake/DropIntake.h"
#include "intake/ScanSession.h"
#include "playback/ControlMouse.h"
#include "playback/Transport.h"
#include "render/MainView.h"
#include "render/PlaylistRows.h"
#include "render/PlaylistView.h"

namespace {

void ExtendGlassOverWindow(HWND window)
{
    MARGINS margins = {-1, 0, 0, 0};  // a negative margin makes the whole window one sheet of glass
    DwmExtendFrameIntoClientArea(window, &margins);
}

void StartScrollEasing(HWND window)
{
    if (!scrollTimerActive) SetTimer(window, kScrollTimerId, kScrollTimerMs, ScrollEasingTimerProc);
}

// Sends the view to target (already within the list's bounds) with the easing, and lets a long
// list's rows follow it.
void ScrollListTo(HWND window, int target)
{
    {
        StateLock lock(stateLock);  // the row worker reads the target under the lock
        hoverStale = true;
        scrollTarget = target;
    }
    StartScrollEasing(window);
    RequestPlaylistRows(window);
}

void OnForwardedText(HWND window, const COPYDATASTRUCT* data)
{
    if (scanning || intakeActive || !data) return;  // the text is lost while an intake runs
    const char* bytes = static_cast<const char*>(data->lpData);
    if (!StartCommandIntake(window, data->cbData ? bytes : "", data->cbData)) return;
    playlistBuilt = false;
    playlistVisible = false;
    scrollPos = 0;
    scrollTarget = 0;
    InvalidateWindow(window);
}

void TogglePlaylistOverlay(HWND window)
{
    bool builderStarted = false;
    if (!scanning && scanner && scanner->GetNoOfFiles() > 0) {
        playlistVisible = !playlistVisible;
        StateLock lock(stateLock);
        // Rows from a list that has since changed (an append during a build) are built again.
        if (playlistVisible && playlistBuilt && !playlistBuilding && !PlaylistRowsCurrent()) playlistBuilt = false;
        if (playlistVisible && !playlistBuilding && !playlistBuilt) {
            playlistBuilding = true;  // set here so a quick second F1 cannot start a second build
            builderStarted = _beginthread(PlaylistBuildWorker, 0, window) != static_cast<uintptr_t>(-1);
            if (!builderStarted) playlistBuilding = false;
        }
    } else if (scanning) {
        MessageBoxA(nullptr, "Wait while scanning is in progress", "Lumetra", MB_ICONINFORMATION);
    }
    if (!builderStarted) InvalidateWindow(window);
}

// Keys that move the view while the overlay is shown: the arrows by a row, Page Up and Page Down
// by four rows, Home and End to the ends. Each acts only when the view can move that way.
void OnScrollKey(HWND window, WPARAM key)
{
    if (!playlistVisible) return;
    int bottom = rowCount * kRowHeight - kVisibleListHeight;
    bool canGoUp = scrollTarget > 0;
    bool canGoDown = scrollTarget < bottom;
    switch (key) {
    case VK_UP:
        if (canGoUp) ScrollListTo(window, scrollTarget - kRowHeight);  // not clamped: a view off its rows stays so
        break;
    case VK_DOWN:
        if (canGoDown) ScrollListTo(window, scrollTarget + kRowHeight);
        break;
    case VK_PRIOR:
        if (canGoUp) ScrollListTo(window, scrollTarget > kVisibleListHeight ? scrollTarget - kVisibleListHeight : 0);
        break;
    case VK_NEXT:
        if (canGoDown) ScrollListTo(window, scrollTarget + kVisibleListHeight < bottom ? scrollTarget + kVisibleListHeight : bottom);
        break;
    case VK_HOME:
        if (canGoUp) ScrollListTo(window, 0);
        break;
    case VK_END:
        if (canGoDown) ScrollListTo(window, bottom);
        break;
    }
}

void OnKeyDown(HWND window, WPARAM key)
{
    if (key == VK_F1)
        TogglePlaylistOverlay(window);
    else
        OnScrollKey(window, key);
}

void OnMouse(HWND window, WPARAM wParam, LPARAM lParam)
{
    StateLock lock(stateLock);
    HandleControlMouse(lParam, window, wParam);
    if (playlistVisible)
        TrackPlaylistPointer(HIWORD(lParam), window, wParam == MK_LBUTTON);
}

void OnWheel(HWND window, WPARAM wParam)
{
    if (!playlistVisible) return;
    hoverStale = true;
    int listHeight = rowCount * kRowHeight;
    if (scrollTarget + kVisibleListHeight > listHeight) return;  // too short to scroll
    int delta = static_cast<short>(HIWORD(wParam));
    // One notch (120) is one row; turning the wheel away from the user goes toward the start.
    int target = scrollTarget + (-delta * kRowHeight) / WHEEL_DELTA;
    if (target < 0)
        target = 0;
    else if (target + kVisibleListHeight > listHeight)
        target = listHeight - kVisibleListHeight;
    ScrollListTo(window, target);
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
    }
    scrollPos = 0;
    scrollTarget = 0;
    playlistVisible = false;
    dropArgs.window = window;
    dropArgs.drop = drop;
    dropArgs.append = false;
    playlistBuilt = false;
    idle = true;
    StartDropIntake(dropArgs);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        InitializeWindow(window);
        return 0;
    case WM_DESTROY:
        TeardownWindow(window);
        return 0;
    case WM_ACTIVATE:
        ExtendGlassOverWindow(window);
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
        OnWheel(window, wParam);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case kStartEndedMessage:
        OnStartEnded(window, wParam != 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // No exception may unwind into the system's message dispatch: a message whose handling runs
    // out of memory is dropped, and the player goes on.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
