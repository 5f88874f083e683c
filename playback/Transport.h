// The transport commands: play/pause, next, previous, random.
#pragma once

#include <windows.h>

// Each takes the main window and the state lock; TogglePlayPause also runs on intake workers.
void TogglePlayPause(HWND window);
void PlayNextTrack(HWND window);
void PlayPreviousTrack(HWND window);
void PlayRandomTrack(HWND window);

// Stops and releases the loaded sound and forgets it; false when none was loaded.
bool UnloadSound();
