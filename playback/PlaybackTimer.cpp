// The 100 ms heartbeat of the player (timer 1).
#include "playback/PlaybackTimer.h"

#include <gdiplus.h>

#include "app/PlayerState.h"
#include "app/Session.h"
#include "app/TaskbarButtons.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "playback/Transport.h"
#include "playback/Volume.h"
#include "render/BackBuffer.h"
#include "render/InfoPanel.h"
#include "render/MainView.h"
#include "render/PlaylistView.h"
#include "render/SeekFill.h"

namespace {

const int kTicksPerCycle = 25;

int ListCount()
{
    StateLock lock(stateLock);
    return scanner ? scanner->GetNoOfFiles() : 0;
}

void AdvanceTick()
{
    if (++tick >= kTicksPerCycle) tick = 0;
}

// A sound that played to its end is followed by the next (or a random) file. The only file of a
// list has nothing after it: its sound is let go and the window goes back to the About picture.
void MoveOnAtTheEnd(HWND window)
{
    StateLock lock(stateLock);
    PlaybackSound* ended = engine->ActiveSound;
    // A start already asked for replaces the ended sound when it commits.
    if (!ended || !ended->HasEnded() || startWorkerBusy) return;
    PlayNextTrack(window);
    if (!engine || !scanner || scanner->GetNoOfFiles() != 1 || engine->ActiveSound != ended) return;
    ended->ReleaseSound();
    engine->ActiveSound = nullptr;
    idle = true;
    playPauseButton = playButton;
    InvalidateWindow(window);
}

// The low bit of GetAsyncKeyState says the key went down since the last query, whichever window
// has the focus. The first key found is acted on; the later ones wait for the next ticks.
bool AnswerMediaKeys(HWND window)
{
    void (*action)(HWND) = nullptr;
    if (GetAsyncKeyState(VK_MEDIA_NEXT_TRACK) & 1)
        action = PlayNextTrack;
    else if (GetAsyncKeyState(VK_MEDIA_PREV_TRACK) & 1)
        action = PlayPreviousTrack;
    else if (GetAsyncKeyState(VK_MEDIA_PLAY_PAUSE) & 1)
        action = TogglePlayPause;
    if (!action || ListCount() <= 0) return false;
    action(window);
    return true;
}

// Drawn only when the width changed or something painted over the bar since: an idle playing
// window then costs no drawing. A fill that grew gets only its new columns, which is also all
// that is copied to the window: the columns before are shown already (drawn again, the fill's
// translucent edge would thicken tick after tick). Answers the area drawn, empty for none.
RECT ShowSeekProgress()
{
    StateLock lock(stateLock);
    RECT drawn = {};
    if (!engine || !seekBar || !seekProgress) return drawn;
    const int width = ProgressWidth(engine->GetPlayPos(), seekBar->width);
    seekProgress->width = width;
    if (width == shownProgressWidth) return drawn;
    const int from = shownProgressWidth;
    if (from >= 0 && width > from && BlendFillColumns(windowDC, *seekProgress, seekBar->width - 2, from, width)) {
        shownProgressWidth = width;
        return {seekProgress->x + from, seekProgress->y, seekProgress->x + width,
                seekProgress->y + seekProgress->height};
    }
    auto graphics = WindowGraphics();
    if (!graphics) return drawn;
    // A narrower progress does not cover the wider one it replaces.
    if (width < from) seekBar->Draw(graphics.get());
    seekProgress->Draw(graphics.get());
    shownProgressWidth = width;
    return {seekBar->x, seekBar->y, seekBar->x + seekBar->width, seekBar->y + seekBar->height};
}

bool RefreshBuildingPlaylist()
{
    if (!playlistBuilding || !playlistVisible || tick % 6 != 0 || !windowDC) return false;
    StateLock lock(stateLock);
    ComposePlaylistView(listRect, windowDC, scrollPos);
    return true;
}

void AnimateScanTitle(HWND window)
{
    const char* title = nullptr;
    switch (tick) {
    case 2:
        title = "Scanning for music files.  ";
        break;
    case 8:
        title = "Scanning for music files.. ";
        break;
    case 14:
        title = "Scanning for music files...";
        break;
    case 20:
        title = "Scanning for music files   ";
        break;
    }
    if (title) SetWindowTextA(window, title);
}

void RunTick(HWND window)
{
    AdvanceTick();
    bool drew = false;
    // A minimized window shows nothing: its bar is drawn again by the paint that comes with its
    // restore.
    const bool shown = !IsIconic(window);
    RECT barDrawn = {};
    if (engine) {
        MoveOnAtTheEnd(window);
        drew |= AnswerMediaKeys(window);
        if (shown) barDrawn = ShowSeekProgress();
    }
    drew |= RefreshBuildingPlaylist();
    drew |= EndVolumeDisplay();
    UpdateTaskbarButton(window);
    KeepSession(window);
    if (scanning && scanner) {
        // Its first file plays as soon as it is there; a start that fails leaves nothing loaded,
        // so a later tick tries again.
        PlayFirstFileIfSilent(window);
        if (tick % 10 != 0 && ListCount() > 0) {
            DrawInfoPanel();
            drew = true;
        }
        AnimateScanTitle(window);
    }
    // A tick that drew nothing costs no copy to the window; one that only moved the bar copies
    // what it drew there alone, which is what most ticks of a playing file draw.
    if (!shown) return;
    if (drew) {
        PresentBackBuffer();
    } else if (!IsRectEmpty(&barDrawn)) {
        PresentBackBuffer(nullptr, &barDrawn);
    }
}

}  // namespace

int ProgressWidth(float position, int barWidth)
{
    if (!(position > 0.0f) || barWidth <= 2) return 0;  // NaN included
    if (position > 1.0f) position = 1.0f;
    return static_cast<int>(position * (barWidth - 2));
}

void CALLBACK PlaybackTimerProc(HWND window, UINT, UINT_PTR, DWORD)
{
    try {
        RunTick(window);
    } catch (...) {
        // Out of memory in a step: the next tick tries again; nothing may leave a timer procedure.
    }
}
