// The transport commands: play/pause, next, previous, random.
#pragma once

#include <windows.h>

// Each takes the main window and the state lock. On the window thread a command that starts a
// file hands it to the start worker and returns at once, so the window never waits for a file to
// open; the worker then posts kStartEndedMessage. TogglePlayPause also runs on intake workers,
// where it starts the file itself.
void TogglePlayPause(HWND window);
void PlayNextTrack(HWND window);
void PlayPreviousTrack(HWND window);
void PlayRandomTrack(HWND window);
// Starts the index-th file on the start worker, as a click on its row does.
void PlayTrackAt(HWND window, int index);
// While a scan fills the list: the first file, on the start worker, unless a sound is loaded or a
// start is under way by then.
void PlayFirstFileIfSilent(HWND window);

// Starts the index-th file on the calling thread, as the start worker does; true when it plays.
bool StartTrackNow(int index);
// What the window thread does on kStartEndedMessage: the control layer is redrawn after a start.
void OnStartEnded(HWND window, bool started);
// No start asked for so far commits any more, and the worker stops after the one it has: for a
// list that is replaced, and at teardown.
void CancelStartRequests();

// Stops and releases the loaded sound and forgets it; false when none was loaded.
bool UnloadSound();
