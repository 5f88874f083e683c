// The start worker: opens the files the window thread and the intakes ask to start, one at a time,
// so that opening a file never holds up the window.
#pragma once

#include <windows.h>

#include <cstdint>

// Hands the start of the index-th file to the start worker, made here if none is running; the
// worker posts kStartEndedMessage when it is done. Only the latest request commits; with
// onlyIfNothingLoaded, a sound loaded meanwhile wins. Under the state lock.
void RequestStart(HWND window, int index, bool onlyIfNothingLoaded = false);
// The same for a file that is loaded paused at atMs, unless a sound is loaded meanwhile: nothing
// of it is heard until the user plays it.
void RequestHeldStart(HWND window, int index, uint32_t atMs);

enum class StartOutcome { Started, Failed, Superseded };
// For an intake worker, which must not pause what is playing: asks for the index-th file unless a
// sound is loaded, decided under the lock, and waits for the worker's answer. Superseded when a
// sound was loaded or another start was asked for meanwhile: nothing more should be tried then.
// Never hold the state lock when calling this.
StartOutcome StartIfNothingLoaded(HWND window, int index);

// Waits, at most timeoutMs, until a sound is loaded (or the engine is gone). For the window thread
// while it creates the window with files to take in: the first file's opening then does not share
// the processor with the skin's loading. Never with the state lock held.
void WaitForFirstSound(unsigned long timeoutMs);

// Starts the file at currentIndex when nothing is loaded and the list holds a file. A file that
// does not start gives way to the one after it, once around the list at most. Intake workers.
void StartPlaybackIfIdle(HWND window);

// No start asked for so far commits any more, and the worker stops after the one it has: for a
// list that is replaced, and at teardown.
void CancelStartRequests();

// Starts the index-th file on the calling thread, as the start worker does; true when it plays.
bool StartTrackNow(int index);

// What the window thread does on kStartEndedMessage: the control layer is redrawn after a start.
void OnStartEnded(HWND window, bool started);
