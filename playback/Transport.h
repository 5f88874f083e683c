// The transport commands: play/pause, next, previous, random.
#pragma once

#include <windows.h>
#include <gdiplus.h>

// Window thread. Each takes the main window and the state lock. A command that starts a file hands
// it to the start worker (playback/StartWorker.h) and returns at once, so the window never waits
// for a file to open.
void TogglePlayPause(HWND window);
void PlayNextTrack(HWND window);
void PlayPreviousTrack(HWND window);
void PlayRandomTrack(HWND window);
// Starts the index-th file on the start worker, as a click on its row does.
void PlayTrackAt(HWND window, int index);
// While a scan fills the list: the first file, on the start worker, unless a sound is loaded or a
// start is under way by then.
void PlayFirstFileIfSilent(HWND window);

// Random play on or off, as the random button does; its look is drawn at once.
void ToggleRandomPlay(Gdiplus::Graphics* graphics);
// Sends the sound to fraction of its length and shows it on the seek bar at once; without a
// sound the bar is drawn with the progress it had. Under the state lock.
void SeekToFraction(float fraction, Gdiplus::Graphics* graphics);
// Moves the sound by ms (back when negative), held at its ends, as SeekToFraction does.
void SeekBy(int ms);

// Stops and releases the loaded sound and forgets it; false when none was loaded.
bool UnloadSound();
