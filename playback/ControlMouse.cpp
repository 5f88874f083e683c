// Mouse behaviour of the buttons and the seek bar.
#include "playback/ControlMouse.h"

#include <gdiplus.h>

#include "app/PlayerState.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "playback/PlaybackTimer.h"
#include "playback/Transport.h"
#include "render/BackBuffer.h"

namespace {

struct MouseEvent {
    int x;
    int y;
    bool leftDown;
    Gdiplus::Graphics* graphics;
};

int Ask(ImageButton* button, const MouseEvent& mouse)
{
    return button ? button->Check(mouse.x, mouse.y, mouse.leftDown, mouse.graphics) : ImageButton::Outside;
}

void SeekTo(int x, Gdiplus::Graphics* graphics)
{
    if (seekBar->width <= 0) return;
    SeekToFraction(static_cast<float>(x - seekBar->x) / static_cast<float>(seekBar->width), graphics);
}

// The seek bar answers 3 while the left button is held on it, so a drag along it seeks on every move.
void AskSeekBar(const MouseEvent& mouse)
{
    if (!seekBar) return;
    int lookBefore = seekBar->look;
    if (Ask(seekBar, mouse) == ImageButton::Held)
        SeekTo(mouse.x, mouse.graphics);
    else if (seekBar->look != lookBefore)
        shownProgressWidth = -1;  // Check drew the bar over its progress; the next tick draws it again
}

}  // namespace

void HandleControlMouse(LPARAM position, HWND window, WPARAM keyState)
{
    try {
        auto graphics = WindowGraphics();
        if (!graphics) return;
        // Only the left button alone presses: with Shift, Ctrl or another button it is a move.
        MouseEvent mouse = {LOWORD(position), HIWORD(position), keyState == MK_LBUTTON, graphics.get()};
        StateLock lock(stateLock);
        // Every control sees every message, whatever the ones before it answered.
        if (Ask(playPauseButton, mouse) == ImageButton::Clicked) TogglePlayPause(window);
        if (Ask(showPlaylistButton, mouse) == ImageButton::Clicked) PostMessageA(window, WM_KEYDOWN, VK_F1, 0);
        if (Ask(randomButton, mouse) == ImageButton::Clicked) ToggleRandomPlay(graphics.get());
        if (Ask(nextButton, mouse) == ImageButton::Clicked) PlayNextTrack(window);
        if (Ask(prevButton, mouse) == ImageButton::Clicked) PlayPreviousTrack(window);
        AskSeekBar(mouse);
    } catch (...) {
        // Out of memory while starting a file: the click is lost; nothing may leave the window procedure.
    }
}
