// The player's volume from the window: the wheel, Up and Down, mute, and the level shown for a while.
#include "playback/Volume.h"

#include <shlwapi.h>

#include <algorithm>

#include "app/PlayerState.h"
#include "components/PlaybackEngine.h"
#include "render/InfoPanel.h"
#include "render/MainView.h"

namespace {

const DWORD kVolumeShownMs = 2000;
// Wheel units to one percent: a notch is WHEEL_DELTA (120) and moves kVolumeStep.
const int kWheelUnitsPerPercent = WHEEL_DELTA / kVolumeStep;

int wheelRemainder = 0;  // window thread

void SetLevel(HWND window, int percent)
{
    {
        StateLock lock(stateLock);
        if (!engine) return;
        engine->SetVolume(std::clamp(percent, 0, 100));
        // Never 0: a deadline that wrapped to 0 would read as nothing shown.
        volumeShownUntil = (GetTickCount() + kVolumeShownMs) | 1;
    }
    InvalidateWindow(window);
}

int Level()
{
    return engine ? engine->Volume() : 100;
}

}  // namespace

void ChangeVolumeBy(HWND window, int percent)
{
    StateLock lock(stateLock);
    const int level = Level();
    const int changed = std::clamp(level + percent, 0, 100);
    if (changed > 0) volumeBeforeMute = changed;
    SetLevel(window, changed);
}

void ChangeVolumeByWheel(HWND window, int delta)
{
    // A reversal starts from nothing rather than first paying back the other way's remainder.
    if ((delta > 0) != (wheelRemainder > 0)) wheelRemainder = 0;
    wheelRemainder += delta;
    const int percent = wheelRemainder / kWheelUnitsPerPercent;
    wheelRemainder %= kWheelUnitsPerPercent;
    if (percent != 0) ChangeVolumeBy(window, percent);
}

void ToggleMute(HWND window)
{
    StateLock lock(stateLock);
    const int level = Level();
    if (level > 0) {
        volumeBeforeMute = level;
        SetLevel(window, 0);
    } else {
        SetLevel(window, volumeBeforeMute > 0 ? volumeBeforeMute : 100);
    }
}

bool FormatVolumeLine(wchar_t* line, int capacity)
{
    if (volumeShownUntil == 0 || !engine) return false;
    if (static_cast<LONG>(GetTickCount() - volumeShownUntil) >= 0) return false;
    const int level = engine->Volume();
    if (level == 0)
        wnsprintfW(line, capacity, L"Volume: muted");
    else
        wnsprintfW(line, capacity, L"Volume: %d%%", level);
    return true;
}

bool EndVolumeDisplay()
{
    {
        StateLock lock(stateLock);
        if (volumeShownUntil == 0 || static_cast<LONG>(GetTickCount() - volumeShownUntil) < 0) return false;
        volumeShownUntil = 0;
    }
    if (idle || playlistVisible) return false;
    DrawInfoPanel();
    return true;
}
