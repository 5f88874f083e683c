// The taskbar button: a thumbnail toolbar of previous, play/pause and next, and the play position
// as its progress. The shell's taskbar list is made once, when the button first exists; where
// there is none (an older Windows, no shell) nothing else changes.
#include "app/TaskbarButtons.h"

#include "app/DisplayScale.h"

#include <gdiplus.h>
#include <objbase.h>
#include <shobjidl.h>

#include <memory>
#include <string>

#include "app/DisplayScale.h"
#include "app/PlayerState.h"
#include "app/Skin.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "playback/PlaybackTimer.h"
#include "playback/Transport.h"
#include "render/BackBuffer.h"

namespace {

UINT taskbarButtonCreated = 0;
ITaskbarList3* taskbar = nullptr;
bool comStarted = false;
bool buttonsAdded = false;
HICON icons[4] = {};  // previous, play, pause, next
TaskbarView shown;
bool anyShown = false;

enum IconIndex { kPreviousIcon, kPlayIcon, kPauseIcon, kNextIcon };

// A square icon of the small-icon size at the window's scale, from the theme's nearest drawing
// at or above it (16, 32 or 48 px).
HICON LoadThumbIcon(const wchar_t* name)
{
    const int size = SystemMetricAt(SM_CXSMICON, windowDpi);
    const wchar_t* drawn = size <= 16 ? L"16.mtx" : size <= 32 ? L"32.mtx" : L"48.mtx";
    const std::wstring path = std::wstring(executableFolder) + L"DefaultTheme\\Thumb" + name + drawn;
    Gdiplus::Bitmap drawing(path.c_str());
    if (drawing.GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Bitmap sized(size, size, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&sized);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(&drawing, 0, 0, size, size);
    }
    HICON icon = nullptr;
    return sized.GetHICON(&icon) == Gdiplus::Ok ? icon : nullptr;
}

void LoadIcons()
{
    const wchar_t* names[] = {L"Prev", L"Play", L"Pause", L"Next"};
    for (int i = 0; i < 4; ++i)
        if (!icons[i]) icons[i] = LoadThumbIcon(names[i]);
}

THUMBBUTTON Button(UINT id, IconIndex icon, const wchar_t* tip)
{
    THUMBBUTTON button = {};
    button.dwMask = THB_TOOLTIP | THB_FLAGS;
    button.iId = id;
    button.dwFlags = THBF_ENABLED;
    if (icons[icon]) {
        button.dwMask |= THB_ICON;
        button.hIcon = icons[icon];
    }
    lstrcpynW(button.szTip, tip, ARRAYSIZE(button.szTip));
    return button;
}

THUMBBUTTON PlayPauseButton(bool playing)
{
    return playing ? Button(kThumbPlayPauseButton, kPauseIcon, L"Pause")
                   : Button(kThumbPlayPauseButton, kPlayIcon, L"Play");
}

// The toolbar's three buttons as the window's state has them now.
struct ThumbButtons {
    explicit ThumbButtons(HWND window)
    {
        bool playing;
        {
            StateLock lock(stateLock);
            playing = DecideTaskbarView(IsIconic(window)).playing;
        }
        all[0] = Button(kThumbPreviousButton, kPreviousIcon, L"Previous");
        all[1] = PlayPauseButton(playing);
        all[2] = Button(kThumbNextButton, kNextIcon, L"Next");
    }
    THUMBBUTTON all[3];
};

}  // namespace

TaskbarView DecideTaskbarView(bool minimized)
{
    TaskbarView view;
    PlaybackSound* sound = engine ? engine->ActiveSound : nullptr;
    if (!sound || !seekBar || !seekProgress || seekBar->width <= 2) return view;
    view.playing = !sound->QueryPaused();
    view.progressState = view.playing ? TBPF_NORMAL : TBPF_PAUSED;
    const int width = minimized ? ProgressWidth(engine->GetPlayPos(), seekBar->width) : seekProgress->width;
    view.total = static_cast<ULONGLONG>(seekBar->width - 2);
    view.completed = width > 0 ? static_cast<ULONGLONG>(width) : 0;
    return view;
}

void RegisterTaskbarMessage()
{
    if (!taskbarButtonCreated) taskbarButtonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
}

bool IsTaskbarButtonCreated(UINT message)
{
    return taskbarButtonCreated != 0 && message == taskbarButtonCreated;
}

void OnTaskbarButtonCreated(HWND window)
{
    if (!taskbar) {
        if (!comStarted) comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ITaskbarList3* made = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made)))) return;
        if (FAILED(made->HrInit())) {
            made->Release();
            return;
        }
        taskbar = made;
    }
    LoadIcons();
    // A new taskbar button (Explorer started again) has no toolbar yet.
    ThumbButtons buttons(window);
    buttonsAdded = SUCCEEDED(taskbar->ThumbBarAddButtons(window, ARRAYSIZE(buttons.all), buttons.all));
    anyShown = false;  // the progress is shown afresh
    UpdateTaskbarButton(window);
}

void RescaleTaskbarButtons(HWND window)
{
    if (!taskbar || !buttonsAdded) return;
    // The toolbar keeps showing the old icons until it has the new ones.
    HICON old[ARRAYSIZE(icons)];
    for (size_t i = 0; i < ARRAYSIZE(icons); ++i) {
        old[i] = icons[i];
        icons[i] = nullptr;
    }
    LoadIcons();
    ThumbButtons buttons(window);
    taskbar->ThumbBarUpdateButtons(window, ARRAYSIZE(buttons.all), buttons.all);
    for (HICON icon : old)
        if (icon) DestroyIcon(icon);
}

bool OnThumbButtonClicked(HWND window, WPARAM wParam)
{
    if (HIWORD(wParam) != THBN_CLICKED) return false;
    switch (LOWORD(wParam)) {
    case kThumbPreviousButton:
        PlayPreviousTrack(window);
        break;
    case kThumbPlayPauseButton:
        TogglePlayPause(window);
        break;
    case kThumbNextButton:
        PlayNextTrack(window);
        break;
    default:
        return false;
    }
    PresentBackBuffer();  // what the action drew, such as the play button's new look
    UpdateTaskbarButton(window);
    return true;
}

void UpdateTaskbarButton(HWND window)
{
    if (!taskbar) return;
    TaskbarView view;
    {
        StateLock lock(stateLock);
        view = DecideTaskbarView(IsIconic(window));
    }
    const bool stateChanged = !anyShown || view.playing != shown.playing || view.progressState != shown.progressState;
    if (!stateChanged && view.completed == shown.completed) return;
    if (stateChanged) {
        if (buttonsAdded) {
            THUMBBUTTON middle = PlayPauseButton(view.playing);
            taskbar->ThumbBarUpdateButtons(window, 1, &middle);
        }
        taskbar->SetProgressState(window, static_cast<TBPFLAG>(view.progressState));
    }
    if (view.progressState != TBPF_NOPROGRESS) taskbar->SetProgressValue(window, view.completed, view.total);
    shown = view;
    anyShown = true;
}

void ReleaseTaskbarButton()
{
    if (taskbar) taskbar->Release();
    taskbar = nullptr;
    buttonsAdded = false;
    anyShown = false;
    for (HICON& icon : icons) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
    if (comStarted) CoUninitialize();
    comStarted = false;
}
