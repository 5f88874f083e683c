// The transport commands: play/pause, next, previous, random.
#include "playback/Transport.h"

#include <gdiplus.h>
#include <cstdlib>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/PlaybackEngine.h"
#include "playback/NowPlaying.h"
#include "render/MainView.h"

namespace {

void ChoosePlayPauseButton()
{
    PlaybackSound* sound = engine->ActiveSound;
    playPauseButton = (sound && !sound->QueryPaused()) ? pauseButton : playButton;
}

void DrawPlayPauseButton(HWND window)
{
    Gdiplus::Graphics graphics(window);
    if (playPauseButton) playPauseButton->Draw(&graphics);
}

// Starts the index-th file. A track whose record cannot be read (the tag object could not be
// made) counts as not started: its sound is let go, so nothing plays that the window cannot show.
// The start has already ended the sound before it, so nothing is loaded then and the window
// goes back to the About picture rather than show a track without texts.
bool StartTrack(int index, bool onlyWithSound = false)
{
    if (!engine || !scanner || !engine->StartPlaying(scanner->GetFileName(index))) return false;
    if (onlyWithSound && !engine->ActiveSound) return true;
    try {
        UpdateNowPlaying(scanner->GetFileName(index));
    } catch (...) {
        UnloadSound();
        idle = true;
        return false;
    }
    return true;
}

}  // namespace

bool UnloadSound()
{
    StateLock lock(stateLock);
    if (!engine || !engine->ActiveSound) return false;
    engine->ActiveSound->StopSound();
    engine->ActiveSound->ReleaseSound();
    engine->ActiveSound = nullptr;
    return true;
}

void TogglePlayPause(HWND window)
{
    StateLock lock(stateLock);
    if (!engine) return;
    if (PlaybackSound* sound = engine->ActiveSound) {
        engine->Pause(!sound->QueryPaused());
        ChoosePlayPauseButton();
        DrawPlayPauseButton(window);
        return;
    }
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    // A list shorter than the one the index was chosen in starts from its first file.
    if (currentIndex < 0 || currentIndex >= count) currentIndex = 0;
    if (!StartTrack(currentIndex, true)) return;
    if (!engine->ActiveSound) {
        idle = true;
        InvalidateWindow(window);
        return;
    }
    ChoosePlayPauseButton();
    DrawPlayPauseButton(window);
    idle = false;
    InvalidateWindow(window);
}

void PlayRandomTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    currentIndex = count >= 2 ? rand() % count : 0;
    if (StartTrack(currentIndex)) {
        idle = false;
        RepaintControlLayer();
    }
    InvalidateWindow(window);
}

void PlayNextTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count > 1 && randomPlay) {
        PlayRandomTrack(window);
        return;
    }
    if (currentIndex + 1 >= count) return;  // no wrap to the first file
    ++currentIndex;
    if (StartTrack(currentIndex)) {
        idle = false;
        RepaintControlLayer();
    }
    InvalidateWindow(window);
}

void PlayPreviousTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    if (currentIndex <= 0) return;  // no wrap to the last file
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    // After a shorter list arrived the index may lie beyond it: step back from its end instead.
    if (currentIndex > count) currentIndex = count;
    --currentIndex;
    if (StartTrack(currentIndex)) {
        idle = false;
        RepaintControlLayer();
    }
    InvalidateWindow(window);
}
