// Painting the main view: the black backdrop, the buttons, and the About picture, album art or
// playlist; the info panel goes on top.
#include "render/MainView.h"

#include "app/PlayerState.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "render/BackBuffer.h"
#include "render/InfoPanel.h"
#include "render/PlaylistView.h"

namespace {

void DrawButton(ImageButton* button, Gdiplus::Graphics* graphics)
{
    if (button) button->Draw(graphics);
}

}  // namespace

void PaintControlLayer(Gdiplus::Graphics* graphics)
{
    StateLock lock(stateLock);
    graphics->Clear(BackdropColor());
    shownProgressWidth = -1;  // the seek bar is drawn afresh, without its progress
    if (engine && engine->ActiveSound) playPauseButton = engine->ActiveSound->QueryPaused() ? playButton : pauseButton;

    DrawButton(playPauseButton, graphics);
    DrawButton(nextButton, graphics);
    DrawButton(prevButton, graphics);
    DrawButton(randomButton, graphics);
    DrawButton(seekBar, graphics);
    DrawButton(showPlaylistButton, graphics);

    if (idle) {
        if (aboutImage) aboutImage->Draw(graphics);
    } else if (playlistVisible) {
        DrawPlaylistView(graphics, listRect, scrollTarget);
    } else if (albumArt) {
        albumArt->Draw(graphics);
    }
}

void PaintMainView(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (auto graphics = WindowGraphics()) PaintControlLayer(graphics.get());
    if (!idle && !playlistVisible) DrawInfoPanel();
    PresentBackBuffer(dc);
    EndPaint(window, &paint);
}

void RepaintControlLayer()
{
    if (auto graphics = WindowGraphics()) PaintControlLayer(graphics.get());
}

void InvalidateWindow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}
