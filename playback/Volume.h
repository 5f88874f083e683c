// The player's volume from the window: the wheel, Up and Down, mute, and the level shown for a while.
#pragma once

#include <windows.h>

const int kVolumeStep = 5;  // percent a wheel notch or a key press

// Changes the level by percent (clamped to 0..100) and shows it. Window thread.
void ChangeVolumeBy(HWND window, int percent);
// A turn of the wheel: kVolumeStep a notch (WHEEL_DELTA), a fine wheel's part of a notch by its share.
void ChangeVolumeByWheel(HWND window, int delta);
// Mutes, or brings back the level from before the mute.
void ToggleMute(HWND window);
// The details block's last line while a change is shown: "Volume: 80%" or "Volume: muted"; false
// once two seconds passed since the last change. Under the state lock.
bool FormatVolumeLine(wchar_t* line, int capacity);
// Called by the timer: once the level has been shown long enough, the panel goes back to its
// position line. True when it drew.
bool EndVolumeDisplay();
