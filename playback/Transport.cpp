// The transport commands: play/pause, next, previous, random.
#include "playback/Transport.h"

#include <gdiplus.h>
#include <cstdlib>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "playback/PlaybackTimer.h"
#include "playback/StartWorker.h"
#include "render/BackBuffer.h"
#include "render/MainView.h"

namespace {

void ChoosePlayPauseButton()
{
    PlaybackSound* sound = engine->ActiveSound;
    playPauseButton = (sound && !sound->QueryPaused()) ? pauseButton : playButton;
}

void DrawPlayPauseButton()
{
    auto graphics = WindowGraphics();
    if (graphics && playPauseButton) playPauseButton->Draw(graphics.get());
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
        DrawPlayPauseButton();
        return;
    }
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    // A list shorter than the one the index was chosen in starts from its first file.
    if (currentIndex < 0 || currentIndex >= count) currentIndex = 0;
    RequestStart(window, currentIndex);
}

void ToggleRandomPlay(Gdiplus::Graphics* graphics)
{
    randomPlay = !randomPlay;
    randomButton = randomPlay ? randomOnButton : randomOffButton;
    if (randomButton && graphics) randomButton->Draw(graphics);
}

void SeekToFraction(float fraction, Gdiplus::Graphics* graphics)
{
    if (!seekBar || !seekProgress) return;
    if (graphics) seekBar->Draw(graphics);
    if (engine && engine->ActiveSound) {
        engine->Seek(fraction);
        seekProgress->width = ProgressWidth(fraction, seekBar->width);
    }
    if (graphics) seekProgress->Draw(graphics);
    shownProgressWidth = graphics ? seekProgress->width : -1;
}

void SeekBy(int ms)
{
    StateLock lock(stateLock);
    PlaybackSound* sound = engine ? engine->ActiveSound : nullptr;
    const double length = sound ? static_cast<double>(sound->LengthMs()) : 0.0;
    if (length <= 0.0) return;
    const double at = static_cast<double>(engine->GetPlayPos()) * length + ms;
    const double fraction = at <= 0.0 ? 0.0 : (at >= length ? 1.0 : at / length);
    auto graphics = WindowGraphics();
    SeekToFraction(static_cast<float>(fraction), graphics.get());
}

void PlayRandomTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    currentIndex = count >= 2 ? rand() % count : 0;
    RequestStart(window, currentIndex);
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
    RequestStart(window, currentIndex);
}

void PlayTrackAt(HWND window, int index)
{
    StateLock lock(stateLock);
    RequestStart(window, index);
}

void PlayFirstFileIfSilent(HWND window)
{
    StateLock lock(stateLock);
    if (!engine || !scanner || engine->ActiveSound || startWorkerBusy || scanner->GetNoOfFiles() < 1) return;
    RequestStart(window, 0, true);
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
    RequestStart(window, currentIndex);
}
